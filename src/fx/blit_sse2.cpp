// The additive blit with SSE2: four pixels at a time.
#include "fx/blit_forms.h"

#include <immintrin.h>

void AddRowsSse2(const uint32_t* source, int32_t width, uint32_t* frame, int32_t count,
                 int32_t rows) {
    // A saturating unsigned byte add is the per-channel rule exactly.
    const __m128i colourBits = _mm_set1_epi32(static_cast<int>(kColourBits));
    for (int32_t r = 0; r < rows; ++r, source += width, frame += kFrameWidth) {
        int32_t i = 0;
        for (; i + 4 <= count; i += 4) {
            const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
            const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(frame + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(frame + i),
                             _mm_and_si128(_mm_adds_epu8(d, s), colourBits));
        }
        for (; i < count; ++i)
            frame[i] = AddSaturated(frame[i], source[i]);
    }
}
