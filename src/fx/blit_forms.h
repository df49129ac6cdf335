// The additive blit's forms, one per instruction set: each adds `rows` clipped rows of `count`
// pixels, `width` source words and one frame row apart. The plain form is in blit.cpp, each
// other in the file named for its instruction set.
#pragma once

#include "base/framebuffer.h"

#include <cstdint>

using AddRowsFunction = void (*)(const uint32_t* source, int32_t width, uint32_t* frame,
                                 int32_t count, int32_t rows);

void AddRowsSse2(const uint32_t* source, int32_t width, uint32_t* frame, int32_t count,
                 int32_t rows);
void AddRowsAvx2(const uint32_t* source, int32_t width, uint32_t* frame, int32_t count,
                 int32_t rows);
void AddRowsAvx512(const uint32_t* source, int32_t width, uint32_t* frame, int32_t count,
                   int32_t rows);

namespace {

// Bits 24-31 of every frame word the blit writes are cleared.
constexpr uint32_t kColourBits = 0x00FFFFFF;

// One pixel: each of red, green and blue added with saturation at 255; bits 24-31 cleared.
// (The forms' files each keep a copy of their own, so no instruction set leaks into another.)
inline uint32_t AddSaturated(uint32_t frame, uint32_t source) {
    uint32_t red = (frame & 0xFF0000) + (source & 0xFF0000);
    uint32_t green = (frame & 0xFF00) + (source & 0xFF00);
    uint32_t blue = (frame & 0xFF) + (source & 0xFF);
    red = red > 0xFF0000 ? 0xFF0000 : red;
    green = green > 0xFF00 ? 0xFF00 : green;
    blue = blue > 0xFF ? 0xFF : blue;
    return red | green | blue;
}

// The row loop of the SSE2 and AVX2 forms: whole registers of `Lanes::kPixels` pixels, each
// added by `Lanes::Add`, then the rest of the row one pixel at a time.
template <class Lanes>
void AddRowsWith(const uint32_t* source, int32_t width, uint32_t* frame, int32_t count,
                 int32_t rows) {
    for (int32_t r = 0; r < rows; ++r, source += width, frame += kFrameWidth) {
        int32_t i = 0;
        for (; i + Lanes::kPixels <= count; i += Lanes::kPixels)
            Lanes::Add(source + i, frame + i);
        for (; i < count; ++i)
            frame[i] = AddSaturated(frame[i], source[i]);
    }
}

} // namespace
