#include "fx/blockgrid.h"

#include "base/cpu.h"

#if defined(DEMO_X86_VECTORS)
#include <immintrin.h>
#endif

BlockGrid blockGrid;

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

#if defined(DEMO_X86_VECTORS)

// Eight pixels of one block row: texels fetched one by one, light added four pixels at a time.
// The texel vectors are built from registers: storing the eight texels to an array and loading
// them back as two vectors stalls store forwarding (MapGrid 244 us that way against 190 us,
// CPU time, one run each on a busy 2-core machine).
inline void DrawRowSse2(const uint32_t* texture, uint32_t* out, int32_t u, int32_t v, int32_t light,
                        int32_t du, int32_t dv, int32_t dlight) {
    __m128i texels[2];
    for (int half = 0; half < 2; ++half) {
        uint32_t t[4];
        for (int k = 0; k < 4; ++k) {
            t[k] = texture[TexelIndex(u, v)];
            u = Add(u, du);
            v = Add(v, dv);
        }
        texels[half] = _mm_set_epi32(static_cast<int>(t[3]), static_cast<int>(t[2]),
                                     static_cast<int>(t[1]), static_cast<int>(t[0]));
    }
    const __m128i lowByte = _mm_set1_epi32(0xFF);
    const __m128i colourBits = _mm_set1_epi32(0x00FFFFFF);
    const __m128i fourSteps = _mm_set1_epi32(static_cast<int>(static_cast<uint32_t>(dlight) * 4));
    __m128i lights =
        _mm_add_epi32(_mm_set1_epi32(light), _mm_set_epi32(Add(dlight, Add(dlight, dlight)),
                                                           Add(dlight, dlight), dlight, 0));
    for (int half = 0; half < 2; ++half) {
        __m128i level = _mm_srai_epi32(lights, 8);
        __m128i low = _mm_and_si128(level, lowByte);
        __m128i inRange = _mm_cmpeq_epi32(_mm_andnot_si128(lowByte, level), _mm_setzero_si128());
        __m128i blue = _mm_or_si128(low, _mm_andnot_si128(inRange, lowByte));
        __m128i addend =
            _mm_or_si128(blue, _mm_or_si128(_mm_slli_epi32(low, 8), _mm_slli_epi32(low, 16)));
        __m128i pixels = _mm_and_si128(_mm_adds_epu8(texels[half], addend), colourBits);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * half), pixels);
        lights = _mm_add_epi32(lights, fourSteps);
    }
}

#endif

// Grey added to a texel for light level L = light >> 8, as three bytes of a word: red and green
// get L & 255, blue gets L, or 255 when L as an unsigned number is above 255. A saturating byte
// add of this word is the pixel rule for every L.
inline uint32_t LightAddend(int32_t light) {
    uint32_t level = static_cast<uint32_t>(light >> 8);
    uint32_t low = level & 0xFF;
    uint32_t blue = level > 0xFF ? 0xFF : level;
    return low << 16 | low << 8 | blue;
}

inline uint32_t AddSaturated(uint32_t texel, uint32_t addend) {
    uint32_t result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        uint32_t c = ((texel >> shift) & 0xFF) + ((addend >> shift) & 0xFF);
        result |= (c > 0xFF ? 0xFF : c) << shift;
    }
    return result;
}

// Eight pixels of one block row, one at a time.
inline void DrawRow(const uint32_t* texture, uint32_t* out, int32_t u, int32_t v, int32_t light,
                    int32_t du, int32_t dv, int32_t dlight) {
    for (int k = 0; k < 8; ++k) {
        out[k] = AddSaturated(texture[TexelIndex(u, v)], LightAddend(light));
        u = Add(u, du);
        v = Add(v, dv);
        light = Add(light, dlight);
    }
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

using RowDrawer = void (*)(const uint32_t*, uint32_t*, int32_t, int32_t, int32_t, int32_t, int32_t,
                           int32_t);

// One block, with the rows drawn by DrawRow or DrawRowSse2.
template <RowDrawer drawRow>
inline void DrawBlock(const uint32_t* texture, uint32_t* out, int j, int i) {
    BlockEdges edges(j, i);
    for (int row = 0; row < kBlockSize; ++row, out += kFrameWidth) {
        drawRow(texture, out, edges.uL, edges.vL, edges.lL, StepOf(edges.uR, edges.uL),
                StepOf(edges.vR, edges.vL), StepOf(edges.lR, edges.lL));
        edges.NextRow();
    }
}

inline bool BlockIsEmpty(int j, int i) {
    const int32_t* light = blockGrid.light;
    return light[GridIndex(j, i)] == kEmptyLight || light[GridIndex(j, i + 1)] == kEmptyLight ||
           light[GridIndex(j + 1, i)] == kEmptyLight ||
           light[GridIndex(j + 1, i + 1)] == kEmptyLight;
}

inline uint32_t* BlockAddress(FrameBuffer frame, int j, int i) {
    return frame + (kBlockSize * i) * kFrameWidth + kBlockSize * j;
}

#if defined(DEMO_X86_VECTORS)

// A whole block row at once: eight texels in one gather, the light on eight lanes. Chosen at
// run time, so the program still runs on processors without AVX2.
__attribute__((target("avx2"))) inline void DrawRowAvx2(const uint32_t* texture, uint32_t* out,
                                                        int32_t u, int32_t v, int32_t light,
                                                        int32_t du, int32_t dv, int32_t dlight) {
    const __m256i steps = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i lowByte = _mm256_set1_epi32(0xFF);
    // k * step keeps the low 32 bits of the product: the sum of k wrapping steps.
    __m256i us =
        _mm256_add_epi32(_mm256_set1_epi32(u), _mm256_mullo_epi32(_mm256_set1_epi32(du), steps));
    __m256i vs =
        _mm256_add_epi32(_mm256_set1_epi32(v), _mm256_mullo_epi32(_mm256_set1_epi32(dv), steps));
    __m256i lights = _mm256_add_epi32(_mm256_set1_epi32(light),
                                      _mm256_mullo_epi32(_mm256_set1_epi32(dlight), steps));
    __m256i index =
        _mm256_or_si256(_mm256_and_si256(_mm256_srai_epi32(vs, 8), _mm256_set1_epi32(0xFF00)),
                        _mm256_and_si256(_mm256_srli_epi32(us, 16), lowByte));
    __m256i texels = _mm256_i32gather_epi32(reinterpret_cast<const int*>(texture), index, 4);
    __m256i level = _mm256_srai_epi32(lights, 8);
    __m256i low = _mm256_and_si256(level, lowByte);
    __m256i inRange =
        _mm256_cmpeq_epi32(_mm256_andnot_si256(lowByte, level), _mm256_setzero_si256());
    __m256i blue = _mm256_or_si256(low, _mm256_andnot_si256(inRange, lowByte));
    __m256i addend = _mm256_or_si256(
        blue, _mm256_or_si256(_mm256_slli_epi32(low, 8), _mm256_slli_epi32(low, 16)));
    __m256i pixels =
        _mm256_and_si256(_mm256_adds_epu8(texels, addend), _mm256_set1_epi32(0x00FFFFFF));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), pixels);
}

__attribute__((target("avx2"))) inline void DrawBlockAvx2(const uint32_t* texture, uint32_t* out,
                                                          int j, int i) {
    BlockEdges edges(j, i);
    for (int row = 0; row < kBlockSize; ++row, out += kFrameWidth) {
        DrawRowAvx2(texture, out, edges.uL, edges.vL, edges.lL, StepOf(edges.uR, edges.uL),
                    StepOf(edges.vR, edges.vL), StepOf(edges.lR, edges.lL));
        edges.NextRow();
    }
}

__attribute__((target("avx2"))) void MapGridAvx2(const uint32_t* texture, FrameBuffer frame) {
    for (int i = 0; i < kBlockRows; ++i)
        for (int j = 0; j < kBlockColumns; ++j)
            DrawBlockAvx2(texture, BlockAddress(frame, j, i), j, i);
}

__attribute__((target("avx2"))) void MapGridMaskedAvx2(const uint32_t* texture, FrameBuffer frame) {
    for (int i = 1; i < kBlockRows; ++i)
        for (int j = 1; j < kBlockColumns; ++j)
            if (!BlockIsEmpty(j, i))
                DrawBlockAvx2(texture, BlockAddress(frame, j, i), j, i);
}

// A block with AVX-512: two block rows per register (lanes 0-7 row 2m, lanes 8-15 row 2m + 1),
// their sixteen texels in one gather. Every row's edge values are the corner's plus r steps and
// every pixel's the row's left value plus k steps, as low 32 bits of products: the same sums of
// wrapping steps as above. (Measured side by side on the benchmark's grid, CPU time on a busy
// 2-core machine, in two sessions: AVX2 132 and 77 us per frame, SSE2 127 and 129 us, this 98
// and 75 us. The gathers cost most; against AVX2 the gain is small and varies.)
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
// GCC 12 warns about the undefined start values inside its own AVX-512 intrinsics.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

#define FX_AVX512 __attribute__((target("avx512f,avx512bw")))

// The eight rows' values of one plane: left edge and step per pixel.
struct PlaneRows {
    __m256i left, step;
};

FX_AVX512 inline PlaneRows RowsOf(int32_t left, int32_t leftStep, int32_t right,
                                  int32_t rightStep) {
    const __m256i rows = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i l = _mm256_add_epi32(_mm256_set1_epi32(left),
                                       _mm256_mullo_epi32(_mm256_set1_epi32(leftStep), rows));
    const __m256i r = _mm256_add_epi32(_mm256_set1_epi32(right),
                                       _mm256_mullo_epi32(_mm256_set1_epi32(rightStep), rows));
    return {l, _mm256_srai_epi32(_mm256_sub_epi32(r, l), 3)};
}

// The values of rows 2m and 2m + 1 (`pair` selects them) for their sixteen pixels.
FX_AVX512 inline __m512i PairValues(const PlaneRows& plane, __m512i pair, __m512i columns) {
    const __m512i left =
        _mm512_maskz_permutexvar_epi32(0xFFFF, pair, _mm512_castsi256_si512(plane.left));
    const __m512i step =
        _mm512_maskz_permutexvar_epi32(0xFFFF, pair, _mm512_castsi256_si512(plane.step));
    return _mm512_add_epi32(left, _mm512_mullo_epi32(step, columns));
}

FX_AVX512 inline void DrawBlockAvx512(const uint32_t* texture, uint32_t* out, int j, int i) {
    const BlockEdges edges(j, i);
    const PlaneRows u = RowsOf(edges.uL, edges.duL, edges.uR, edges.duR);
    const PlaneRows v = RowsOf(edges.vL, edges.dvL, edges.vR, edges.dvR);
    const PlaneRows light = RowsOf(edges.lL, edges.dlL, edges.lR, edges.dlR);
    const __m512i columns = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7);
    const __m512i lowByte = _mm512_set1_epi32(0xFF);
    for (int m = 0; m < 4; ++m, out += 2 * kFrameWidth) {
        const __m512i pair = _mm512_setr_epi32(2 * m, 2 * m, 2 * m, 2 * m, 2 * m, 2 * m, 2 * m,
                                               2 * m, 2 * m + 1, 2 * m + 1, 2 * m + 1, 2 * m + 1,
                                               2 * m + 1, 2 * m + 1, 2 * m + 1, 2 * m + 1);
        const __m512i us = PairValues(u, pair, columns);
        const __m512i vs = PairValues(v, pair, columns);
        const __m512i lights = PairValues(light, pair, columns);
        const __m512i index = _mm512_or_si512(
            _mm512_and_si512(_mm512_maskz_srai_epi32(0xFFFF, vs, 8), _mm512_set1_epi32(0xFF00)),
            _mm512_and_si512(_mm512_maskz_srli_epi32(0xFFFF, us, 16), lowByte));
        const __m512i texels =
            _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), 0xFFFF, index, texture, 4);
        const __m512i level = _mm512_maskz_srai_epi32(0xFFFF, lights, 8);
        const __m512i low = _mm512_and_si512(level, lowByte);
        // Blue takes the level itself when it lies in 0 ... 255, else 255.
        const __mmask16 inRange = _mm512_testn_epi32_mask(level, _mm512_set1_epi32(~0xFF));
        const __m512i blue = _mm512_mask_blend_epi32(inRange, lowByte, low);
        const __m512i addend =
            _mm512_or_si512(blue, _mm512_or_si512(_mm512_maskz_slli_epi32(0xFFFF, low, 8),
                                                  _mm512_maskz_slli_epi32(0xFFFF, low, 16)));
        const __m512i pixels =
            _mm512_and_si512(_mm512_adds_epu8(texels, addend), _mm512_set1_epi32(0x00FFFFFF));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm512_castsi512_si256(pixels));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + kFrameWidth),
                            _mm512_maskz_extracti64x4_epi64(0xF, pixels, 1));
    }
}

FX_AVX512 void MapGridAvx512(const uint32_t* texture, FrameBuffer frame) {
    for (int i = 0; i < kBlockRows; ++i)
        for (int j = 0; j < kBlockColumns; ++j)
            DrawBlockAvx512(texture, BlockAddress(frame, j, i), j, i);
}

FX_AVX512 void MapGridMaskedAvx512(const uint32_t* texture, FrameBuffer frame) {
    for (int i = 1; i < kBlockRows; ++i)
        for (int j = 1; j < kBlockColumns; ++j)
            if (!BlockIsEmpty(j, i))
                DrawBlockAvx512(texture, BlockAddress(frame, j, i), j, i);
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#endif

template <RowDrawer drawRow> void MapGridWith(const uint32_t* texture, FrameBuffer frame) {
    for (int i = 0; i < kBlockRows; ++i)
        for (int j = 0; j < kBlockColumns; ++j)
            DrawBlock<drawRow>(texture, BlockAddress(frame, j, i), j, i);
}

template <RowDrawer drawRow> void MapGridMaskedWith(const uint32_t* texture, FrameBuffer frame) {
    for (int i = 1; i < kBlockRows; ++i)
        for (int j = 1; j < kBlockColumns; ++j)
            if (!BlockIsEmpty(j, i))
                DrawBlock<drawRow>(texture, BlockAddress(frame, j, i), j, i);
}

} // namespace

void MapBlock(const uint32_t* texture, uint32_t* blockTopLeft, int j, int i) {
#if defined(DEMO_X86_VECTORS)
    if (CurrentVectorLevel() >= VectorLevel::kSse2)
        return DrawBlock<DrawRowSse2>(texture, blockTopLeft, j, i);
#endif
    DrawBlock<DrawRow>(texture, blockTopLeft, j, i);
}

void MapGrid(const uint32_t* texture, FrameBuffer frame) {
#if defined(DEMO_X86_VECTORS)
    const VectorLevel level = CurrentVectorLevel();
    if (level >= VectorLevel::kAvx512)
        return MapGridAvx512(texture, frame);
    if (level >= VectorLevel::kAvx2)
        return MapGridAvx2(texture, frame);
    if (level >= VectorLevel::kSse2)
        return MapGridWith<DrawRowSse2>(texture, frame);
#endif
    MapGridWith<DrawRow>(texture, frame);
}

void MapGridMasked(const uint32_t* texture, FrameBuffer frame) {
#if defined(DEMO_X86_VECTORS)
    const VectorLevel level = CurrentVectorLevel();
    if (level >= VectorLevel::kAvx512)
        return MapGridMaskedAvx512(texture, frame);
    if (level >= VectorLevel::kAvx2)
        return MapGridMaskedAvx2(texture, frame);
    if (level >= VectorLevel::kSse2)
        return MapGridMaskedWith<DrawRowSse2>(texture, frame);
#endif
    MapGridMaskedWith<DrawRow>(texture, frame);
}
