// The plain triangle filler: every rule of DrawTexturedTriangle written out literally, one
// bounds test per pixel. The engine's version must give the same frame, word for word.
#pragma once

#include <cstdint>

void DrawTexturedTriangleReference(const uint32_t* texture, uint32_t* frameBuffer, int32_t x0,
                                   int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                                   int32_t s0, int32_t t0, int32_t s1, int32_t t1, int32_t s2,
                                   int32_t t2);
