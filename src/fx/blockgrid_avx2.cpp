// The block mapper with AVX2: a whole block row at once, its eight texels in one gather and the
// light on eight lanes.
#include "fx/blockgrid_forms.h"

#include <immintrin.h>

namespace {

inline void DrawRowAvx2(const uint32_t* texture, uint32_t* out, int32_t u, int32_t v, int32_t light,
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

} // namespace

void MapGridAvx2(const uint32_t* texture, FrameBuffer frame) {
    MapAllBlocks<DrawBlock<DrawRowAvx2>>(texture, frame);
}

void MapGridMaskedAvx2(const uint32_t* texture, FrameBuffer frame) {
    MapFilledBlocks<DrawBlock<DrawRowAvx2>>(texture, frame);
}
