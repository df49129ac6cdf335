// Plain versions of the pixel effects, written step by step like their rules, with none of the
// tricks of the fast ones in src/fx. Tests check that the two agree bit for bit; the effects
// benchmark times them side by side.
#pragma once

#include "base/framebuffer.h"
#include "fx/blockgrid.h"

#include <cstdint>

void ReferenceBlitAdditive(const uint32_t* source, int32_t width, int32_t height, FrameBuffer frame,
                           int32_t x, int32_t y);

// Needs 0 <= cx <= 511 and 0 <= cy <= 255.
void ReferenceRadialBlur(FrameBuffer frame, int32_t cx, int32_t cy);

// Draw from `grid` (the program's blockGrid in use).
void ReferenceMapBlock(const BlockGrid& grid, const uint32_t* texture, uint32_t* blockTopLeft,
                       int j, int i);
void ReferenceMapGrid(const BlockGrid& grid, const uint32_t* texture, FrameBuffer frame);
void ReferenceMapGridMasked(const BlockGrid& grid, const uint32_t* texture, FrameBuffer frame);
