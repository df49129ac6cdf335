// Small files of the tests' own, written as the show's files: images, and the whole set of
// files of a scene.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes `pixels` (width x height words 0x00RRGGBB, top row first) as a 24-bit BMP at `path`,
// making its folders; the test fails if the file cannot be written.
void WriteImage(const std::string& path, int width, int height,
                const std::vector<uint32_t>& pixels);
// The same for an image of one colour.
void WriteImage(const std::string& path, int width, int height, uint32_t colour);

// Reads a 24-bit BMP as 0x00RRGGBB words, top row first, and its size into *width and *height.
// The test fails, and the result is empty, when the file cannot be read or has another depth.
std::vector<uint32_t> ReadImage(const std::string& path, int* width = nullptr,
                                int* height = nullptr);

// width x height pixels of one colour.
std::vector<uint32_t> Filled(int width, int height, uint32_t colour);

// An animation strip `width` pixels wide of `frames` frames stacked from the top, each
// `frameHeight` rows; frame k is filled with blue k + 1.
std::vector<uint32_t> NumberedStrip(int width, int frameHeight, int frames);

// Texel (x, y) of the test texture: red x, green y, blue 0x40.
uint32_t TestTexel(int x, int y);
// Writes a width x height BMP of TestTexel values (x and y wrapped to 8 bits) with 24 bits per
// pixel; with 8 the same bytes are cut to one per pixel, so the file is a damaged texture.
void WriteTestTexture(const std::string& path, int width, int height, int bitsPerPixel = 24);
// The texel column of a 16.16 texture coordinate on a 256-wide texture.
inline int TexelColumn(int32_t u) {
    return (u >> 16) & 255;
}

// The particle scene's files: three shapes, each a line of lit pixels on a different row (the
// first at row 100, columns 100 to 139), a 4 x 4 grey sprite and an 8 x 4 red logo.
void WriteParticleSceneFiles();
// The object scene's files: an octahedron of radius 8 around (0, 60, 0), the point the camera
// looks at, an environment map of one colour, and a strip of four 64 x 64 numbered frames.
void WriteObjectSceneFiles(uint32_t envMapColour);
