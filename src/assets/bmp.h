// BMP image files: reading, writing and the 24 <-> 32-bit pixel conversions.
//
// Files are uncompressed Windows BMP: a 14-byte file header, a 40-byte info header, a palette
// of 256 four-byte entries (blue, green, red, reserved) at offset 54 for 8-bit files, and the
// pixel rows from the pixel-data offset on. Widths are multiples of 4, so rows have no padding.
// In memory an image is one block of width x height x (bpp / 8) bytes, rows back to back, top
// row first, whatever the row order in the file. A 24-bit pixel is three bytes: blue, green, red.
//
// Header fields the readers use: signature (offset 0), pixel-data offset (10), width (18),
// height (22; negative = top row first), bits per pixel (28), compression (30). Every other
// field (file size, reserved words, header size, planes, image size, densities, colour counts)
// is skipped. The palette is always taken from offset 54, whatever the header size says.
//
// Reading is safe on any input: a file shorter than its headers reads the missing header bytes
// as zero, and a file that passes every check but holds fewer pixel bytes than its header
// announces gets the missing pixels (and palette entries) zeroed.
#pragma once

#include <cstdint>

// Result codes of ReadBMP and Surface::BMP_Load. Codes 1-4 come from checks made in the order
// 1, 2, 4, 3 (signature, bits per pixel, width, compression); codes 5 and 6 come after them.
enum BmpResult : int {
    kBmpOk = 0,
    kBmpCannotOpenOrNotBmp = 1, // the file cannot be opened, or does not begin with "BM"
    kBmpNot8Or24Bits = 2,       // bits per pixel neither 8 nor 24
    kBmpCompressed = 3,         // compression field not 0
    kBmpWidthNotMultipleOf4 = 4,
    kBmpBadSize = 5,  // a negative width or height, or more than kBmpMaxPixels pixels
    kBmpNoMemory = 6, // the palette or pixel block cannot be allocated
};

// The largest image the readers take: 16 Mi pixels (4096 x 4096; 64 MiB once expanded to 32
// bits), far beyond any image of the show. A header that announces more is refused before
// anything is allocated, so a damaged or hostile file cannot make the program allocate and
// clear hundreds of megabytes.
constexpr int64_t kBmpMaxPixels = int64_t{16} * 1024 * 1024;

// Whether the reader hands its progress texts to Trace (Surface::BMP_Load does, ReadBMP not).
enum class BmpTrace { kSilent, kTraced };

// The reader behind ReadBMP and Surface::BMP_Load. Stores the fields as it checks them: bpp
// after the signature check (and *palette = null for a 24-bit file), then width, then height
// (the absolute value of the height field). *palette (8-bit only) and *pixels are set only on
// success. On failure nothing is left allocated. The file is closed on every path.
int ReadBMPFile(const char* path, BmpTrace trace, uint8_t** pixels, int32_t* width, int32_t* height,
                int32_t* bpp, uint8_t** palette);

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

// Writes `pixels` (width x height pixels of bpp / 8 bytes, top row first, no row padding) as a
// BMP file with a negative height (top row first). bpp 8 writes the caller's 256-entry palette
// (256 zero entries when `palette` is null); 16 or 24 write one zero entry. The file is a
// well-formed BMP only when width x bpp / 8 is a multiple of 4.
// Returns 0; or 1 without creating a file for another bpp or a negative width or height; or 1
// when the file cannot be created or fully written.
int WriteBMP(const char* path, const void* pixels, int width, int height, int bpp,
             const uint8_t* palette);
