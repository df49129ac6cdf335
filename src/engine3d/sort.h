// Depth sort of the faces: a recursive quicksort of a key array that carries an index array
// along (each exchange of two keys exchanges the two indices at the same places).
#pragma once

#include <cstdint>

// Sets the arrays that SortByDepth works on. Both must hold at least hi + 1 entries for every
// later SortByDepth(lo, hi).
void SetDepthSortArrays(float* keys, int32_t* indices);

// Sorts entries lo ... hi (inclusive) of the key array into ascending order, moving the index
// array along. Not stable. A range with lo >= hi is left as it is. Keys that are not numbers
// have no defined place, but the sort never reads or writes outside lo ... hi and always ends.
// Not reentrant: it works on the arrays set last.
void SortByDepth(int32_t lo, int32_t hi);

// Sorts entries 0 ... count - 1 of `keys` and `indices` exactly as SetDepthSortArrays(keys,
// indices) and SortByDepth(0, count - 1) do, equal keys in the same places, with fewer steps:
// a radix sort finds the order of the keys; where no two keys are equal that order is the
// result, and only ranges that hold equal keys are partitioned as the quicksort does it. Keys
// that are not numbers, or equal keys in more than one entry in sixteen, leave it all to the
// quicksort (which then works on these arrays, as if set by SetDepthSortArrays). Keeps work
// arrays from call to call; not reentrant.
void SortByDepthFast(float* keys, int32_t* indices, int32_t count);
