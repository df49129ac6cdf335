// Test helper: builds BMP files byte by byte, with any header values, including broken ones.
#pragma once

#include <cstdint>
#include <string>

struct BmpFields {
    int32_t width = 4;
    int32_t heightField = 1; // negative: top row first
    uint16_t bpp = 24;
    uint32_t compression = 0;
    uint32_t headerSize = 40;
    int64_t dataOffset = -1; // -1: right after the headers and the palette
    const char* signature = "BM";
};

inline void PutLittleEndian(std::string* bytes, size_t at, uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        (*bytes)[at + i] = static_cast<char>(value >> (8 * i));
}

// The 14 + 40 header bytes followed by `palette` and `pixels` as given (rows in file order).
inline std::string MakeBmp(const BmpFields& f, const std::string& palette,
                           const std::string& pixels) {
    std::string bytes(54, '\0');
    bytes[0] = f.signature[0];
    bytes[1] = f.signature[1];
    uint32_t offset = f.dataOffset >= 0 ? static_cast<uint32_t>(f.dataOffset)
                                        : static_cast<uint32_t>(54 + palette.size());
    PutLittleEndian(&bytes, 2, static_cast<uint32_t>(54 + palette.size() + pixels.size()), 4);
    PutLittleEndian(&bytes, 10, offset, 4);
    PutLittleEndian(&bytes, 14, f.headerSize, 4);
    PutLittleEndian(&bytes, 18, static_cast<uint32_t>(f.width), 4);
    PutLittleEndian(&bytes, 22, static_cast<uint32_t>(f.heightField), 4);
    PutLittleEndian(&bytes, 26, 1, 2);
    PutLittleEndian(&bytes, 28, f.bpp, 2);
    PutLittleEndian(&bytes, 30, f.compression, 4);
    return bytes + palette + pixels;
}

// A 256-entry palette whose entry i is (i, 255 - i, i ^ 0x5A, 0).
inline std::string TestPalette() {
    std::string palette(1024, '\0');
    for (int i = 0; i < 256; ++i) {
        palette[4 * i] = static_cast<char>(i);
        palette[4 * i + 1] = static_cast<char>(255 - i);
        palette[4 * i + 2] = static_cast<char>(i ^ 0x5A);
    }
    return palette;
}
