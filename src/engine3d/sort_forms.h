// The depth sort's forms of one step of its partition: marking, for `count` keys, which are not
// below the pivot (notBelow) and which are not above it (notAbove), one bit per key, key k in
// bit k % 64 of word k / 64. A key that is not a number is neither. The plain form is in
// sort.cpp, the SSE2 one in sort_sse2.cpp; both give the same bits.
#pragma once

#include <cstdint>

using PivotMasksFunction = void (*)(const float* keys, int32_t count, float pivot,
                                    uint64_t* notBelow, uint64_t* notAbove);

void PivotMasksSse2(const float* keys, int32_t count, float pivot, uint64_t* notBelow,
                    uint64_t* notAbove);
