// The additive blit with AVX2: eight pixels at a time.
#include "fx/blit_forms.h"

#include <immintrin.h>

namespace {

struct Avx2Lanes {
    static constexpr int32_t kPixels = 8;
    // A saturating unsigned byte add is the per-channel rule exactly.
    static void Add(const uint32_t* source, uint32_t* frame) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source));
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(frame));
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(frame),
            _mm256_and_si256(_mm256_adds_epu8(d, s), _mm256_set1_epi32(kColourBits)));
    }
};

} // namespace

void AddRowsAvx2(const uint32_t* source, int32_t width, uint32_t* frame, int32_t count,
                 int32_t rows) {
    AddRowsWith<Avx2Lanes>(source, width, frame, count, rows);
}
