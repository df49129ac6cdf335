// The block mapper with AVX-512: two block rows per register (lanes 0-7 row 2m, lanes 8-15 row
// 2m + 1), their sixteen texels in one gather. Every row's edge values are the corner's plus r
// steps and every pixel's the row's left value plus k steps, as low 32 bits of products: the
// same sums of wrapping steps as the other forms. (Measured side by side on the benchmark's
// grid, CPU time on a busy 2-core machine, in two sessions: AVX2 132 and 77 us per frame, SSE2
// 127 and 129 us, this 98 and 75 us. The gathers cost most; against AVX2 the gain is small and
// varies.)
#include "fx/blockgrid_forms.h"

#include <immintrin.h>

namespace {

// The eight rows' values of one plane: left edge and step per pixel.
struct PlaneRows {
    __m256i left, step;
};

inline PlaneRows RowsOf(int32_t left, int32_t leftStep, int32_t right, int32_t rightStep) {
    const __m256i rows = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i l = _mm256_add_epi32(_mm256_set1_epi32(left),
                                       _mm256_mullo_epi32(_mm256_set1_epi32(leftStep), rows));
    const __m256i r = _mm256_add_epi32(_mm256_set1_epi32(right),
                                       _mm256_mullo_epi32(_mm256_set1_epi32(rightStep), rows));
    return {l, _mm256_srai_epi32(_mm256_sub_epi32(r, l), 3)};
}

// The values of rows 2m and 2m + 1 (`pair` selects them) for their sixteen pixels.
inline __m512i PairValues(const PlaneRows& plane, __m512i pair, __m512i columns) {
    const __m512i left = _mm512_permutexvar_epi32(pair, _mm512_castsi256_si512(plane.left));
    const __m512i step = _mm512_permutexvar_epi32(pair, _mm512_castsi256_si512(plane.step));
    return _mm512_add_epi32(left, _mm512_mullo_epi32(step, columns));
}

inline void DrawBlockAvx512(const uint32_t* texture, uint32_t* out, int j, int i) {
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
        const __m512i index =
            _mm512_or_si512(_mm512_and_si512(_mm512_srai_epi32(vs, 8), _mm512_set1_epi32(0xFF00)),
                            _mm512_and_si512(_mm512_srli_epi32(us, 16), lowByte));
        const __m512i texels = _mm512_i32gather_epi32(index, texture, 4);
        const __m512i level = _mm512_srai_epi32(lights, 8);
        const __m512i low = _mm512_and_si512(level, lowByte);
        // Blue takes the level itself when it lies in 0 ... 255, else 255.
        const __mmask16 inRange = _mm512_testn_epi32_mask(level, _mm512_set1_epi32(~0xFF));
        const __m512i blue = _mm512_mask_blend_epi32(inRange, lowByte, low);
        const __m512i addend = _mm512_or_si512(
            blue, _mm512_or_si512(_mm512_slli_epi32(low, 8), _mm512_slli_epi32(low, 16)));
        const __m512i pixels =
            _mm512_and_si512(_mm512_adds_epu8(texels, addend), _mm512_set1_epi32(0x00FFFFFF));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm512_castsi512_si256(pixels));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + kFrameWidth),
                            _mm512_extracti64x4_epi64(pixels, 1));
    }
}

} // namespace

void MapGridAvx512(const uint32_t* texture, FrameBuffer frame) {
    MapAllBlocks<DrawBlockAvx512>(texture, frame);
}

void MapGridMaskedAvx512(const uint32_t* texture, FrameBuffer frame) {
    MapFilledBlocks<DrawBlockAvx512>(texture, frame);
}
