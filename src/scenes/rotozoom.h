// The rotozoom and end-logo scene, the last of the show.
//
// First a rotozoom: a 256 x 256 texture, repeated endlessly, turns and drifts under the screen at
// about 1.414 texels per pixel, every frame is smeared by the radial blur from a wandering
// centre, and a small overlay is added in the top-right corner, until the scene clock reaches
// 132 s. Then a black frame with the closing logo, until 180 s.
//
// Texture space: a position is (a, b) in texels, a the texture row and b the column. The frame's
// top-left corner lies at corner 3; one pixel to the right moves by (corner 0 - corner 3) / 256,
// one row down by (corner 2 - corner 3) / 256.
#pragma once

#include "base/framebuffer.h"

#include <cstdint>

// The three corners of one frame, in texels (a: row, b: column).
struct RotozoomCorners {
    double a3, b3; // the frame's top-left corner
    double a0, b0; // 256 pixel steps to the right of corner 3
    double a2, b2; // 256 row steps below corner 3
};

// The corners for the angle A = 0.6 x scene-clock seconds (radians): on a circle of radius 256
// texels around the drifting centre (100 sin(0.13 A) + 1.4 A + 64, 100 cos(0.1 A) + 1.2 A + 64),
// at the angles A, A + 3.14 and A + 4.71.
RotozoomCorners RotozoomCornersAt(double angle);

// Start position and steps of FillRotozoom, in 20.12 fixed point (4096 = one texel), each
// truncated toward zero through a 64-bit integer and kept to its low 32 bits.
struct RotozoomSteps {
    int32_t a, b;   // corner 3
    int32_t ra, rb; // one row down: (corner 2 - corner 3) / 256
    int32_t pa, pb; // one pixel right: (corner 0 - corner 3) / 256, although a row is 512 pixels
};
RotozoomSteps RotozoomFixedPoint(const RotozoomCorners& corners);

// Writes all 512 x 256 pixels of the frame from the texture (256 x 256 words, rows of 256): for
// each row the row step is added before the row starts, and for each pixel the pixel step is
// added before the fetch, so pixel (x, y) shows the texel at a + (y + 1) ra + (x + 1) pa,
// b + (y + 1) rb + (x + 1) pb (32-bit wrap-around), row ((. >> 12) & 255), column likewise.
// The texel is stored unchanged.
void FillRotozoom(const uint32_t* texture, FrameBuffer frame, const RotozoomCorners& corners);

// The ways FillRotozoom can do its work, all giving the same pixels. FillRotozoom uses one by
// one below the AVX2 vector level (base/cpu.h), and from it the fastest one this processor runs
// well; tests and the benchmark can run each one.
enum class RotozoomMethod {
    kOneByOne,   // one pixel at a time, row by row: two 32-bit sums per pixel
    kGather,     // eight pixels per AVX2 gather (x86 with AVX2)
    kBitExtract, // both sums packed in one 64-bit word, the texel index taken out with the BMI2
                 // pext instruction, in 32 x 32-pixel tiles (x86-64 with BMI2)
};

// Whether this build and processor can run the method.
bool RotozoomMethodAvailable(RotozoomMethod method);

// The method FillRotozoom uses now.
RotozoomMethod RotozoomPreferredMethod();

// FillRotozoom through the given method, which must be available.
void FillRotozoomWith(RotozoomMethod method, const uint32_t* texture, FrameBuffer frame,
                      const RotozoomCorners& corners);

// The centre of the frame's radial blur for the angle A: (256 + 140 cos(1.3 A),
// 128 + 95 sin(1.1 A)), truncated toward zero.
void RotozoomBlurCentre(double angle, int32_t* x, int32_t* y);

// Runs the rotozoom until 132 s, then the end logo until 180 s. Reads
// "data/rotozoom/texture.bmp" (must be 256 x 256, or the process ends through FatalError),
// "data/boule/under.bmp" and, once the rotozoom is over, "data/logofin.bmp".
void RunRotozoomScene(FrameBuffer frameBuffer);
