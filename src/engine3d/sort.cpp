#include "engine3d/sort.h"

#include "base/vector_forms.h"
#include "engine3d/objet3d.h"
#include "engine3d/sort_forms.h"

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace {

float* sortKeys = nullptr;
int32_t* sortIndices = nullptr;

// One partition step of the quicksort on lo ... hi (lo < hi): on return lo ... *j hold keys
// up to the pivot and *i ... hi keys from the pivot on, and the two parts are sorted next.
inline void Partition(float* keys, int32_t* indices, int32_t lo, int32_t hi, int32_t* iOut,
                      int32_t* jOut) {
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
    *iOut = i;
    *jOut = j;
}

// Float keys as unsigned integers in the same order: negative numbers have every bit turned
// over, the others only the sign bit. -0 and +0 become neighbours, 0x7FFFFFFF and 0x80000000.
inline uint32_t OrderBits(float key) {
    uint32_t bits;
    std::memcpy(&bits, &key, sizeof bits);
    return bits & 0x80000000u ? ~bits : bits | 0x80000000u;
}

inline float FromOrderBits(uint32_t order) {
    const uint32_t bits = order & 0x80000000u ? order & 0x7FFFFFFFu : ~order;
    float key;
    std::memcpy(&key, &bits, sizeof key);
    return key;
}

// Work arrays of SortByDepthFast, kept from call to call (the sort is not reentrant anyway).
struct Scratch {
    std::vector<uint64_t> items, other; // order bits << 32 | position before the sort
    std::vector<int32_t> indices;       // the index array as it came in
    std::vector<float> sortedKeys;
    std::vector<int32_t> sortedIndices;
    std::vector<int32_t> tiedBefore;          // entries with a tied key before each sorted position
    std::vector<uint64_t> notBelow, notAbove; // PartitionByMasks's masks
};
Scratch scratch;

// Stable sort of the items by their upper 32 bits: three passes of 11, 11 and 10 bits, each
// left out when all items share its digit.
void RadixSort(std::vector<uint64_t>& items, std::vector<uint64_t>& other) {
    const size_t n = items.size();
    static uint32_t counts[3][2048];
    std::memset(counts, 0, sizeof counts);
    for (uint64_t item : items) {
        ++counts[0][(item >> 32) & 2047];
        ++counts[1][(item >> 43) & 2047];
        ++counts[2][item >> 54];
    }
    const int shifts[3] = {32, 43, 54};
    for (int pass = 0; pass < 3; ++pass) {
        uint32_t* count = counts[pass];
        const int shift = shifts[pass];
        if (count[(items[0] >> shift) & 2047] == n)
            continue;
        uint32_t sum = 0;
        for (int digit = 0; digit < 2048; ++digit) {
            const uint32_t c = count[digit];
            count[digit] = sum;
            sum += c;
        }
        for (uint64_t item : items)
            other[count[(item >> shift) & 2047]++] = item;
        items.swap(other);
    }
}

// The plain form of the pivot masks: one key at a time.
void PivotMasksPlain(const float* keys, int32_t count, float pivot, uint64_t* notBelow,
                     uint64_t* notAbove) {
    for (int32_t w = 0; w * 64 < count; ++w) {
        const float* key = keys + w * 64;
        const int32_t end = count - w * 64 < 64 ? count - w * 64 : 64;
        uint64_t below = 0, above = 0;
        for (int32_t k = 0; k < end; ++k) {
            below |= static_cast<uint64_t>(key[k] >= pivot) << k;
            above |= static_cast<uint64_t>(key[k] <= pivot) << k;
        }
        notBelow[w] = below;
        notAbove[w] = above;
    }
}

constexpr VectorForms<PivotMasksFunction> pivotMasks{PivotMasksPlain, X86_FORM(PivotMasksSse2),
                                                     nullptr, nullptr};

// Partition() on keys that are all numbers, without its unpredictable scans. The i scan stops
// at the entries whose key is not below the pivot, the j scan at those not above it, so from
// two bit masks of those entries (over the range as it was) the stops follow in order; an
// exchange changes only the two entries it swaps, and a scan that runs into the other scan's
// last exchanged entry stops there. The same exchanges, in the same order, and the same ends.
void PartitionByMasks(float* keys, int32_t* indices, int32_t lo, int32_t hi, int32_t* iOut,
                      int32_t* jOut) {
    const float pivot = keys[(lo + hi) / 2];
    const int32_t count = hi - lo + 1;
    const int32_t words = (count + 63) / 64;
    std::vector<uint64_t>& notBelow = scratch.notBelow; // bit k: keys[lo + k] >= pivot
    std::vector<uint64_t>& notAbove = scratch.notAbove; // bit k: keys[lo + k] <= pivot
    notBelow.resize(static_cast<size_t>(words));
    notAbove.resize(static_cast<size_t>(words));
    pivotMasks.Current()(keys + lo, count, pivot, notBelow.data(), notAbove.data());
    // The first set bit of notBelow after position `after`, or count when there is none.
    auto nextNotBelow = [&](int32_t after) {
        int32_t k = after + 1;
        if (k >= count)
            return count;
        int32_t w = k >> 6;
        uint64_t bits = notBelow[w] & (~uint64_t{0} << (k & 63));
        while (bits == 0) {
            if (++w == words)
                return count;
            bits = notBelow[w];
        }
        return w * 64 + __builtin_ctzll(bits);
    };
    // The last set bit of notAbove before position `before`, or -1 when there is none.
    auto previousNotAbove = [&](int32_t before) {
        int32_t k = before - 1;
        if (k < 0)
            return -1;
        int32_t w = k >> 6;
        uint64_t bits = notAbove[w] & (~uint64_t{0} >> (63 - (k & 63)));
        while (bits == 0) {
            if (--w < 0)
                return -1;
            bits = notAbove[w];
        }
        return w * 64 + 63 - __builtin_clzll(bits);
    };
    // Positions relative to lo. After an exchange at (l, r), the scans go on from l + 1 and
    // r - 1 and stop at r and l at the latest.
    int32_t l = nextNotBelow(-1);
    int32_t r = previousNotAbove(count);
    for (;;) {
        if (l > r)
            break;
        std::swap(keys[lo + l], keys[lo + r]);
        std::swap(indices[lo + l], indices[lo + r]);
        if (l + 1 > r - 1) {
            l += 1;
            r -= 1;
            break;
        }
        const int32_t nextL = nextNotBelow(l);
        const int32_t nextR = previousNotAbove(r);
        const int32_t lastL = l, lastR = r;
        l = nextL < lastR ? nextL : lastR;
        r = nextR > lastL ? nextR : lastL;
    }
    *iOut = lo + l;
    *jOut = lo + r;
}

// SortByDepth(lo, hi) on arrays whose sorted order is known. A range in which no key is tied
// with another anywhere in the arrays holds exactly the entries that end at its positions, and
// their order is that of the keys alone: it is copied from the sorted order. Ranges that hold
// a tied key go through the quicksort's own partition steps, which decide where equal keys end.
// (The mesh of the show has equal keys in nearly every frame, about five pairs among its 5,816
// faces, so this is the usual path. Measured over the object scene's 1,500 frames on a busy
// machine, sampled side by side: the whole fast sort takes a quarter of the quicksort's time,
// 23% of it in these partition steps; with scanning partitions instead of the masks, 30%.)
void SortKnowingOrder(float* keys, int32_t* indices, int32_t lo, int32_t hi) {
    while (lo < hi) {
        if (scratch.tiedBefore[hi + 1] == scratch.tiedBefore[lo]) {
            std::memcpy(keys + lo, scratch.sortedKeys.data() + lo, (hi - lo + 1) * sizeof(float));
            std::memcpy(indices + lo, scratch.sortedIndices.data() + lo,
                        (hi - lo + 1) * sizeof(int32_t));
            return;
        }
        int32_t i, j;
        PartitionByMasks(keys, indices, lo, hi, &i, &j);
        SortKnowingOrder(keys, indices, lo, j);
        lo = i;
    }
}

} // namespace

void SetDepthSortArrays(float* keys, int32_t* indices) {
    sortKeys = keys;
    sortIndices = indices;
}

void SortByDepth(int32_t lo, int32_t hi) {
    float* keys = sortKeys;
    int32_t* indices = sortIndices;
    while (lo < hi) {
        int32_t i, j;
        Partition(keys, indices, lo, hi, &i, &j);
        SortByDepth(lo, j);
        lo = i;
    }
}

void SortByDepthFast(float* keys, int32_t* indices, int32_t count) {
    if (count < 2)
        return;
    const size_t n = static_cast<size_t>(count);
    Scratch& s = scratch;
    s.items.resize(n);
    s.other.resize(n);
    for (size_t p = 0; p < n; ++p) {
        if (std::isnan(keys[p])) { // no order to know: the quicksort alone
            SetDepthSortArrays(keys, indices);
            SortByDepth(0, count - 1);
            return;
        }
        s.items[p] = static_cast<uint64_t>(OrderBits(keys[p])) << 32 | p;
    }
    RadixSort(s.items, s.other);

    s.indices.assign(indices, indices + n);
    s.sortedKeys.resize(n);
    s.sortedIndices.resize(n);
    for (size_t p = 0; p < n; ++p) {
        s.sortedKeys[p] = FromOrderBits(static_cast<uint32_t>(s.items[p] >> 32));
        s.sortedIndices[p] = s.indices[static_cast<uint32_t>(s.items[p])];
    }
    // How many entries before each sorted position have a key equal to a neighbour's.
    s.tiedBefore.resize(n + 1);
    s.tiedBefore[0] = 0;
    for (size_t p = 0; p < n; ++p) {
        const bool equalsPrevious = p > 0 && s.sortedKeys[p] == s.sortedKeys[p - 1];
        const bool equalsNext = p + 1 < n && s.sortedKeys[p] == s.sortedKeys[p + 1];
        s.tiedBefore[p + 1] = s.tiedBefore[p] + (equalsPrevious || equalsNext);
    }
    if (s.tiedBefore[n] == 0) { // every key differs: the one sorted order is the quicksort's too
        std::memcpy(keys, s.sortedKeys.data(), n * sizeof(float));
        std::memcpy(indices, s.sortedIndices.data(), n * sizeof(int32_t));
        return;
    }
    if (s.tiedBefore[n] > static_cast<int32_t>(n / 16)) {
        // Equal keys all over (a mesh seen along a plane of symmetry pairs most faces): nearly
        // every range would go through the partition steps, which the quicksort alone does
        // faster. (A torus seen along its plane of symmetry: the quicksort 50 us, the mixed way
        // 162 us.)
        SetDepthSortArrays(keys, indices);
        SortByDepth(0, count - 1);
        return;
    }
    SortKnowingOrder(keys, indices, 0, count - 1);
}

void Objet3d::SortFaces() {
    SortByDepthFast(depthKeys.get(), drawOrder.get(), faceCount);
}
