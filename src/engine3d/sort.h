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
