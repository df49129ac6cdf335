#include "engine3d/sort.h"

#include "engine3d/objet3d.h"

#include <utility>

namespace {

float* sortKeys = nullptr;
int32_t* sortIndices = nullptr;

} // namespace

void SetDepthSortArrays(float* keys, int32_t* indices) {
    sortKeys = keys;
    sortIndices = indices;
}

void SortByDepth(int32_t lo, int32_t hi) {
    float* keys = sortKeys;
    int32_t* indices = sortIndices;
    while (lo < hi) {
        const float pivot = keys[(lo + hi) / 2];
        int32_t i = lo;
        int32_t j = hi;
        for (;;) {
            // Each scan stops at the pivot's own entry or at an entry that an exchange just
            // placed, so it stays inside lo ... hi; a key that is not a number stops a scan
            // too (every comparison with it is false). The bounds keep that true whatever the
            // keys hold and never change where a scan stops.
            while (i < hi && keys[i] < pivot)
                ++i;
            while (j > lo && keys[j] > pivot)
                --j;
            if (i > j)
                break;
            std::swap(keys[i], keys[j]);
            std::swap(indices[i], indices[j]);
            ++i;
            --j;
            if (i > j)
                break;
        }
        SortByDepth(lo, j);
        lo = i;
    }
}

void Objet3d::SortFaces() {
    SetDepthSortArrays(depthKeys.get(), drawOrder.get());
    SortByDepth(0, faceCount - 1);
}
