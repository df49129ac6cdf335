// The particle pull with AVX2: four particles per register, one per lane. Every lane adds its
// terms in target order with the same double operations (no fused multiply-add) as the plain
// form, so the sums are the same bits.
#include "scenes/particles_forms.h"

#include <immintrin.h>

namespace {

struct FourLanes {
    using Doubles = __m256d;
    static constexpr int32_t kCount = 4;

    static __m256d Load(const float* values, int32_t n) {
        const __m128i use = _mm_cmpgt_epi32(_mm_set1_epi32(n), _mm_setr_epi32(0, 1, 2, 3));
        return _mm256_cvtps_pd(_mm_maskload_ps(values, use));
    }
    static void Store(double* values, __m256d sums, int32_t n) {
        const __m256i use =
            _mm256_cmpgt_epi64(_mm256_set1_epi64x(n), _mm256_setr_epi64x(0, 1, 2, 3));
        _mm256_maskstore_pd(values, use, sums);
    }
    static __m256d Broadcast(float value) { return _mm256_set1_pd(value); }
    static __m256d Zero() { return _mm256_setzero_pd(); }

    static void AddPull(__m256d tx, __m256d ty, __m256d px, __m256d py, __m256d& sumX,
                        __m256d& sumY) {
        const __m256d dx = _mm256_sub_pd(tx, px);
        const __m256d dy = _mm256_sub_pd(ty, py);
        const __m256d d2 = _mm256_add_pd(_mm256_mul_pd(dx, dx), _mm256_mul_pd(dy, dy));
        const __m256d w = _mm256_div_pd(_mm256_set1_pd(1.0), _mm256_mul_pd(d2, d2));
        // Lanes whose target lies exactly on the particle keep their sums unchanged (unordered
        // compare: a NaN distance is summed, as in the plain loop).
        const __m256d use = _mm256_cmp_pd(d2, _mm256_setzero_pd(), _CMP_NEQ_UQ);
        sumX = _mm256_blendv_pd(sumX, _mm256_add_pd(sumX, _mm256_mul_pd(w, dx)), use);
        sumY = _mm256_blendv_pd(sumY, _mm256_add_pd(sumY, _mm256_mul_pd(w, dy)), use);
    }
};

} // namespace

void SumPullsAvx2(int32_t count, const float* x, const float* y, const float* targetsX,
                  const float* targetsY, int32_t targetCount, double* fx, double* fy) {
    SumPullsInLanes<FourLanes>(count, x, y, targetsX, targetsY, targetCount, fx, fy);
}
