// The radial blur's quadrants with SSE2: one pixel at a time, as the plain form, with its three
// channels in 16-bit lanes of one register, so that each term of the rule is one instruction.
#include "fx/radialblur_forms.h"

#include <immintrin.h>

namespace {

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

} // namespace

void QuadrantsSse2(FrameBuffer frame, int32_t cx, int32_t cy) {
    Quadrants<InteriorSse2>(frame, cx, cy);
}
