// The depth sort's pivot masks with SSE2: four keys compared at a time, each comparison's four
// results taken at once into the masks.
#include "engine3d/sort_forms.h"

#include <immintrin.h>

void PivotMasksSse2(const float* keys, int32_t count, float pivot, uint64_t* notBelow,
                    uint64_t* notAbove) {
    const __m128 p = _mm_set1_ps(pivot);
    for (int32_t w = 0; w * 64 < count; ++w) {
        const float* key = keys + w * 64;
        const int32_t end = count - w * 64 < 64 ? count - w * 64 : 64;
        uint64_t below = 0, above = 0;
        int32_t k = 0;
        for (; k + 4 <= end; k += 4) {
            const __m128 four = _mm_loadu_ps(key + k);
            below |= static_cast<uint64_t>(_mm_movemask_ps(_mm_cmpge_ps(four, p))) << k;
            above |= static_cast<uint64_t>(_mm_movemask_ps(_mm_cmple_ps(four, p))) << k;
        }
        for (; k < end; ++k) {
            below |= static_cast<uint64_t>(key[k] >= pivot) << k;
            above |= static_cast<uint64_t>(key[k] <= pivot) << k;
        }
        notBelow[w] = below;
        notAbove[w] = above;
    }
}
