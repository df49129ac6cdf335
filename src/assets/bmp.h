// BMP image files: reading, writing and the 24 <-> 32-bit pixel conversions.
//
// Files are uncompressed Windows BMP: a 14-byte file header, a 40-byte info header, a palette
// of 256 four-byte entries (blue, green, red, reserved) at offset 54 for 8-bit files, and the
// pixel rows from the pixel-data offset on. Widths are multiples of 4, so rows have no padding.
// In memory an image is one block of width x height x (bpp / 8) bytes, rows back to back, top
// row first, whatever the row order in the file. A 24-bit pixel is three bytes: blue, green, red.
#pragma once

#include <cstdint>

// Result codes of ReadBMP and Surface::BMP_Load, in the order the checks are made.
enum BmpResult : int {
    kBmpOk = 0,
    kBmpCannotOpenOrNotBmp = 1, // the file cannot be opened, or does not begin with "BM"
    kBmpNot8Or24Bits = 2,       // bits per pixel neither 8 nor 24
    kBmpCompressed = 3,         // compression field not 0
    kBmpWidthNotMultipleOf4 = 4,
    kBmpBadSize = 5, // width or height of zero or below, or more pixels than the reader takes
};

// Reads an 8- or 24-bit BMP file. On success (0) *pixels is a new block (std::malloc; the
// caller frees it with std::free), *palette a new 1024-byte palette for 8-bit files or null.
// On failure nothing is left allocated; fields stored before the failing check keep their value.
int ReadBMP(const char* path, uint8_t** pixels, int* width, int* height, int* bpp,
            uint8_t** palette);

// Expands `count` 3-byte pixels at src into 32-bit words 0x00RRGGBB at dst.
void UnpackBGR24(const uint8_t* src, uint32_t* dst, int count);

// Packs `count` 32-bit words at src into 3-byte pixels (blue, green, red) at dst; bits 24-31
// are dropped.
void PackBGR24(const uint32_t* src, uint8_t* dst, int count);

// Writes `pixels` (width x height pixels of bpp / 8 bytes, top row first) as a BMP file with a
// negative height (top row first). bpp 8 writes the 256-entry palette, 16 or 24 one zero entry.
// Returns 0, or 1 for another bpp (no file created) or when the file cannot be written.
int WriteBMP(const char* path, const void* pixels, int width, int height, int bpp,
             const uint8_t* palette);
