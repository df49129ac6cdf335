#include "fx/radialblur.h"

#include "base/cpu.h"

#include <algorithm>
#include <array>

#if defined(DEMO_X86_VECTORS)
#include <immintrin.h>
#endif

namespace {

// 2^48 / major rounded up: (minor * this) >> 32 is floor(65536 * minor / major). The error of
// the rounding, below minor / 2^32 < 1 / 2^23, is smaller than the distance 1 / major from any
// fraction k / major to the next integer, so the floor is exact.
constexpr std::array<uint64_t, 512> MakeReciprocals() {
    std::array<uint64_t, 512> table{};
    for (uint64_t major = 1; major < 512; ++major)
        table[major] = ((uint64_t{1} << 48) + major - 1) / major;
    return table;
}
constexpr std::array<uint64_t, 512> kReciprocal = MakeReciprocals();

inline int32_t Weight(uint32_t minor, uint64_t reciprocal) {
    return static_cast<int32_t>((minor * reciprocal) >> 32);
}

// 23 * o / 1000, which equals 1507 * o >> 16 for o in 0..255.
inline uint32_t OwnPart(uint32_t o) {
    return (1507 * o) >> 16;
}

// The ray rule on one pixel, integer form: max(n - 1, 0) + own part, at most 255.
inline uint32_t RayPixel(uint32_t own, uint32_t neighbour) {
    uint32_t result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        uint32_t n = (neighbour >> shift) & 0xFF;
        uint32_t v = (n > 0 ? n - 1 : 0) + OwnPart((own >> shift) & 0xFF);
        result |= (v > 255 ? 255 : v) << shift;
    }
    return result;
}

// Ray from the centre in direction (sx, sy); steps stop at the frame's edge.
void Ray(FrameBuffer frame, int32_t cx, int32_t cy, int sx, int sy) {
    int32_t steps = 511;
    if (sx > 0 && 511 - cx < steps)
        steps = 511 - cx;
    if (sx < 0 && cx < steps)
        steps = cx;
    if (sy > 0 && 255 - cy < steps)
        steps = 255 - cy;
    if (sy < 0 && cy < steps)
        steps = cy;
    const int stride = sy * kFrameWidth + sx;
    uint32_t* pixel = frame + cy * kFrameWidth + cx;
    uint32_t previous = *pixel;
    for (int32_t k = 1; k <= steps; ++k) {
        pixel += stride;
        previous = RayPixel(*pixel, previous);
        *pixel = previous;
    }
}

#if defined(DEMO_X86_VECTORS)

// The interior rule with each channel in a 16-bit lane (lane 3, the top byte, is dropped when
// stored). _mm_mulhi_epu16 gives (a * b) >> 16 exactly: channel values are below 256 and both
// weights, w and 65536 - w, lie in 1..65535.
struct InteriorSse2 {
    __m128i zero = _mm_setzero_si128();
    __m128i ownWeight = _mm_set1_epi16(1507);
    __m128i maximum = _mm_set1_epi16(255);

    __m128i Unpack(uint32_t pixel) const {
        return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(pixel)), zero);
    }
    static uint32_t Pack(__m128i lanes) {
        return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(lanes, lanes))) &
               0x00FFFFFF;
    }
    __m128i Blend(__m128i own, __m128i diagonal, __m128i axis, int32_t w) const {
        __m128i weight = _mm_set1_epi16(static_cast<short>(w));
        __m128i rest = _mm_set1_epi16(static_cast<short>(65536 - w));
        __m128i v = _mm_add_epi16(
            _mm_mulhi_epu16(own, ownWeight),
            _mm_add_epi16(_mm_mulhi_epu16(diagonal, weight), _mm_mulhi_epu16(axis, rest)));
        return _mm_min_epi16(v, maximum);
    }
};

#endif

// Plain form: the three channels as plain integers.
struct InteriorPlain {
    struct Lanes {
        uint32_t c[3];
    };
    static Lanes Unpack(uint32_t pixel) {
        return {{pixel & 0xFF, (pixel >> 8) & 0xFF, (pixel >> 16) & 0xFF}};
    }
    static uint32_t Pack(Lanes lanes) { return lanes.c[0] | lanes.c[1] << 8 | lanes.c[2] << 16; }
    static Lanes Blend(Lanes own, Lanes diagonal, Lanes axis, int32_t w) {
        Lanes out;
        for (int k = 0; k < 3; ++k) {
            uint32_t v = OwnPart(own.c[k]) + ((diagonal.c[k] * static_cast<uint32_t>(w)) >> 16) +
                         ((axis.c[k] * static_cast<uint32_t>(65536 - w)) >> 16);
            out.c[k] = v > 255 ? 255 : v;
        }
        return out;
    }
};

// Quadrants. With t = |x - cx| and dy = |y - cy|, part A of a row (0 < t < dy) reads only the
// row nearer the centre ("toward"); part B (t > dy) also reads its own row's previous pixel.
// Rows are pointers to their column cx, and sx is the direction away from the centre.

template <class Interior, int sx>
inline void PartA(const Interior& interior, uint32_t* row, const uint32_t* toward, int32_t dy,
                  int32_t columns) {
    const int32_t end = dy - 1 < columns ? dy - 1 : columns;
    const uint64_t reciprocal = kReciprocal[dy];
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
        int32_t w = Weight(static_cast<uint32_t>(dy), kReciprocal[t]);
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
    innerAxis =
        interior.Blend(interior.Unpack(inner[sx * (dy + 1)]), interior.Unpack(toward[sx * dy]),
                       innerAxis, Weight(static_cast<uint32_t>(dy), kReciprocal[dy + 1]));
    inner[sx * (dy + 1)] = interior.Pack(innerAxis);
    if (dy + 2 > columns)
        return;
    auto outerAxis = interior.Unpack(outer[sx * (dy + 1)]); // on the diagonal ray
    for (int32_t t = dy + 2; t <= columns; ++t) {
        const uint64_t reciprocal = kReciprocal[t];
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

#if defined(DEMO_X86_VECTORS)

// The quadrants with AVX2, eight pixels per register, for processors that have it.
//
// Part A of a row reads only the row nearer the centre, so it goes eight neighbouring pixels
// at a time. Part B of a row is a chain along the row, but a pixel there reads only column
// t - 1 (its own row and the row nearer the centre), never the row nearer the centre at its
// own column: so eight rows advance together, one column per step, each lane one row. Tiles
// of 8 x 8 pixels are turned on their side (rows to lanes) on the way in and back on the way
// out. Part A never reads part B nor the reverse, so all of part A is done first.
// (Measured side by side, centre (256, 128), CPU time on a busy 2-core machine: the SSE2
// quadrants 211 us per blur, these 73 us.)
//
// In the registers each pixel's 32-bit lane holds blue | red << 16 (the "a" half) or green
// (the "c" half), so one _mm256_mulhi_epu16 weighs two channels; the arithmetic is that of
// the Interior struct above, term for term.

// floor(65536 * minor / major) for 1 <= minor < major <= 511, as 16-bit words: the weights
// of one major value in a row, minor 0 ... major - 1, rows one after the other (about 256 KB,
// filled once at start-up).
constexpr int32_t WeightOffset(int32_t major) {
    return major * (major - 1) / 2;
}
struct WeightTable {
    uint16_t words[WeightOffset(512) + 16]; // 16 more: loads of 16 may run past the last row
    WeightTable() {
        for (int32_t major = 1; major < 512; ++major) {
            words[WeightOffset(major)] = 0;
            for (int32_t minor = 1; minor < major; ++minor)
                words[WeightOffset(major) + minor] =
                    static_cast<uint16_t>(Weight(static_cast<uint32_t>(minor), kReciprocal[major]));
        }
    }
    const uint16_t* Row(int32_t major) const { return words + WeightOffset(major); }
};
const WeightTable weightTable;

struct Halves {
    __m256i a; // blue | red << 16 per pixel
    __m256i c; // green per pixel
};

__attribute__((target("avx2"))) inline Halves Split(__m256i pixels) {
    const __m256i low = _mm256_set1_epi32(0x00FF00FF);
    return {_mm256_and_si256(pixels, low),
            _mm256_and_si256(_mm256_srli_epi32(pixels, 8), _mm256_set1_epi32(0xFF))};
}

// Back to 0x00RRGGBB; every channel is at most 255 here.
__attribute__((target("avx2"))) inline __m256i Join(Halves h) {
    return _mm256_or_si256(h.a, _mm256_slli_epi32(h.c, 8));
}

// Eight diagonal weights w from 16-bit words, each in both 16-bit halves of its lane.
__attribute__((target("avx2"))) inline __m256i LoadWeights(const uint16_t* words) {
    const __m256i both =
        _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(words)));
    const __m256i pairs = _mm256_setr_epi8(0, 1, 0, 1, 2, 3, 2, 3, 4, 5, 4, 5, 6, 7, 6, 7, 8, 9, 8,
                                           9, 10, 11, 10, 11, 12, 13, 12, 13, 14, 15, 14, 15);
    return _mm256_shuffle_epi8(both, pairs);
}

// The interior rule on eight pixels; w as LoadWeights gives it.
__attribute__((target("avx2"))) inline Halves Blend8(Halves own, Halves diagonal, Halves axis,
                                                     __m256i w) {
    const __m256i ownWeight = _mm256_set1_epi16(1507);
    const __m256i maximum = _mm256_set1_epi16(255);
    const __m256i rest = _mm256_sub_epi16(_mm256_setzero_si256(), w); // 65536 - w
    Halves out;
    out.a = _mm256_min_epi16(_mm256_add_epi16(_mm256_mulhi_epu16(own.a, ownWeight),
                                              _mm256_add_epi16(_mm256_mulhi_epu16(diagonal.a, w),
                                                               _mm256_mulhi_epu16(axis.a, rest))),
                             maximum);
    out.c = _mm256_min_epi16(_mm256_add_epi16(_mm256_mulhi_epu16(own.c, ownWeight),
                                              _mm256_add_epi16(_mm256_mulhi_epu16(diagonal.c, w),
                                                               _mm256_mulhi_epu16(axis.c, rest))),
                             maximum);
    return out;
}

__attribute__((target("avx2"))) inline __m256i Load8(const uint32_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
__attribute__((target("avx2"))) inline void Store8(uint32_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// Rows of an 8 x 8 tile of 32-bit words become its columns.
__attribute__((target("avx2"))) inline void Transpose8(__m256i r[8]) {
    __m256i t[8], u[8];
    for (int k = 0; k < 8; k += 2) {
        t[k] = _mm256_unpacklo_epi32(r[k], r[k + 1]);
        t[k + 1] = _mm256_unpackhi_epi32(r[k], r[k + 1]);
    }
    for (int k = 0; k < 8; k += 4) {
        u[k] = _mm256_unpacklo_epi64(t[k], t[k + 2]);
        u[k + 1] = _mm256_unpackhi_epi64(t[k], t[k + 2]);
        u[k + 2] = _mm256_unpacklo_epi64(t[k + 1], t[k + 3]);
        u[k + 3] = _mm256_unpackhi_epi64(t[k + 1], t[k + 3]);
    }
    for (int k = 0; k < 4; ++k) {
        r[k] = _mm256_permute2x128_si256(u[k], u[k + 4], 0x20);
        r[k + 4] = _mm256_permute2x128_si256(u[k], u[k + 4], 0x31);
    }
}

// Lanes 0 ... n - 1 (from the centre outward) of eight pixels in memory order: the first n
// lanes to the right of the centre, the last n to the left.
template <int sx> __attribute__((target("avx2"))) inline __m256i OutwardMask(int32_t n) {
    const __m256i lanes = sx > 0 ? _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7)
                                 : _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    return _mm256_cmpgt_epi32(_mm256_set1_epi32(n), lanes);
}

__attribute__((target("avx2"))) inline __m256i MaskLoad8(const uint32_t* p, __m256i mask) {
    return _mm256_maskload_epi32(reinterpret_cast<const int*>(p), mask);
}
__attribute__((target("avx2"))) inline void MaskStore8(uint32_t* p, __m256i mask, __m256i v) {
    _mm256_maskstore_epi32(reinterpret_cast<int*>(p), mask, v);
}

// Part A of one row, eight pixels at a time from the centre outward; the last few under a mask
// (masked lanes are neither read nor written).
template <int sx>
__attribute__((target("avx2"))) void PartAAvx2(uint32_t* row, const uint32_t* toward, int32_t dy,
                                               int32_t columns) {
    const int32_t end = dy - 1 < columns ? dy - 1 : columns;
    const uint16_t* weights = weightTable.Row(dy);
    const __m256i reverse = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    for (int32_t t = 1; t <= end; t += 8) {
        // The pixels t ... t + 7 lie at row[t ... t + 7] to the right of the centre and at
        // row[-t - 7 ... -t], in reverse order, to the left.
        const int32_t first = sx > 0 ? t : -t - 7;
        __m256i w = LoadWeights(weights + t);
        if (sx < 0)
            w = _mm256_permutevar8x32_epi32(w, reverse);
        if (t + 7 <= end) {
            const Halves result =
                Blend8(Split(Load8(row + first)), Split(Load8(toward + first - sx)),
                       Split(Load8(toward + first)), w);
            Store8(row + first, Join(result));
        } else {
            const __m256i mask = OutwardMask<sx>(end - t + 1);
            const Halves result = Blend8(Split(MaskLoad8(row + first, mask)),
                                         Split(MaskLoad8(toward + first - sx, mask)),
                                         Split(MaskLoad8(toward + first, mask)), w);
            MaskStore8(row + first, mask, Join(result));
        }
    }
}

// Part B of up to eight rows dy0 ... dy0 + count - 1 together. rows[k] points to the column cx
// of row dy0 + k, rows[-1] to that of row dy0 - 1, whose part B is done; rows[count ... 7]
// repeat the last row and are read but never written.
//
// Lane k (row dy0 + k) starts its part B at column dy0 + k + 1. Before that its pixels are
// part A or the diagonal ray, already final: there the lane keeps its own pixel, so that the
// next column reads the right neighbour.
template <int sx>
__attribute__((target("avx2"))) void PartBBlockAvx2(uint32_t* const* rows, int32_t count,
                                                    int32_t dy0, int32_t columns) {
    if (dy0 + 1 > columns)
        return;
    // Column dy0, one pixel per lane: the axis neighbours of the first step.
    Halves previous = Split(_mm256_setr_epi32(
        static_cast<int>(rows[0][sx * dy0]), static_cast<int>(rows[1][sx * dy0]),
        static_cast<int>(rows[2][sx * dy0]), static_cast<int>(rows[3][sx * dy0]),
        static_cast<int>(rows[4][sx * dy0]), static_cast<int>(rows[5][sx * dy0]),
        static_cast<int>(rows[6][sx * dy0]), static_cast<int>(rows[7][sx * dy0])));
    const __m256i rowLanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i rotate = _mm256_setr_epi32(7, 0, 1, 2, 3, 4, 5, 6);
    for (int32_t t0 = dy0 + 1; t0 <= columns; t0 += 8) {
        // Columns t0 ... t0 + n - 1; tile lane j holds column t0 + j to the right of the
        // centre and t0 + 7 - j to the left.
        const int32_t n = columns - t0 + 1 < 8 ? columns - t0 + 1 : 8;
        const int32_t first = sx > 0 ? t0 : -t0 - 7;
        const __m256i mask = OutwardMask<sx>(n);
        __m256i tile[8];
        for (int k = 0; k < 8; ++k)
            tile[k] = n == 8 ? Load8(rows[k] + first) : MaskLoad8(rows[k] + first, mask);
        Transpose8(tile);
        const bool firstTile = t0 == dy0 + 1;
#pragma GCC unroll 8
        for (int c = 0; c < 8; ++c) {
            if (c >= n)
                break;
            const int j = sx > 0 ? c : 7 - c;
            // Lane 0's diagonal neighbour is in row dy0 - 1, the others' in the lane before.
            const Halves carry =
                Split(_mm256_set1_epi32(static_cast<int>(rows[-1][sx * (t0 + c - 1)])));
            Halves diagonal;
            diagonal.a =
                _mm256_blend_epi32(_mm256_permutevar8x32_epi32(previous.a, rotate), carry.a, 1);
            diagonal.c =
                _mm256_blend_epi32(_mm256_permutevar8x32_epi32(previous.c, rotate), carry.c, 1);
            const Halves own = Split(tile[j]);
            // Rows weigh minor dy0 + k against major t0 + c; lanes past their diagonal (in the
            // first tile) read weights they do not use.
            previous = Blend8(own, diagonal, previous, LoadWeights(weightTable.Row(t0 + c) + dy0));
            if (firstTile) {
                const __m256i started = _mm256_cmpgt_epi32(_mm256_set1_epi32(c + 1), rowLanes);
                previous.a = _mm256_blendv_epi8(own.a, previous.a, started);
                previous.c = _mm256_blendv_epi8(own.c, previous.c, started);
            }
            tile[j] = Join(previous);
        }
        Transpose8(tile);
        for (int k = 0; k < count; ++k) {
            if (n == 8)
                Store8(rows[k] + first, tile[k]);
            else
                MaskStore8(rows[k] + first, mask, tile[k]);
        }
    }
}

// The same with AVX-512: sixteen pixels per register, so part B takes sixteen rows a column at
// a time in tiles of 16 x 16, the diagonal neighbours come in with one valignd, and masks
// replace the blends. (Measured side by side, centre (256, 128): AVX2 80 us per blur, this
// 51 us.)
#define FX_AVX512 __attribute__((target("avx512f,avx512bw")))
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

// All sixteen lanes. (The zero-masked forms of a few instructions below are the plain ones
// with this mask: GCC 12 warns about the plain forms' undefined start values, and about those
// of the shuffles, which have no such form; its warning is switched off for this part.)
constexpr __mmask16 kAll16 = 0xFFFF;

struct Halves16 {
    __m512i a; // blue | red << 16 per pixel
    __m512i c; // green per pixel
};

FX_AVX512 inline Halves16 Split16(__m512i pixels) {
    return {_mm512_and_si512(pixels, _mm512_set1_epi32(0x00FF00FF)),
            _mm512_and_si512(_mm512_maskz_srli_epi32(kAll16, pixels, 8), _mm512_set1_epi32(0xFF))};
}

FX_AVX512 inline __m512i Join16(Halves16 h) {
    return _mm512_or_si512(h.a, _mm512_maskz_slli_epi32(kAll16, h.c, 8));
}

// Sixteen diagonal weights from 16-bit words, each in both 16-bit halves of its lane.
FX_AVX512 inline __m512i LoadWeights16(const uint16_t* words) {
    const __m512i w = _mm512_maskz_cvtepu16_epi32(
        kAll16, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words)));
    return _mm512_or_si512(w, _mm512_maskz_slli_epi32(kAll16, w, 16));
}

FX_AVX512 inline Halves16 Blend16(Halves16 own, Halves16 diagonal, Halves16 axis, __m512i w) {
    const __m512i ownWeight = _mm512_set1_epi16(1507);
    const __m512i maximum = _mm512_set1_epi16(255);
    const __m512i rest = _mm512_sub_epi16(_mm512_setzero_si512(), w); // 65536 - w
    Halves16 out;
    out.a = _mm512_min_epi16(_mm512_add_epi16(_mm512_mulhi_epu16(own.a, ownWeight),
                                              _mm512_add_epi16(_mm512_mulhi_epu16(diagonal.a, w),
                                                               _mm512_mulhi_epu16(axis.a, rest))),
                             maximum);
    out.c = _mm512_min_epi16(_mm512_add_epi16(_mm512_mulhi_epu16(own.c, ownWeight),
                                              _mm512_add_epi16(_mm512_mulhi_epu16(diagonal.c, w),
                                                               _mm512_mulhi_epu16(axis.c, rest))),
                             maximum);
    return out;
}

// Lanes 0 ... n - 1 counted from the centre outward, in memory order (see OutwardMask).
template <int sx> inline __mmask16 OutwardMask16(int32_t n) {
    const uint32_t first = (1u << n) - 1;
    return static_cast<__mmask16>(sx > 0 ? first : first << (16 - n));
}

FX_AVX512 inline __m512i MaskLoad16(const uint32_t* p, __mmask16 mask) {
    return _mm512_maskz_loadu_epi32(mask, p);
}

// Rows of a 16 x 16 tile of 32-bit words become its columns.
FX_AVX512 inline void Transpose16(__m512i r[16]) {
    __m512i t[16], u[16];
    for (int k = 0; k < 16; k += 2) {
        t[k] = _mm512_unpacklo_epi32(r[k], r[k + 1]);
        t[k + 1] = _mm512_unpackhi_epi32(r[k], r[k + 1]);
    }
    // u[4k + m], 128-bit lane L: column 4L + m of rows 4k ... 4k + 3.
    for (int k = 0; k < 16; k += 4) {
        u[k] = _mm512_unpacklo_epi64(t[k], t[k + 2]);
        u[k + 1] = _mm512_unpackhi_epi64(t[k], t[k + 2]);
        u[k + 2] = _mm512_unpacklo_epi64(t[k + 1], t[k + 3]);
        u[k + 3] = _mm512_unpackhi_epi64(t[k + 1], t[k + 3]);
    }
    for (int m = 0; m < 4; ++m) {
        const __m512i x0 = _mm512_shuffle_i32x4(u[m], u[4 + m], 0x44);
        const __m512i x1 = _mm512_shuffle_i32x4(u[m], u[4 + m], 0xEE);
        const __m512i y0 = _mm512_shuffle_i32x4(u[8 + m], u[12 + m], 0x44);
        const __m512i y1 = _mm512_shuffle_i32x4(u[8 + m], u[12 + m], 0xEE);
        r[m] = _mm512_shuffle_i32x4(x0, y0, 0x88);
        r[4 + m] = _mm512_shuffle_i32x4(x0, y0, 0xDD);
        r[8 + m] = _mm512_shuffle_i32x4(x1, y1, 0x88);
        r[12 + m] = _mm512_shuffle_i32x4(x1, y1, 0xDD);
    }
}

template <int sx>
FX_AVX512 void PartAAvx512(uint32_t* row, const uint32_t* toward, int32_t dy, int32_t columns) {
    const int32_t end = dy - 1 < columns ? dy - 1 : columns;
    const uint16_t* weights = weightTable.Row(dy);
    const __m512i reverse = _mm512_setr_epi32(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    for (int32_t t = 1; t <= end; t += 16) {
        const int32_t first = sx > 0 ? t : -t - 15;
        __m512i w = LoadWeights16(weights + t);
        if (sx < 0)
            w = _mm512_maskz_permutexvar_epi32(kAll16, reverse, w);
        const __mmask16 mask = t + 15 <= end ? kAll16 : OutwardMask16<sx>(end - t + 1);
        const Halves16 result = Blend16(Split16(MaskLoad16(row + first, mask)),
                                        Split16(MaskLoad16(toward + first - sx, mask)),
                                        Split16(MaskLoad16(toward + first, mask)), w);
        _mm512_mask_storeu_epi32(row + first, mask, Join16(result));
    }
}

// Part B of up to sixteen rows, as PartBBlockAvx2 does eight.
template <int sx>
FX_AVX512 void PartBBlockAvx512(uint32_t* const* rows, int32_t count, int32_t dy0,
                                int32_t columns) {
    if (dy0 + 1 > columns)
        return;
    uint32_t start[16];
    for (int k = 0; k < 16; ++k)
        start[k] = rows[k][sx * dy0];
    Halves16 previous = Split16(_mm512_loadu_si512(start));
    for (int32_t t0 = dy0 + 1; t0 <= columns; t0 += 16) {
        const int32_t n = columns - t0 + 1 < 16 ? columns - t0 + 1 : 16;
        const int32_t first = sx > 0 ? t0 : -t0 - 15;
        const __mmask16 mask = n == 16 ? kAll16 : OutwardMask16<sx>(n);
        __m512i tile[16];
        for (int k = 0; k < 16; ++k)
            tile[k] = MaskLoad16(rows[k] + first, mask);
        Transpose16(tile);
        const bool firstTile = t0 == dy0 + 1;
#pragma GCC unroll 16
        for (int c = 0; c < 16; ++c) {
            if (c >= n)
                break;
            const int j = sx > 0 ? c : 15 - c;
            const Halves16 carry =
                Split16(_mm512_set1_epi32(static_cast<int>(rows[-1][sx * (t0 + c - 1)])));
            Halves16 diagonal;
            diagonal.a = _mm512_alignr_epi32(previous.a, carry.a, 15);
            diagonal.c = _mm512_alignr_epi32(previous.c, carry.c, 15);
            const Halves16 own = Split16(tile[j]);
            previous =
                Blend16(own, diagonal, previous, LoadWeights16(weightTable.Row(t0 + c) + dy0));
            if (firstTile) {
                const __mmask16 started = static_cast<__mmask16>((2u << c) - 1);
                previous.a = _mm512_mask_blend_epi32(started, own.a, previous.a);
                previous.c = _mm512_mask_blend_epi32(started, own.c, previous.c);
            }
            tile[j] = Join16(previous);
        }
        Transpose16(tile);
        for (int k = 0; k < count; ++k)
            _mm512_mask_storeu_epi32(rows[k] + first, mask, tile[k]);
    }
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

// The vector forms of one width: how many rows a part-B block takes, and the parts for the
// columns right of the centre ([0]) and left of it ([1]).
struct VectorParts {
    int32_t rows;
    void (*partA[2])(uint32_t* row, const uint32_t* toward, int32_t dy, int32_t columns);
    void (*partB[2])(uint32_t* const* rows, int32_t count, int32_t dy0, int32_t columns);
};
constexpr int32_t kMostBlockRows = 16;
const VectorParts kAvx2Parts = {
    8, {PartAAvx2<1>, PartAAvx2<-1>}, {PartBBlockAvx2<1>, PartBBlockAvx2<-1>}};
const VectorParts kAvx512Parts = {
    16, {PartAAvx512<1>, PartAAvx512<-1>}, {PartBBlockAvx512<1>, PartBBlockAvx512<-1>}};

// One quadrant with the vector parts of one width: part A of every row, outward from the
// centre, then part B in blocks of parts.rows rows. Each block gets the row before it too, and
// rows past the quadrant's last repeat that last row (read, never written).
template <int sx, int sy>
void VectorQuadrant(const VectorParts& parts, FrameBuffer frame, int32_t cx, int32_t cy) {
    const int side = sx > 0 ? 0 : 1;
    const int32_t columns = sx > 0 ? 511 - cx : cx;
    const int32_t rows = sy > 0 ? 255 - cy : cy;
    constexpr int stride = sy * kFrameWidth;
    uint32_t* const centre = frame + cy * kFrameWidth + cx;
    for (int32_t dy = 1; dy <= rows; ++dy)
        parts.partA[side](centre + dy * stride, centre + (dy - 1) * stride, dy, columns);
    for (int32_t dy = 1; dy <= rows; dy += parts.rows) {
        const int32_t count = std::min(rows - dy + 1, parts.rows);
        uint32_t* block[kMostBlockRows + 1];
        for (int32_t k = -1; k < parts.rows; ++k)
            block[k + 1] = centre + (dy + std::min(k, count - 1)) * stride;
        parts.partB[side](block + 1, count, dy, columns);
    }
}

void VectorQuadrants(const VectorParts& parts, FrameBuffer frame, int32_t cx, int32_t cy) {
    VectorQuadrant<1, 1>(parts, frame, cx, cy);
    VectorQuadrant<-1, 1>(parts, frame, cx, cy);
    VectorQuadrant<1, -1>(parts, frame, cx, cy);
    VectorQuadrant<-1, -1>(parts, frame, cx, cy);
}

#endif // DEMO_X86_VECTORS

} // namespace

int32_t RadialBlurWeight(int32_t minor, int32_t major) {
    return Weight(static_cast<uint32_t>(minor), kReciprocal[major]);
}

void RadialBlur(FrameBuffer frame, int32_t cx, int32_t cy) {
    // A centre outside the frame is moved to the nearest pixel inside it.
    cx = std::clamp(cx, 0, kFrameWidth - 1);
    cy = std::clamp(cy, 0, kFrameHeight - 1);

    Ray(frame, cx, cy, 1, 1);
    Ray(frame, cx, cy, 1, -1);
    Ray(frame, cx, cy, 0, -1);
    Ray(frame, cx, cy, -1, -1);
    Ray(frame, cx, cy, -1, 0);
    Ray(frame, cx, cy, 1, 0);
    Ray(frame, cx, cy, -1, 1);
    Ray(frame, cx, cy, 0, 1);

#if defined(DEMO_X86_VECTORS)
    const VectorLevel level = CurrentVectorLevel();
    if (level >= VectorLevel::kAvx512)
        return VectorQuadrants(kAvx512Parts, frame, cx, cy);
    if (level >= VectorLevel::kAvx2)
        return VectorQuadrants(kAvx2Parts, frame, cx, cy);
    if (level >= VectorLevel::kSse2)
        return Quadrants<InteriorSse2>(frame, cx, cy);
#endif
    Quadrants<InteriorPlain>(frame, cx, cy);
}
