// Radial blur: smears the whole frame outward from a centre point, in place, in one pass.
#pragma once

#include "base/framebuffer.h"

#include <cstdint>

// Replaces every pixel of the frame except the centre (cx, cy) by a blend of its neighbour (or
// two neighbours) one step closer to the centre, which the pass has already replaced, plus
// 23/1000 of its own value: bright pixels near the centre stream outward in fading rays.
//
// On the eight rays through the centre (vertical, horizontal, diagonal), for each channel with
// o the pixel's own value and n its neighbour's:  v = min(255, max(n - 1, 0) + 23 * o / 1000),
// which is n * 0.996875 (as a float) + truncated o * 0.023, truncated.
// Between the rays, with d the diagonal neighbour, e the neighbour along the major axis, and
// w = RadialBlurWeight(minor, major) (the smaller and the larger of |x - cx|, |y - cy|):
//   v = min(255, 1507 * o / 65536 + d * w / 65536 + e * (65536 - w) / 65536),
// every division truncated on its own (1507 / 65536 is 0.023 in 16.16 fixed point). Bits 24-31
// of every written pixel are zero. The rays are done first, then the quadrants bottom-right,
// bottom-left, top-right, top-left, each row outward from the centre, so every neighbour read
// has already been replaced.
//
// A centre outside the frame is first clamped into it (x into 0..511, y into 0..255), so the
// blur never reads or writes outside the frame.
void RadialBlur(FrameBuffer frame, int32_t cx, int32_t cy);

// The diagonal neighbour's weight between the rays, 16.16: floor(65536 * minor / major), for
// 1 <= minor < major <= 511. Computed by multiplying with a reciprocal, exact for that range.
int32_t RadialBlurWeight(int32_t minor, int32_t major);
