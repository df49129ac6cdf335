#include "vector_levels.h"

#include <gtest/gtest.h>

void ForEachVectorLevel(const std::function<void(VectorLevel)>& check) {
    for (int i = 0; i <= static_cast<int>(ProcessorVectorLevel()); ++i) {
        const VectorLevel level = static_cast<VectorLevel>(i);
        ScopedVectorLevel use(level);
        SCOPED_TRACE(std::string("vector level ") + VectorLevelName(level));
        check(level);
    }
}
