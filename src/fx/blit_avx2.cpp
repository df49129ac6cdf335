// The additive blit with AVX2: eight pixels at a time.
#include "fx/blit_forms.h"

#include <immintrin.h>

void AddRowsAvx2(const uint32_t* source, int32_t width, uint32_t* frame, int32_t count,
                 int32_t rows) {
    const __m256i colourBits = _mm256_set1_epi32(static_cast<int>(kColourBits));
    for (int32_t r = 0; r < rows; ++r, source += width, frame += kFrameWidth) {
        int32_t i = 0;
        for (; i + 8 <= count; i += 8) {
            const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + i));
            const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(frame + i));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(frame + i),
                                _mm256_and_si256(_mm256_adds_epu8(d, s), colourBits));
        }
        for (; i < count; ++i)
            frame[i] = AddSaturated(frame[i], source[i]);
    }
}
