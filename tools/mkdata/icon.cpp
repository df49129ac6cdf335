#include "mkdata/icon.h"

#include "mkdata/byte_writer.h"
#include "mkdata/detmath.h"
#include "mkdata/draw.h"
#include "mkdata/images.h"

#include <cmath>
#include <cstdio>

namespace mkdata {

namespace {

using namespace palette;

constexpr int kMasterSize = 256; // every size is reduced from a picture this big
constexpr double kTileMargin = 8.0;
constexpr double kTileCorner = 48.0;
constexpr int kEmblemDot = 18; // the emblem's 11 x 7 dots: 198 x 126 pixels

// Signed distance in pixels from the pixel centre (x, y) to the edge of the rounded tile,
// negative inside.
double TileDistance(int x, int y) {
    const double centre = kMasterSize / 2.0;
    const double half = centre - kTileMargin - kTileCorner;
    double qx = std::fabs(x + 0.5 - centre) - half;
    double qy = std::fabs(y + 0.5 - centre) - half;
    double ox = qx > 0 ? qx : 0, oy = qy > 0 ? qy : 0;
    double inside = qx > qy ? qx : qy;
    return std::sqrt(ox * ox + oy * oy) + (inside < 0 ? inside : 0) - kTileCorner;
}

// The 256-pixel icon: the colour of every pixel (also outside the tile, so that reducing it
// brings no dark fringe in) and its opacity, the tile's coverage.
struct Master {
    Canvas colour{kMasterSize, kMasterSize};
    std::vector<double> alpha = std::vector<double>(size_t(kMasterSize) * kMasterSize);
};

Master PaintMaster() {
    Master master;
    Canvas& canvas = master.colour;
    for (int y = 0; y < kMasterSize; ++y)
        for (int x = 0; x < kMasterSize; ++x) {
            double d = TileDistance(x, y);
            // Indigo at the top to night at the bottom, and a cyan rim just inside the edge.
            Color c = Mix(kIndigo, kNight, (y + 0.5) / kMasterSize);
            double rim = (d + 3.0) / 1.6;
            c = c + kCyan * (0.55 * detmath::Exp(-rim * rim));
            canvas.Set(x, y, c);
            master.alpha[size_t(y) * kMasterSize + size_t(x)] = Clamp(0.5 - d, 0.0, 1.0);
        }
    AddGlow(canvas, kMasterSize / 2.0, kMasterSize / 2.0, 70.0, kViolet, 0.45);
    const std::vector<std::string>& emblem = MothEmblemDots();
    const int width = int(emblem[0].size()) * kEmblemDot;
    const int height = int(emblem.size()) * kEmblemDot;
    DrawDotPattern(canvas, (kMasterSize - width) / 2, (kMasterSize - height) / 2, emblem,
                   EmblemStyle(kEmblemDot));
    return master;
}

// The source pixels that one pixel of a reduction covers, each with the part of it that it
// covers, in pixels of the source.
struct Span {
    int first;
    std::vector<double> weights;
};

std::vector<Span> ReductionSpans(int size) {
    const double step = double(kMasterSize) / size;
    std::vector<Span> spans(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i) {
        double start = i * step, end = (i + 1) * step;
        Span& span = spans[size_t(i)];
        span.first = int(std::floor(start));
        for (int s = span.first; s < end && s < kMasterSize; ++s) {
            double from = s > start ? s : start, to = s + 1 < end ? s + 1 : end;
            span.weights.push_back(to - from);
        }
    }
    return spans;
}

uint32_t PackPixel(double r, double g, double b, double alpha) {
    return ChannelByte(alpha * 255.0) << 24 | ChannelByte(r) << 16 | ChannelByte(g) << 8 |
           ChannelByte(b);
}

} // namespace

IconPicture PaintIcon(int size) {
    const Master master = PaintMaster();
    // Channels are clamped as the picture would show them before they are averaged.
    std::vector<double> channels[3];
    for (auto& channel : channels)
        channel.resize(master.alpha.size());
    for (int y = 0; y < kMasterSize; ++y)
        for (int x = 0; x < kMasterSize; ++x) {
            Color c = master.colour.Get(x, y);
            size_t i = size_t(y) * kMasterSize + size_t(x);
            channels[0][i] = ChannelByte(c.r);
            channels[1][i] = ChannelByte(c.g);
            channels[2][i] = ChannelByte(c.b);
        }
    IconPicture picture{size, std::vector<uint32_t>(size_t(size) * size_t(size))};
    const std::vector<Span> spans = ReductionSpans(size);
    const double area = double(kMasterSize) / size * kMasterSize / size;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const Span& rows = spans[size_t(y)];
            const Span& columns = spans[size_t(x)];
            double sums[4] = {0, 0, 0, 0};
            for (size_t r = 0; r < rows.weights.size(); ++r)
                for (size_t c = 0; c < columns.weights.size(); ++c) {
                    double weight = rows.weights[r] * columns.weights[c];
                    size_t i =
                        size_t(rows.first + int(r)) * kMasterSize + size_t(columns.first + int(c));
                    for (int k = 0; k < 3; ++k)
                        sums[k] += channels[k][i] * weight;
                    sums[3] += master.alpha[i] * weight;
                }
            picture.pixels[size_t(y) * size_t(size) + size_t(x)] =
                PackPixel(sums[0] / area, sums[1] / area, sums[2] / area, sums[3] / area);
        }
    return picture;
}

std::vector<uint8_t> IconFileBytes(const std::vector<IconPicture>& pictures) {
    constexpr uint32_t kDirectoryBytes = 6, kEntryBytes = 16, kInfoHeaderBytes = 40;
    ByteWriter directory, images;
    directory.U16(0); // reserved
    directory.U16(1); // 1: icons (2 would be cursors)
    directory.U16(uint32_t(pictures.size()));
    uint32_t offset = kDirectoryBytes + kEntryBytes * uint32_t(pictures.size());
    for (const IconPicture& picture : pictures) {
        const uint32_t size = uint32_t(picture.size);
        const uint32_t maskRowBytes = (size + 31) / 32 * 4;
        const uint32_t pixelBytes = size * size * 4 + maskRowBytes * size;
        // The entry: width and height (0 for 256), no palette, one plane, 32 bits per pixel.
        directory.U8(size & 0xFF);
        directory.U8(size & 0xFF);
        directory.U8(0); // colours in the palette
        directory.U8(0); // reserved
        directory.U16(1);
        directory.U16(32);
        directory.U32(kInfoHeaderBytes + pixelBytes);
        directory.U32(offset);
        offset += kInfoHeaderBytes + pixelBytes;

        images.U32(kInfoHeaderBytes);
        images.U32(size);
        images.U32(size * 2); // the colour rows and the mask rows
        images.U16(1);        // planes
        images.U16(32);       // bits per pixel
        images.U32(0);        // no compression
        images.U32(pixelBytes);
        images.Zeros(16); // resolution and palette counts: unused
        for (uint32_t row = size; row-- > 0;)
            for (uint32_t x = 0; x < size; ++x)
                images.U32(picture.pixels[row * size + x]); // blue, green, red, alpha
        for (uint32_t row = size; row-- > 0;) {
            std::vector<uint8_t> mask(maskRowBytes, 0);
            for (uint32_t x = 0; x < size; ++x)
                if ((picture.pixels[row * size + x] >> 24) == 0)
                    mask[x / 8] |= uint8_t(0x80 >> (x % 8));
            images.Append(mask);
        }
    }
    directory.Append(images.bytes);
    return directory.bytes;
}

namespace {

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool written = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file && std::fclose(file) != 0)
        written = false;
    if (!written)
        GeneratorFailure("cannot write the icon " + path);
}

// PNG's and zlib's numbers: most significant byte first.
void PutBigEndian32(std::vector<uint8_t>& bytes, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.push_back(uint8_t(value >> shift));
}

// The CRC-32 of ISO 3309 that closes every PNG chunk, bit by bit (icons are small).
uint32_t Crc32(const uint8_t* data, size_t count) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < count; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

// A chunk: its length, its name, its data, then the CRC of the name and the data.
void PutPngChunk(std::vector<uint8_t>& file, const char* name, const std::vector<uint8_t>& data) {
    PutBigEndian32(file, uint32_t(data.size()));
    const size_t start = file.size();
    file.insert(file.end(), name, name + 4);
    file.insert(file.end(), data.begin(), data.end());
    PutBigEndian32(file, Crc32(file.data() + start, file.size() - start));
}

} // namespace

void WriteIcon(const std::string& path) {
    std::vector<IconPicture> pictures;
    for (int size : kIconSizes)
        pictures.push_back(PaintIcon(size));
    WriteFileBytes(path, IconFileBytes(pictures));
}

std::vector<uint8_t> PngFileBytes(const IconPicture& picture) {
    const uint32_t size = uint32_t(picture.size);
    // The scanlines: a filter byte (0, none) then red, green, blue, alpha of each pixel.
    std::vector<uint8_t> raw;
    raw.reserve(size_t(size) * (1 + 4 * size_t(size)));
    for (uint32_t y = 0; y < size; ++y) {
        raw.push_back(0);
        for (uint32_t x = 0; x < size; ++x) {
            const uint32_t argb = picture.pixels[size_t(y) * size + x];
            raw.push_back(uint8_t(argb >> 16));
            raw.push_back(uint8_t(argb >> 8));
            raw.push_back(uint8_t(argb));
            raw.push_back(uint8_t(argb >> 24));
        }
    }
    // zlib: deflate with a 32 KiB window and no dictionary, stored blocks of at most 65,535
    // bytes (each: final flag, length, its one's complement, the bytes), then the Adler-32.
    std::vector<uint8_t> zlib = {0x78, 0x01};
    size_t offset = 0;
    do {
        const size_t length = raw.size() - offset < 65535 ? raw.size() - offset : 65535;
        const bool last = offset + length == raw.size();
        zlib.push_back(last ? 1 : 0);
        zlib.push_back(uint8_t(length));
        zlib.push_back(uint8_t(length >> 8));
        zlib.push_back(uint8_t(~length));
        zlib.push_back(uint8_t(~length >> 8));
        zlib.insert(zlib.end(), raw.begin() + long(offset), raw.begin() + long(offset + length));
        offset += length;
    } while (offset < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutBigEndian32(zlib, (b << 16) | a);

    std::vector<uint8_t> header;
    PutBigEndian32(header, size);                 // width
    PutBigEndian32(header, size);                 // height
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8 bits, RGBA, deflate, adaptive, progressive
    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutPngChunk(file, "IHDR", header);
    PutPngChunk(file, "IDAT", zlib);
    PutPngChunk(file, "IEND", {});
    return file;
}

void WritePngIcon(int size, const std::string& path) {
    if (size < 1 || size > 256)
        GeneratorFailure("an icon is 1 to 256 pixels square, not " + std::to_string(size));
    WriteFileBytes(path, PngFileBytes(PaintIcon(size)));
}

} // namespace mkdata
