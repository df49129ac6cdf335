// The vector level and the tables of forms that follow it.
#include "base/vector_forms.h"

#include <gtest/gtest.h>

namespace {

int Plain() { return 0; }
int Sse2() { return 1; }
int Avx512() { return 3; }

TEST(VectorForms, EachLevelRunsItsOwnFormOrTheBestOneBelowIt) {
    constexpr VectorForms<int (*)()> forms{Plain, Sse2, nullptr, Avx512};
    const int expected[kVectorLevelCount] = {0, 1, 1, 3};
    for (int i = 0; i <= static_cast<int>(ProcessorVectorLevel()); ++i) {
        ScopedVectorLevel use(static_cast<VectorLevel>(i));
        EXPECT_EQ(forms.Current()(), expected[i]) << VectorLevelName(static_cast<VectorLevel>(i));
    }
}

TEST(VectorLevel, IsNeverAboveTheProcessorsAndComesBackAfterAScope) {
    const VectorLevel before = CurrentVectorLevel();
    {
        ScopedVectorLevel use(VectorLevel::kAvx512);
        EXPECT_EQ(CurrentVectorLevel(), ProcessorVectorLevel());
        ScopedVectorLevel plain(VectorLevel::kPlain);
        EXPECT_EQ(CurrentVectorLevel(), VectorLevel::kPlain);
    }
    EXPECT_EQ(CurrentVectorLevel(), before);

    for (int i = 0; i < kVectorLevelCount; ++i) {
        VectorLevel parsed;
        ASSERT_TRUE(ParseVectorLevel(VectorLevelName(static_cast<VectorLevel>(i)), &parsed));
        EXPECT_EQ(parsed, static_cast<VectorLevel>(i));
    }
    VectorLevel untouched = VectorLevel::kSse2;
    EXPECT_FALSE(ParseVectorLevel("avx", &untouched));
    EXPECT_EQ(untouched, VectorLevel::kSse2);
}

} // namespace
