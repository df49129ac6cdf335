// Runs a check at every vector level this processor has.
#pragma once

#include "base/cpu.h"

#include <functional>

// Calls `check` once per level from plain C++ up to the processor's best, with that level in
// use and a trace naming it; the level in use before is put back afterwards, even when an
// assertion ends the check early.
void ForEachVectorLevel(const std::function<void(VectorLevel)>& check);
