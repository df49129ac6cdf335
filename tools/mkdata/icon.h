// The program's icon for Windows: the group's moth emblem from the show's logos, in its warm
// lettering style, on a dark rounded tile, at 16, 32, 48 and 256 pixels square.
//
// The .ico file holds one 32-bit picture per size, each a BMP without its file header: a
// BITMAPINFOHEADER whose height counts the picture twice (colour rows, then the mask rows),
// rows of blue, green, red, alpha bytes from the bottom row up, then a 1-bit mask, rows padded
// to 4 bytes, whose set bits mark the fully transparent pixels (older systems draw with the
// mask, newer ones with the alpha). Numbers are little-endian.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mkdata {

// The sizes in the icon file, in its order.
constexpr int kIconSizes[] = {16, 32, 48, 256};

// One size of the icon: rows top first, pixels 0xAARRGGBB (alpha 255: opaque).
struct IconPicture {
    int size;
    std::vector<uint32_t> pixels;
};

// The icon at one size, drawn at 256 pixels and reduced by averaging.
IconPicture PaintIcon(int size);

// The bytes of the .ico file of the pictures, in the given order.
std::vector<uint8_t> IconFileBytes(const std::vector<IconPicture>& pictures);

// Writes the icon at every size of kIconSizes to `path`; fails like GeneratorFailure.
void WriteIcon(const std::string& path);

// The bytes of a PNG file of the picture: 8-bit RGBA, no interlacing, every row unfiltered, the
// zlib stream made of stored (uncompressed) deflate blocks, so that no compressor is needed.
// PNG's numbers are big-endian.
std::vector<uint8_t> PngFileBytes(const IconPicture& picture);

// Writes the icon at `size` pixels square (1 to 256) as a PNG file to `path`, for the desktops
// of Linux; fails like GeneratorFailure.
void WritePngIcon(int size, const std::string& path);

} // namespace mkdata
