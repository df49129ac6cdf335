// The block grid and the 8 x 8 block texture mapper of the ray-cast scenes.
//
// A scene computes its exact mapping only at every eighth pixel in both directions: for each
// point of the grid it writes a texture coordinate pair (u, v) and a light level into
// `blockGrid`. The mapper then fills each 8 x 8 block of the frame by interpolating its four
// corner values linearly in fixed point, fetching one texel per pixel from a 256 x 256 texture
// and adding the light level as grey to the texel, each channel saturating at 255. The result
// replaces the frame pixels.
#pragma once

#include "base/framebuffer.h"

#include <cstdint>

// Grid points: 65 columns (c = 0..64) by 33 rows (r = 0..32); point (c, r) stands for frame
// pixel (8c, 8r). Column 64 and row 32 lie one pixel past the frame's right and bottom edges.
constexpr int kGridColumns = 65;
constexpr int kGridRows = 33;
constexpr int kGridPoints = kGridColumns * kGridRows; // 2145

// Blocks: 64 columns (j) by 32 rows (i) of 8 x 8 pixels; block (j, i) has its top-left pixel
// at (8j, 8i) and its corners at grid points (j, i), (j + 1, i), (j, i + 1), (j + 1, i + 1).
constexpr int kBlockColumns = kGridColumns - 1;
constexpr int kBlockRows = kGridRows - 1;
constexpr int kBlockSize = 8;

// Light value that marks a grid point as not on the drawn surface (see MapGridMasked).
constexpr int32_t kEmptyLight = 256;

// Element of point (c, r) in each plane: the planes are stored column by column.
constexpr int GridIndex(int c, int r) {
    return c * kGridRows + r;
}

// Three planes of identical layout.
struct BlockGrid {
    // Texture column, 16.16 fixed point: texel column = (u >> 16) & 255. Bits above 23 are
    // ignored, so the texture repeats every 256 texels (-65536 selects column 255).
    int32_t u[kGridPoints];
    // Texture row, 16.16 fixed point, used the same way.
    int32_t v[kGridPoints];
    // Light, 8.8 fixed point: the grey level added to the texel is L = light >> 8 (0..255
    // when light is in 0..65535). 256 exactly is the empty marker kEmptyLight.
    int32_t light[kGridPoints];
};

// The one grid of the program: zero at start, written by the ray-cast scenes every frame,
// never cleared by the mapper.
extern BlockGrid blockGrid;

// Draws block (j, i) of `blockGrid` into the 64 pixels at `blockTopLeft` (rows 512 words apart)
// from `texture`. Each plane p steps down the block's left and right edges by
// (bottom - top) >> 3 per row and across each row by (right - left) >> 3 per pixel, with
// arithmetic shifts (steps round toward minus infinity); the right-hand and bottom corner
// values themselves belong to the neighbouring blocks. A pixel is the texel at
// ((v >> 16) & 255, (u >> 16) & 255) with L = light >> 8 added: red and green get
// min(c + (L & 255), 255), blue min(c + L, 255) with L taken as unsigned (a negative L turns
// blue to 255). The top byte is 0. Arithmetic wraps around like 32-bit machine integers.
void MapBlock(const uint32_t* texture, uint32_t* blockTopLeft, int j, int i);

// Draws all 64 x 32 blocks, block row by block row: every frame pixel is written.
void MapGrid(const uint32_t* texture, FrameBuffer frame);

// Draws the blocks j = 1..63, i = 1..31 whose four corners all have a light other than
// kEmptyLight; other blocks, and block row 0 and block column 0, keep what the frame held.
void MapGridMasked(const uint32_t* texture, FrameBuffer frame);
