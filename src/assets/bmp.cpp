#include "assets/bmp.h"

#include "base/process.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kHeaderBytes = 54;    // 14-byte file header + 40-byte info header
constexpr int kPaletteOffset = 54;  // the palette is always read from here
constexpr int kPaletteBytes = 1024; // 256 entries of blue, green, red, reserved

uint16_t Read16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Read32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void Write16(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

void Write32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

void TraceIf(BmpTrace trace, const char* text) {
    if (trace == BmpTrace::kTraced)
        Trace(text);
}

// Reads `count` bytes into dst; whatever the file cannot give is zeroed.
void ReadOrZero(std::FILE* file, uint8_t* dst, size_t count) {
    size_t got = file ? std::fread(dst, 1, count, file) : 0;
    if (got < count)
        std::memset(dst + got, 0, count - got);
}

// Closes the file when the reader returns, on every path.
struct FileCloser {
    std::FILE* file;
    ~FileCloser() {
        if (file)
            std::fclose(file);
    }
};

} // namespace

int ReadBMPFile(const char* path, BmpTrace trace, uint8_t** pixels, int32_t* width, int32_t* height,
                int32_t* bpp, uint8_t** palette) {
    if (!path)
        return kBmpCannotOpenOrNotBmp;
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return kBmpCannotOpenOrNotBmp;
    FileCloser closer{file};

    uint8_t header[kHeaderBytes];
    ReadOrZero(file, header, sizeof header);

    if (header[0] != 'B' || header[1] != 'M') {
        TraceIf(trace, "Format non BMP");
        return kBmpCannotOpenOrNotBmp;
    }

    *bpp = Read16(header + 28);
    if (*bpp == 24)
        *palette = nullptr;
    if (*bpp != 8 && *bpp != 24) {
        TraceIf(trace, "BMP pas 24 Bits");
        return kBmpNot8Or24Bits;
    }

    *width = static_cast<int32_t>(Read32(header + 18));
    if ((*width & 3) != 0) {
        TraceIf(trace, "Pas multiple de 4");
        return kBmpWidthNotMultipleOf4;
    }

    // The absolute value, taken without overflow: INT_MIN stays INT_MIN and is refused below.
    uint32_t heightField = Read32(header + 22);
    bool topRowFirst = static_cast<int32_t>(heightField) < 0;
    *height = static_cast<int32_t>(topRowFirst ? 0u - heightField : heightField);

    if (Read32(header + 30) != 0) {
        TraceIf(trace, "Compression non support\xE9"
                       "e");
        return kBmpCompressed;
    }

    // Sizes that no allocation could hold correctly: nothing is allocated for them. An image
    // 0 wide or 0 high is valid: it has no pixels and draws nothing.
    if (*width < 0 || *height < 0 ||
        static_cast<int64_t>(*width) * static_cast<int64_t>(*height) > kBmpMaxPixels) {
        TraceIf(trace, "Taille non support\xE9"
                       "e");
        return kBmpBadSize;
    }

    uint8_t* newPalette = nullptr;
    if (*bpp == 8) {
        newPalette = static_cast<uint8_t*>(std::malloc(kPaletteBytes));
        if (!newPalette)
            return kBmpNoMemory;
        bool seeked = std::fseek(file, kPaletteOffset, SEEK_SET) == 0;
        ReadOrZero(seeked ? file : nullptr, newPalette, kPaletteBytes);
    }

    // An offset that the stream cannot seek to reads as a file without pixels.
    uint32_t dataOffset = Read32(header + 10);
    bool seeked = dataOffset <= static_cast<uint32_t>(LONG_MAX) &&
                  std::fseek(file, static_cast<long>(dataOffset), SEEK_SET) == 0;
    std::FILE* source = seeked ? file : nullptr;

    size_t rowBytes = static_cast<size_t>(*width) * static_cast<size_t>(*bpp / 8);
    size_t rows = static_cast<size_t>(*height);
    // At least one byte, so that an image without pixels still gets a block of its own.
    uint8_t* block = static_cast<uint8_t*>(std::malloc(rowBytes * rows > 0 ? rowBytes * rows : 1));
    if (!block) {
        std::free(newPalette);
        return kBmpNoMemory;
    }

    if (topRowFirst || rowBytes == 0) {
        // One read; for an image 0 wide it reads nothing, however many rows it announces.
        ReadOrZero(source, block, rowBytes * rows);
    } else {
        // The file's first row is the bottom row of the picture.
        for (size_t row = rows; row-- > 0;)
            ReadOrZero(source, block + row * rowBytes, rowBytes);
    }

    if (*bpp == 8)
        *palette = newPalette;
    *pixels = block;
    TraceIf(trace, "Chargement surface BMP : OK");
    return kBmpOk;
}

int ReadBMP(const char* path, uint8_t** pixels, int* width, int* height, int* bpp,
            uint8_t** palette) {
    return ReadBMPFile(path, BmpTrace::kSilent, pixels, width, height, bpp, palette);
}

void UnpackBGR24(const uint8_t* src, uint32_t* dst, int count) {
    for (int i = 0; i < count; ++i, src += 3)
        dst[i] =
            (static_cast<uint32_t>(src[2]) << 16) | (static_cast<uint32_t>(src[1]) << 8) | src[0];
}

void PackBGR24(const uint32_t* src, uint8_t* dst, int count) {
    for (int i = 0; i < count; ++i, dst += 3) {
        dst[0] = static_cast<uint8_t>(src[i]);
        dst[1] = static_cast<uint8_t>(src[i] >> 8);
        dst[2] = static_cast<uint8_t>(src[i] >> 16);
    }
}

int WriteBMP(const char* path, const void* pixels, int width, int height, int bpp,
             const uint8_t* palette) {
    uint32_t paletteEntries;
    if (bpp == 8)
        paletteEntries = 256;
    else if (bpp == 16 || bpp == 24)
        paletteEntries = 1;
    else
        return 1;
    if (width < 0 || height < 0 || !path)
        return 1;

    uint64_t pixelBytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) *
                          static_cast<uint64_t>(bpp / 8);
    uint32_t dataOffset = kHeaderBytes + 4 * paletteEntries;

    uint8_t header[kHeaderBytes] = {};
    header[0] = 'B';
    header[1] = 'M';
    Write32(header + 2, static_cast<uint32_t>(dataOffset + pixelBytes)); // file size
    Write32(header + 10, dataOffset);
    Write32(header + 14, 40); // info header size
    Write32(header + 18, static_cast<uint32_t>(width));
    Write32(header + 22, 0u - static_cast<uint32_t>(height)); // negative: top row first
    Write16(header + 26, 1);                                  // planes
    Write16(header + 28, static_cast<uint32_t>(bpp));
    // compression (30) and image size (34) stay 0
    Write32(header + 38, 2000); // horizontal pixels per metre
    Write32(header + 42, 2000); // vertical pixels per metre
    // colours used (46) and important colours (50) stay 0

    std::FILE* file = std::fopen(path, "wb");
    if (!file)
        return 1;
    bool written = std::fwrite(header, 1, sizeof header, file) == sizeof header;
    if (bpp == 8 && palette) {
        written = written && std::fwrite(palette, 1, kPaletteBytes, file) == kPaletteBytes;
    } else {
        static const uint8_t zeros[kPaletteBytes] = {};
        size_t bytes = 4 * paletteEntries;
        written = written && std::fwrite(zeros, 1, bytes, file) == bytes;
    }
    if (pixelBytes > 0)
        written = written && std::fwrite(pixels, 1, static_cast<size_t>(pixelBytes), file) ==
                                 static_cast<size_t>(pixelBytes);
    if (std::fclose(file) != 0)
        written = false;
    return written ? 0 : 1;
}
