// The additive blit with SSE2: four pixels at a time.
#include "fx/blit_forms.h"

#include <immintrin.h>

namespace {

struct Sse2Lanes {
    static constexpr int32_t kPixels = 4;
    // A saturating unsigned byte add is the per-channel rule exactly.
    static void Add(const uint32_t* source, uint32_t* frame) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(frame));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(frame),
                         _mm_and_si128(_mm_adds_epu8(d, s), _mm_set1_epi32(kColourBits)));
    }
};

} // namespace

void AddRowsSse2(const uint32_t* source, int32_t width, uint32_t* frame, int32_t count,
                 int32_t rows) {
    AddRowsWith<Sse2Lanes>(source, width, frame, count, rows);
}
