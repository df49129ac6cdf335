// The block mapper's forms, one per instruction set: MapBlock's (plain, SSE2) and those of the
// grid mappers MapGrid and MapGridMasked (plain, SSE2, AVX2, AVX-512). The plain forms are in
// blockgrid.cpp, each other in the file named for its instruction set.
//
// Below is what the forms share: the fixed-point steps, a block's corner edges, and the two
// grid loops over a block drawer. Everything defined here has internal linkage, so that a copy
// compiled for AVX2 never stands in for the plain one.
#pragma once

#include "fx/blockgrid.h"

#include <cstdint>

using MapBlockFunction = void (*)(const uint32_t* texture, uint32_t* blockTopLeft, int j, int i);
using MapGridFunction = void (*)(const uint32_t* texture, FrameBuffer frame);

void MapBlockSse2(const uint32_t* texture, uint32_t* blockTopLeft, int j, int i);
void MapGridSse2(const uint32_t* texture, FrameBuffer frame);
void MapGridMaskedSse2(const uint32_t* texture, FrameBuffer frame);
void MapGridAvx2(const uint32_t* texture, FrameBuffer frame);
void MapGridMaskedAvx2(const uint32_t* texture, FrameBuffer frame);
void MapGridAvx512(const uint32_t* texture, FrameBuffer frame);
void MapGridMaskedAvx512(const uint32_t* texture, FrameBuffer frame);

namespace {

// Sums and steps of 16.16 and 8.8 values wrap around like 32-bit machine integers.
inline int32_t Add(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
// One eighth of (to - from), rounded toward minus infinity (arithmetic shift).
inline int32_t StepOf(int32_t to, int32_t from) {
    return static_cast<int32_t>(static_cast<uint32_t>(to) - static_cast<uint32_t>(from)) >> 3;
}

// Texel offset of (u, v): row (v >> 16) & 255, column (u >> 16) & 255.
inline uint32_t TexelIndex(int32_t u, int32_t v) {
    return (static_cast<uint32_t>(v >> 8) & 0xFF00) | (static_cast<uint32_t>(u >> 16) & 0xFF);
}

// The corners' edges of block (j, i), stepped down one pixel row at a time.
struct BlockEdges {
    int32_t uL, vL, lL, uR, vR, lR;       // current left and right edge values
    int32_t duL, dvL, dlL, duR, dvR, dlR; // their steps per row

    BlockEdges(int j, int i) {
        const int topLeft = GridIndex(j, i), topRight = GridIndex(j + 1, i);
        uL = blockGrid.u[topLeft];
        vL = blockGrid.v[topLeft];
        lL = blockGrid.light[topLeft];
        uR = blockGrid.u[topRight];
        vR = blockGrid.v[topRight];
        lR = blockGrid.light[topRight];
        duL = StepOf(blockGrid.u[topLeft + 1], uL);
        dvL = StepOf(blockGrid.v[topLeft + 1], vL);
        dlL = StepOf(blockGrid.light[topLeft + 1], lL);
        duR = StepOf(blockGrid.u[topRight + 1], uR);
        dvR = StepOf(blockGrid.v[topRight + 1], vR);
        dlR = StepOf(blockGrid.light[topRight + 1], lR);
    }
    void NextRow() {
        uL = Add(uL, duL);
        vL = Add(vL, dvL);
        lL = Add(lL, dlL);
        uR = Add(uR, duR);
        vR = Add(vR, dvR);
        lR = Add(lR, dlR);
    }
};

// Draws the eight pixels of one block row at `out` from the texture, starting at (u, v, light)
// and stepping by (du, dv, dlight) per pixel.
using RowDrawer = void (*)(const uint32_t* texture, uint32_t* out, int32_t u, int32_t v,
                           int32_t light, int32_t du, int32_t dv, int32_t dlight);

// One block, a row at a time.
template <RowDrawer drawRow>
inline void DrawBlock(const uint32_t* texture, uint32_t* out, int j, int i) {
    BlockEdges edges(j, i);
    for (int row = 0; row < kBlockSize; ++row, out += kFrameWidth) {
        drawRow(texture, out, edges.uL, edges.vL, edges.lL, StepOf(edges.uR, edges.uL),
                StepOf(edges.vR, edges.vL), StepOf(edges.lR, edges.lL));
        edges.NextRow();
    }
}

// Draws block (j, i) into the 64 pixels at `out` (MapBlock's contract).
using BlockDrawer = void (*)(const uint32_t* texture, uint32_t* out, int j, int i);

inline uint32_t* BlockAddress(FrameBuffer frame, int j, int i) {
    return frame + (kBlockSize * i) * kFrameWidth + kBlockSize * j;
}

inline bool BlockIsEmpty(int j, int i) {
    const int32_t* corner = blockGrid.light + GridIndex(j, i);
    return corner[0] == kEmptyLight || corner[1] == kEmptyLight ||
           corner[kGridRows] == kEmptyLight || corner[kGridRows + 1] == kEmptyLight;
}

// MapGrid: every block, block row by block row.
template <BlockDrawer drawBlock> void MapAllBlocks(const uint32_t* texture, FrameBuffer frame) {
    for (int i = 0; i < kBlockRows; ++i)
        for (int j = 0; j < kBlockColumns; ++j)
            drawBlock(texture, BlockAddress(frame, j, i), j, i);
}

// MapGridMasked: the blocks past row 0 and column 0 with no empty corner.
// (The block's address steps along the block row and the empty test reads the corners from one
// pointer: so written, GCC 12 spills fewest registers at the AVX2 level. On the ball scene's
// grid, side by side with the loops this replaces: AVX2 within 1 %, SSE2 4 % slower, as slow as
// the replaced SSE2 loop when compiled on its own; the register allocation, not the work,
// differs.)
template <BlockDrawer drawBlock> void MapFilledBlocks(const uint32_t* texture, FrameBuffer frame) {
    for (int i = 1; i < kBlockRows; ++i) {
        uint32_t* out = BlockAddress(frame, 1, i);
        for (int j = 1; j < kBlockColumns; ++j, out += kBlockSize)
            if (!BlockIsEmpty(j, i))
                drawBlock(texture, out, j, i);
    }
}

} // namespace
