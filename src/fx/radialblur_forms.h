// The radial blur's quadrants, one form per instruction set: each replaces every pixel between
// the rays of the centre (cx, cy), which lies inside the frame, the rays being done already.
// The plain form is in radialblur.cpp, each other in the file named for its instruction set.
//
// Below is what the forms share: the reciprocals and the table of weights, the driver of the
// forms that take one pixel at a time (plain and SSE2, over an Interior that does the arithmetic
// of one pixel), and the driver of the wide forms (AVX2 and AVX-512, over the Lanes of one
// register width). Everything defined here has internal linkage, so that a copy compiled for
// AVX2 never stands in for the plain one.
#pragma once

#include "base/framebuffer.h"

#include <cstdint>

using QuadrantsFunction = void (*)(FrameBuffer frame, int32_t cx, int32_t cy);

void QuadrantsSse2(FrameBuffer frame, int32_t cx, int32_t cy);
void QuadrantsAvx2(FrameBuffer frame, int32_t cx, int32_t cy);
void QuadrantsAvx512(FrameBuffer frame, int32_t cx, int32_t cy);

// 2^48 / major rounded up, for major 1 ... 511: (minor * of[major]) >> 32 is
// floor(65536 * minor / major). Defined in radialblur.cpp.
struct RadialBlurReciprocals {
    uint64_t of[512];
};
extern const RadialBlurReciprocals radialBlurReciprocals;

// floor(65536 * minor / major) for 1 <= minor < major <= 511, as 16-bit words: the weights of
// one major value in a row, minor 0 ... major - 1, the rows one after the other, and 16 words
// more, as loads of 16 may run past the last row (about 256 KB). Made on the first call, by
// radialblur.cpp; only the wide forms use it.
const uint16_t* RadialBlurWeights();

namespace {

inline int32_t Weight(uint32_t minor, uint64_t reciprocal) {
    return static_cast<int32_t>((minor * reciprocal) >> 32);
}

// Where the row of `major` starts in the table of weights.
constexpr int32_t WeightOffset(int32_t major) {
    return major * (major - 1) / 2;
}
constexpr int32_t kWeightWords = WeightOffset(512) + 16;

// Quadrants, one pixel at a time. With t = |x - cx| and dy = |y - cy|, part A of a row
// (0 < t < dy) reads only the row nearer the centre ("toward"); part B (t > dy) also reads its
// own row's previous pixel. Rows are pointers to their column cx, and sx is the direction away
// from the centre.
//
// Interior is the arithmetic of one pixel: Unpack(pixel) gives its channels, Pack(channels) the
// pixel again with bits 24-31 clear, and Blend(own, diagonal, axis, w) the rule between the rays
// (radialblur.h) on channels.

template <class Interior, int sx>
inline void PartA(const Interior& interior, uint32_t* row, const uint32_t* toward, int32_t dy,
                  int32_t columns) {
    const int32_t end = dy - 1 < columns ? dy - 1 : columns;
    const uint64_t reciprocal = radialBlurReciprocals.of[dy];
    for (int32_t t = 1; t <= end; ++t) {
        int32_t w = Weight(static_cast<uint32_t>(t), reciprocal);
        row[sx * t] = interior.Pack(interior.Blend(interior.Unpack(row[sx * t]),
                                                   interior.Unpack(toward[sx * (t - 1)]),
                                                   interior.Unpack(toward[sx * t]), w));
    }
}

// Part B of one row: a chain in which each pixel waits for the one before it, kept in
// registers rather than read back from memory.
template <class Interior, int sx>
inline void PartB(const Interior& interior, uint32_t* row, const uint32_t* toward, int32_t dy,
                  int32_t columns) {
    if (dy + 1 > columns)
        return;
    auto axis = interior.Unpack(row[sx * dy]); // on the diagonal ray
    for (int32_t t = dy + 1; t <= columns; ++t) {
        int32_t w = Weight(static_cast<uint32_t>(dy), radialBlurReciprocals.of[t]);
        axis = interior.Blend(interior.Unpack(row[sx * t]), interior.Unpack(toward[sx * (t - 1)]),
                              axis, w);
        row[sx * t] = interior.Pack(axis);
    }
}

// Part B of two neighbouring rows at once: the outer row's pixel t needs the inner row's pixel
// t - 1, which the inner chain has just computed, so the two chains run side by side and the
// processor overlaps them. (Measured side by side, centre (256, 128), CPU time on a busy
// 2-core machine: one row at a time 303 us per blur, two rows 279 us.)
template <class Interior, int sx>
inline void PartBPair(const Interior& interior, uint32_t* inner, uint32_t* outer,
                      const uint32_t* toward, int32_t dy, int32_t columns) {
    if (dy + 1 > columns)
        return;
    auto innerAxis = interior.Unpack(inner[sx * dy]); // on the diagonal ray
    innerAxis = interior.Blend(interior.Unpack(inner[sx * (dy + 1)]),
                               interior.Unpack(toward[sx * dy]), innerAxis,
                               Weight(static_cast<uint32_t>(dy), radialBlurReciprocals.of[dy + 1]));
    inner[sx * (dy + 1)] = interior.Pack(innerAxis);
    if (dy + 2 > columns)
        return;
    auto outerAxis = interior.Unpack(outer[sx * (dy + 1)]); // on the diagonal ray
    for (int32_t t = dy + 2; t <= columns; ++t) {
        const uint64_t reciprocal = radialBlurReciprocals.of[t];
        auto innerPixel =
            interior.Blend(interior.Unpack(inner[sx * t]), interior.Unpack(toward[sx * (t - 1)]),
                           innerAxis, Weight(static_cast<uint32_t>(dy), reciprocal));
        outerAxis = interior.Blend(interior.Unpack(outer[sx * t]), innerAxis, outerAxis,
                                   Weight(static_cast<uint32_t>(dy + 1), reciprocal));
        innerAxis = innerPixel;
        inner[sx * t] = interior.Pack(innerAxis);
        outer[sx * t] = interior.Pack(outerAxis);
    }
}

// One quadrant, rows outward from the centre, two at a time.
template <class Interior, int sx, int sy> void Quadrant(FrameBuffer frame, int32_t cx, int32_t cy) {
    const Interior interior;
    const int32_t columns = sx > 0 ? 511 - cx : cx; // pixels beside the centre on this side
    const int32_t rows = sy > 0 ? 255 - cy : cy;    // rows beside the centre on this side
    constexpr int stride = sy * kFrameWidth;        // from a row to the next one outward
    int32_t dy = 1;
    for (; dy + 1 <= rows; dy += 2) {
        uint32_t* inner = frame + (cy + sy * dy) * kFrameWidth + cx;
        uint32_t* outer = inner + stride;
        const uint32_t* toward = inner - stride;
        PartA<Interior, sx>(interior, inner, toward, dy, columns);
        PartA<Interior, sx>(interior, outer, inner, dy + 1, columns);
        PartBPair<Interior, sx>(interior, inner, outer, toward, dy, columns);
    }
    if (dy <= rows) {
        uint32_t* row = frame + (cy + sy * dy) * kFrameWidth + cx;
        PartA<Interior, sx>(interior, row, row - stride, dy, columns);
        PartB<Interior, sx>(interior, row, row - stride, dy, columns);
    }
}

template <class Interior> void Quadrants(FrameBuffer frame, int32_t cx, int32_t cy) {
    Quadrant<Interior, 1, 1>(frame, cx, cy);
    Quadrant<Interior, -1, 1>(frame, cx, cy);
    Quadrant<Interior, 1, -1>(frame, cx, cy);
    Quadrant<Interior, -1, -1>(frame, cx, cy);
}

// Quadrants with a whole register of pixels at a time (AVX2: eight, AVX-512: sixteen).
//
// Part A of a row reads only the row nearer the centre, so it goes a register of neighbouring
// pixels at a time. Part B of a row is a chain along the row, but a pixel there reads only
// column t - 1 (its own row and the row nearer the centre), never the row nearer the centre at
// its own column: so a register's count of rows advance together, one column per step, each
// lane one row. Square tiles are turned on their side (rows to lanes) on the way in and back on
// the way out. Part A never reads part B nor the reverse, so all of part A is done first.
//
// In the registers each pixel's 32-bit lane holds blue | red << 16 (the "a" half) or green
// (the "c" half), so one 16-bit high multiply weighs two channels; the arithmetic is that of
// the Interior above, term for term.
//
// Lanes is one register width's instructions (Avx2Lanes, Avx512Lanes in their files):
//   kCount, Vector, Mask      lanes per register, the register, a set of lanes;
//   Set32, Set16              every 32-bit or 16-bit lane to one value;
//   And, Or, ShiftLeft8, ShiftRight8 (each 32-bit lane), Add16, Sub16, MulHigh16 (unsigned,
//                             the high half of each product), Min16 (signed): as the
//                             instructions;
//   Load, Store               a register of pixels, unaligned;
//   FirstLanes(n), LastLanes(n) lanes 0 ... n - 1, or the last n lanes (n <= kCount);
//   LoadFirst, StoreFirst     the lanes of a mask only, the others neither read nor written;
//   Select(mask, off, on)     `on` in the lanes of the mask, `off` in the others;
//   Reverse(v), Rotate(v, by) lane k takes lane kCount - 1 - k, or lane (k + by) % kCount;
//   ShiftIn(v, carry)         lane 0 takes carry's lane 0, lane k > 0 takes v's lane k - 1;
//   LoadWeights(words)        kCount diagonal weights w, each in both 16-bit halves of its lane;
//   Transpose(tile)           rows of a kCount x kCount tile of words become its columns.

template <class Lanes> struct Halves {
    typename Lanes::Vector a; // blue | red << 16 per pixel
    typename Lanes::Vector c; // green per pixel
};

template <class Lanes> Halves<Lanes> Split(typename Lanes::Vector pixels) {
    return {Lanes::And(pixels, Lanes::Set32(0x00FF00FF)),
            Lanes::And(Lanes::ShiftRight8(pixels), Lanes::Set32(0xFF))};
}

// Back to 0x00RRGGBB; every channel is at most 255 here.
template <class Lanes> typename Lanes::Vector Join(Halves<Lanes> h) {
    return Lanes::Or(h.a, Lanes::ShiftLeft8(h.c));
}

// The rule between the rays on one half of a register of pixels: o own, d diagonal, e axis
// neighbour, w and rest = 65536 - w their weights.
template <class Lanes, class Vector>
Vector BlendHalf(Vector o, Vector d, Vector e, Vector w, Vector rest) {
    return Lanes::Min16(
        Lanes::Add16(Lanes::MulHigh16(o, Lanes::Set16(1507)),
                     Lanes::Add16(Lanes::MulHigh16(d, w), Lanes::MulHigh16(e, rest))),
        Lanes::Set16(255));
}

// The rule between the rays on a register of pixels; w as LoadWeights gives it.
template <class Lanes>
Halves<Lanes> Blend(Halves<Lanes> own, Halves<Lanes> diagonal, Halves<Lanes> axis,
                    typename Lanes::Vector w) {
    const typename Lanes::Vector rest = Lanes::Sub16(Lanes::Set32(0), w); // 65536 - w
    return {BlendHalf<Lanes>(own.a, diagonal.a, axis.a, w, rest),
            BlendHalf<Lanes>(own.c, diagonal.c, axis.c, w, rest)};
}

// Lanes 0 ... n - 1 counted from the centre outward, n <= kCount, of a register of pixels in
// memory order: the first n lanes to the right of the centre, the last n to the left.
template <class Lanes, int sx> typename Lanes::Mask OutwardLanes(int32_t n) {
    return sx > 0 ? Lanes::FirstLanes(n) : Lanes::LastLanes(n);
}

// A register's pixels t ... t + kCount - 1 outward from the centre of a row lie at row[t ...]
// to the right of the centre and at row[-t - kCount + 1 ... -t], in reverse order, to the left,
// and the last register of a row may hold fewer, n, under a mask. To the left such a register
// starts before the row's first pixel; on the frame's top row (`frameTop`) it would start
// before the frame, so there the n pixels are read from the farthest one on and turned into
// the lanes they take otherwise. (Only there, to keep the usual path as fast as it was.)
template <class Lanes, int sx, bool frameTop>
typename Lanes::Vector LoadOutward(const uint32_t* row, int32_t t, int32_t n,
                                   typename Lanes::Mask mask) {
    if (sx < 0 && frameTop)
        return Lanes::Rotate(Lanes::LoadFirst(row - (t + n - 1), Lanes::FirstLanes(n)), n);
    return Lanes::LoadFirst(row + (sx > 0 ? t : -t - (Lanes::kCount - 1)), mask);
}
template <class Lanes, int sx, bool frameTop>
void StoreOutward(uint32_t* row, int32_t t, int32_t n, typename Lanes::Mask mask,
                  typename Lanes::Vector pixels) {
    if (sx < 0 && frameTop)
        return Lanes::StoreFirst(row - (t + n - 1), Lanes::FirstLanes(n),
                                 Lanes::Rotate(pixels, Lanes::kCount - n));
    Lanes::StoreFirst(row + (sx > 0 ? t : -t - (Lanes::kCount - 1)), mask, pixels);
}

// Part A of one row, a register of pixels at a time from the centre outward; the last few under
// a mask (masked lanes are neither read nor written).
template <class Lanes, int sx, bool frameTop>
void VectorPartA(const uint16_t* weightTable, uint32_t* row, const uint32_t* toward, int32_t dy,
                 int32_t columns) {
    using Vector = typename Lanes::Vector;
    constexpr int32_t kCount = Lanes::kCount;
    const int32_t end = dy - 1 < columns ? dy - 1 : columns;
    const uint16_t* weights = weightTable + WeightOffset(dy);
    for (int32_t t = 1; t <= end; t += kCount) {
        const int32_t first = sx > 0 ? t : -t - (kCount - 1);
        Vector w = Lanes::LoadWeights(weights + t);
        if (sx < 0)
            w = Lanes::Reverse(w);
        if (t + kCount - 1 <= end) {
            const Halves<Lanes> result =
                Blend<Lanes>(Split<Lanes>(Lanes::Load(row + first)),
                             Split<Lanes>(Lanes::Load(toward + first - sx)),
                             Split<Lanes>(Lanes::Load(toward + first)), w);
            Lanes::Store(row + first, Join<Lanes>(result));
        } else {
            const int32_t n = end - t + 1;
            const auto mask = OutwardLanes<Lanes, sx>(n);
            // `toward` is a row below the frame's top: its windows start inside the frame.
            const Halves<Lanes> result =
                Blend<Lanes>(Split<Lanes>(LoadOutward<Lanes, sx, frameTop>(row, t, n, mask)),
                             Split<Lanes>(Lanes::LoadFirst(toward + first - sx, mask)),
                             Split<Lanes>(Lanes::LoadFirst(toward + first, mask)), w);
            StoreOutward<Lanes, sx, frameTop>(row, t, n, mask, Join<Lanes>(result));
        }
    }
}

// Part B of up to kCount rows dy0 ... dy0 + count - 1 together. rows[k] points to the column cx
// of row dy0 + k, rows[-1] to that of row dy0 - 1, whose part B is done; rows[count ...
// kCount - 1] repeat the last row and are read but never written.
//
// Lane k (row dy0 + k) starts its part B at column dy0 + k + 1. Before that its pixels are
// part A or the diagonal ray, already final: there the lane keeps its own pixel, so that the
// next column reads the right neighbour.
template <class Lanes, int sx, bool frameTop>
void VectorPartBBlock(const uint16_t* weightTable, uint32_t* const* rows, int32_t count,
                      int32_t dy0, int32_t columns) {
    using Vector = typename Lanes::Vector;
    constexpr int32_t kCount = Lanes::kCount;
    if (dy0 + 1 > columns)
        return;
    // Column dy0, one pixel per lane: the axis neighbours of the first step.
    uint32_t start[kCount];
    for (int k = 0; k < kCount; ++k)
        start[k] = rows[k][sx * dy0];
    Halves<Lanes> previous = Split<Lanes>(Lanes::Load(start));
    for (int32_t t0 = dy0 + 1; t0 <= columns; t0 += kCount) {
        // Columns t0 ... t0 + n - 1; tile lane j holds column t0 + j to the right of the
        // centre and t0 + kCount - 1 - j to the left.
        const int32_t n = columns - t0 + 1 < kCount ? columns - t0 + 1 : kCount;
        const int32_t first = sx > 0 ? t0 : -t0 - (kCount - 1);
        const auto mask = OutwardLanes<Lanes, sx>(n);
        Vector tile[kCount];
        for (int k = 0; k < kCount; ++k)
            tile[k] = n == kCount ? Lanes::Load(rows[k] + first)
                                  : LoadOutward<Lanes, sx, frameTop>(rows[k], t0, n, mask);
        Lanes::Transpose(tile);
        const bool firstTile = t0 == dy0 + 1;
#pragma GCC unroll 16
        for (int c = 0; c < kCount; ++c) {
            if (c >= n)
                break;
            const int j = sx > 0 ? c : kCount - 1 - c;
            // Lane 0's diagonal neighbour is in row dy0 - 1, the others' in the lane before.
            const Halves<Lanes> carry =
                Split<Lanes>(Lanes::Set32(static_cast<int32_t>(rows[-1][sx * (t0 + c - 1)])));
            Halves<Lanes> diagonal;
            diagonal.a = Lanes::ShiftIn(previous.a, carry.a);
            diagonal.c = Lanes::ShiftIn(previous.c, carry.c);
            const Halves<Lanes> own = Split<Lanes>(tile[j]);
            // Rows weigh minor dy0 + k against major t0 + c; lanes past their diagonal (in the
            // first tile) read weights they do not use.
            previous = Blend<Lanes>(own, diagonal, previous,
                                    Lanes::LoadWeights(weightTable + WeightOffset(t0 + c) + dy0));
            if (firstTile) {
                const auto started = Lanes::FirstLanes(c + 1);
                previous.a = Lanes::Select(started, own.a, previous.a);
                previous.c = Lanes::Select(started, own.c, previous.c);
            }
            tile[j] = Join<Lanes>(previous);
        }
        Lanes::Transpose(tile);
        for (int k = 0; k < count; ++k) {
            if (n == kCount)
                Lanes::Store(rows[k] + first, tile[k]);
            else
                StoreOutward<Lanes, sx, frameTop>(rows[k], t0, n, mask, tile[k]);
        }
    }
}

// One quadrant: part A of every row, outward from the centre, then part B in blocks of kCount
// rows. Each block gets the row before it too, and rows past the quadrant's last repeat that
// last row (read, never written). The top-left quadrant's last row is the frame's top row.
template <class Lanes, int sx, int sy>
void VectorQuadrant(const uint16_t* weightTable, FrameBuffer frame, int32_t cx, int32_t cy) {
    constexpr int32_t kCount = Lanes::kCount;
    constexpr bool reachesTop = sx < 0 && sy < 0;
    const int32_t columns = sx > 0 ? 511 - cx : cx;
    const int32_t rows = sy > 0 ? 255 - cy : cy;
    constexpr int stride = sy * kFrameWidth;
    uint32_t* const centre = frame + cy * kFrameWidth + cx;
    for (int32_t dy = 1; dy <= rows; ++dy) {
        uint32_t* row = centre + dy * stride;
        if (reachesTop && dy == rows)
            VectorPartA<Lanes, sx, true>(weightTable, row, row - stride, dy, columns);
        else
            VectorPartA<Lanes, sx, false>(weightTable, row, row - stride, dy, columns);
    }
    for (int32_t dy = 1; dy <= rows; dy += kCount) {
        const int32_t last = rows - dy < kCount - 1 ? rows - dy : kCount - 1;
        uint32_t* block[kCount + 1];
        for (int32_t k = -1; k < kCount; ++k)
            block[k + 1] = centre + (dy + (k < last ? k : last)) * stride;
        if (reachesTop && dy + last == rows)
            VectorPartBBlock<Lanes, sx, true>(weightTable, block + 1, last + 1, dy, columns);
        else
            VectorPartBBlock<Lanes, sx, false>(weightTable, block + 1, last + 1, dy, columns);
    }
}

template <class Lanes> void VectorQuadrants(FrameBuffer frame, int32_t cx, int32_t cy) {
    const uint16_t* weightTable = RadialBlurWeights();
    VectorQuadrant<Lanes, 1, 1>(weightTable, frame, cx, cy);
    VectorQuadrant<Lanes, -1, 1>(weightTable, frame, cx, cy);
    VectorQuadrant<Lanes, 1, -1>(weightTable, frame, cx, cy);
    VectorQuadrant<Lanes, -1, -1>(weightTable, frame, cx, cy);
}

} // namespace
