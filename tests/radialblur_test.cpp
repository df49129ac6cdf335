// RadialBlur: the rays and the interior on frames whose results are known, the frame's edges
// and corners, and agreement with the plain version on random frames and centres.
#include "fx/radialblur.h"

#include "fx_reference.h"
#include "vector_levels.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

namespace {

constexpr int kGuard = 1024;

struct GuardedFrame {
    std::vector<uint32_t> words;
    explicit GuardedFrame(uint32_t fill = 0) : words(kFramePixels + 2 * kGuard, 0xDEADBEEF) {
        std::fill(Pixels(), Pixels() + kFramePixels, fill);
    }
    uint32_t* Pixels() { return words.data() + kGuard; }
    uint32_t& At(int x, int y) { return Pixels()[y * kFrameWidth + x]; }
    bool GuardsIntact() const {
        for (int i = 0; i < kGuard; ++i)
            if (words[i] != 0xDEADBEEF || words[kGuard + kFramePixels + i] != 0xDEADBEEF)
                return false;
        return true;
    }
};

uint32_t Grey(uint32_t level) {
    return level << 16 | level << 8 | level;
}

std::vector<uint32_t> RandomFrame(std::mt19937* random, uint32_t mask) {
    std::vector<uint32_t> frame(kFramePixels);
    for (uint32_t& word : frame)
        word = (*random)() & mask;
    return frame;
}

} // namespace

TEST(RadialBlur, WeightIsTheExactQuotientForEveryPair) {
    for (int32_t major = 2; major <= 511; ++major)
        for (int32_t minor = 1; minor < major; ++minor)
            ASSERT_EQ(65536 * minor / major, RadialBlurWeight(minor, major))
                << minor << "/" << major;
}

TEST(RadialBlur, BlackStaysBlack) {
    GuardedFrame frame;
    RadialBlur(frame.Pixels(), 200, 100);
    for (int i = 0; i < kFramePixels; ++i)
        ASSERT_EQ(0u, frame.Pixels()[i]);
}

TEST(RadialBlur, WhiteCentreFallsOffOneLevelPerStepAlongTheRays) {
    const int cx = 256, cy = 128;
    GuardedFrame frame;
    frame.At(cx, cy) = 0x00FFFFFF;
    RadialBlur(frame.Pixels(), cx, cy);
    EXPECT_EQ(0x00FFFFFFu, frame.At(cx, cy)); // the centre itself is never changed
    const int rays[8][2] = {{1, 1}, {1, -1}, {0, -1}, {-1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {0, 1}};
    for (const auto& ray : rays)
        for (int k = 1; k <= 127; ++k)
            ASSERT_EQ(Grey(255 - k), frame.At(cx + k * ray[0], cy + k * ray[1]))
                << ray[0] << "," << ray[1] << " step " << k;
    for (int k = 128; k <= 255; ++k) // only the horizontal rays reach step 255
        ASSERT_EQ(Grey(255 - k), frame.At(cx - k, cy)) << k;
    EXPECT_EQ(0u, frame.At(cx + 255, cy));
    EXPECT_EQ(0u, frame.At(511, cy));
    EXPECT_EQ(Grey(254), frame.At(cx + 2, cy + 1)); // 127 + 127 from its two neighbours
    EXPECT_EQ(Grey(254), frame.At(cx - 1, cy - 2));
}

TEST(RadialBlur, PixelBesideABlackCentreFades) {
    const int cx = 100, cy = 60;
    GuardedFrame frame;
    frame.At(cx + 1, cy) = 0x00FFFFFF;
    RadialBlur(frame.Pixels(), cx, cy);
    EXPECT_EQ(Grey(5), frame.At(cx + 1, cy)); // 0 from the centre + 23 * 255 / 1000
    for (int k = 2; k <= 6; ++k)
        EXPECT_EQ(Grey(6 - k), frame.At(cx + k, cy)) << k;
}

TEST(RadialBlur, RaysKeepGreyLevelsFrom44To86) {
    for (uint32_t g : {43u, 44u, 60u, 86u, 87u}) {
        SCOPED_TRACE(g);
        GuardedFrame frame(Grey(g));
        RadialBlur(frame.Pixels(), 300, 90);
        uint32_t oneStep = g < 44 ? g - 1 : g > 86 ? g + 1 : g;
        uint32_t tenSteps = g < 44 ? g - 10 : g > 86 ? g + 10 : g;
        EXPECT_EQ(Grey(oneStep), frame.At(301, 90));
        EXPECT_EQ(Grey(tenSteps), frame.At(310, 90));
        EXPECT_EQ(Grey(tenSteps), frame.At(290, 80));
        EXPECT_EQ(Grey(tenSteps), frame.At(300, 100));
    }
}

TEST(RadialBlur, CentresAtTheCornersAndEdgesStayInsideTheFrame) {
    ForEachVectorLevel([](VectorLevel) {
        std::mt19937 random(7);
        // Corners, edges, and centres whose quadrants leave 1 to 17 rows or columns (partial
        // blocks of eight and sixteen).
        const int centres[][2] = {{0, 0},     {511, 0},   {0, 255}, {511, 255}, {0, 128},
                                  {511, 7},   {256, 0},   {3, 255}, {255, 128}, {502, 246},
                                  {9, 9},     {1, 254},   {510, 1}, {8, 200},   {300, 247},
                                  {504, 100}, {100, 250}, {7, 7},   {20, 240},  {495, 17},
                                  {16, 16},   {240, 239}};
        for (const auto& centre : centres) {
            SCOPED_TRACE(testing::Message() << centre[0] << "," << centre[1]);
            std::vector<uint32_t> picture = RandomFrame(&random, 0x00FFFFFF);
            GuardedFrame fast;
            std::copy(picture.begin(), picture.end(), fast.Pixels());
            RadialBlur(fast.Pixels(), centre[0], centre[1]);
            ReferenceRadialBlur(picture.data(), centre[0], centre[1]);
            EXPECT_TRUE(fast.GuardsIntact());
            ASSERT_TRUE(std::equal(picture.begin(), picture.end(), fast.Pixels()));
        }
    });
    // At (0, 0) the top and left rays lead out at once: row 0 is the right ray alone.
    GuardedFrame frame(Grey(200));
    RadialBlur(frame.Pixels(), 0, 0);
    EXPECT_EQ(Grey(200 - 1 + 4), frame.At(1, 0));
    EXPECT_EQ(Grey(200 + 3 * 2), frame.At(2, 0));
}

TEST(RadialBlur, CentreOutsideTheFrameIsClampedIntoIt) {
    std::mt19937 random(8);
    std::vector<uint32_t> picture = RandomFrame(&random, 0x00FFFFFF);
    const int centres[][4] = {
        {-5, 300, 0, 255}, {600, -1, 511, 0}, {INT_MIN, INT_MAX, 0, 255}, {512, 256, 511, 255}};
    for (const auto& c : centres) {
        GuardedFrame outside, clamped;
        std::copy(picture.begin(), picture.end(), outside.Pixels());
        std::copy(picture.begin(), picture.end(), clamped.Pixels());
        RadialBlur(outside.Pixels(), c[0], c[1]);
        RadialBlur(clamped.Pixels(), c[2], c[3]);
        EXPECT_TRUE(outside.GuardsIntact());
        EXPECT_EQ(clamped.words, outside.words) << c[0] << "," << c[1];
    }
}

TEST(RadialBlur, MatchesThePlainVersionOnRandomFramesAndCentres) {
    ForEachVectorLevel([](VectorLevel) {
        std::mt19937 random(2024);
        for (int trial = 0; trial < 40; ++trial) {
            // Full-range noise, then dim noise, then noise with top bytes set (cleared by the
            // blur).
            uint32_t mask = trial % 3 == 0 ? 0x00FFFFFF : trial % 3 == 1 ? 0x001F3F7F : 0xFFFFFFFF;
            std::vector<uint32_t> plain = RandomFrame(&random, mask);
            std::vector<uint32_t> fast = plain;
            int cx = random() % 512, cy = random() % 256;
            RadialBlur(fast.data(), cx, cy);
            ReferenceRadialBlur(plain.data(), cx, cy);
            ASSERT_EQ(plain, fast) << "centre " << cx << "," << cy;
        }
    });
}
