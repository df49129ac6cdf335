// BlitAdditive: per-channel saturation, clipping at every edge, and agreement with the plain
// version on random sprites and positions.
#include "fx/blit.h"

#include "fx_reference.h"
#include "vector_levels.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

namespace {

constexpr int kGuard = 64; // words of guard before and after the frame

// A frame with guard words on both sides, to catch writes outside it.
struct GuardedFrame {
    std::vector<uint32_t> words = std::vector<uint32_t>(kFramePixels + 2 * kGuard, 0xDEADBEEF);
    GuardedFrame() { std::fill(Pixels(), Pixels() + kFramePixels, 0u); }
    uint32_t* Pixels() { return words.data() + kGuard; }
    uint32_t At(int x, int y) { return Pixels()[y * kFrameWidth + x]; }
    bool GuardsIntact() const {
        for (int i = 0; i < kGuard; ++i)
            if (words[i] != 0xDEADBEEF || words[kGuard + kFramePixels + i] != 0xDEADBEEF)
                return false;
        return true;
    }
};

// A sprite whose every pixel names its own position: red = column + 1, green = row + 1.
std::vector<uint32_t> NamedSprite(int width, int height) {
    std::vector<uint32_t> sprite(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            sprite[y * width + x] =
                static_cast<uint32_t>(((x + 1) & 0xFF) << 16 | ((y + 1) & 0xFF) << 8 | 0x01);
    return sprite;
}

} // namespace

TEST(BlitAdditive, ChannelsSaturateSeparately) {
    GuardedFrame frame;
    uint32_t* f = frame.Pixels();
    f[0] = 0x00908070;
    f[1] = 0x00123456;
    f[2] = 0xFF123456; // a top byte in the frame is cleared
    f[3] = 0x00000000;
    const uint32_t sprite[4] = {0x00808080, 0x00FFFFFF, 0x00000000, 0xAB000001};
    BlitAdditive(sprite, 4, 1, f, 0, 0);
    EXPECT_EQ(0x00FFFFF0u, f[0]);
    EXPECT_EQ(0x00FFFFFFu, f[1]);
    EXPECT_EQ(0x00123456u, f[2]);
    EXPECT_EQ(0x00000001u, f[3]); // the source's top byte adds nothing
}

TEST(BlitAdditive, ClipsAtEveryEdgeAndDrawsOnlyTheVisiblePart) {
    struct Case {
        int width, height, x, y;
    };
    const Case cases[] = {
        {32, 32, 100, 50},         {32, 32, -32, 10},    {32, 32, -31, 10},
        {32, 32, 511, 10},         {32, 32, 512, 10},    {32, 32, 10, 255},
        {32, 32, 10, 256},         {32, 32, 10, -32},    {32, 32, 10, -31},
        {600, 300, -10, -10},      {512, 256, 0, 0},     {7, 3, 509, 254},
        {1, 1, 511, 255},          {600, 300, -88, 0},   {5, 5, -4, -4},
        {32, 32, INT_MIN, 0},      {32, 32, 0, INT_MAX}, {32, 32, INT_MAX, INT_MIN},
        {INT_MAX / 256, 2, -5, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.width << "x" << c.height << " at " << c.x << "," << c.y);
        int width = c.width > 600 ? 600 : c.width; // only the rows and columns that can show
        std::vector<uint32_t> sprite = NamedSprite(c.width == width ? width : c.width, c.height);
        GuardedFrame frame;
        BlitAdditive(sprite.data(), c.width, c.height, frame.Pixels(), c.x, c.y);
        ASSERT_TRUE(frame.GuardsIntact());
        for (int y = 0; y < kFrameHeight; ++y)
            for (int x = 0; x < kFrameWidth; ++x) {
                int64_t sx = static_cast<int64_t>(x) - c.x, sy = static_cast<int64_t>(y) - c.y;
                bool inside = sx >= 0 && sx < c.width && sy >= 0 && sy < c.height;
                uint32_t expected = inside ? sprite[sy * c.width + sx] : 0;
                ASSERT_EQ(expected, frame.At(x, y)) << "at " << x << "," << y;
            }
    }
}

TEST(BlitAdditive, NothingIsDrawnForSizesOfZeroOrBelow) {
    const uint32_t sprite[4] = {0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF};
    GuardedFrame frame;
    for (int width : {0, -1, -4, INT_MIN})
        for (int height : {2, 0, -2})
            for (int x : {0, 3, 510}) {
                BlitAdditive(sprite, width, height, frame.Pixels(), x, 0);
                BlitAdditive(sprite, height, width, frame.Pixels(), x, 0);
            }
    for (int i = 0; i < kFramePixels; ++i)
        ASSERT_EQ(0u, frame.Pixels()[i]);
    EXPECT_TRUE(frame.GuardsIntact());
}

TEST(BlitAdditive, MatchesThePlainVersionOnRandomSpritesAndPositions) {
    ForEachVectorLevel([](VectorLevel) {
        std::mt19937 random(1234);
        std::vector<uint32_t> fast(kFramePixels), plain(kFramePixels);
        for (uint32_t& word : fast)
            word = random() & 0x00FFFFFF;
        plain = fast;
        for (int trial = 0; trial < 300; ++trial) {
            int width = 1 + random() % 600, height = 1 + random() % 300;
            int x = static_cast<int>(random() % 1400) - 700;
            int y = static_cast<int>(random() % 700) - 350;
            std::vector<uint32_t> sprite(static_cast<size_t>(width) * height);
            for (uint32_t& word : sprite)
                word = random() & (trial % 2 ? 0xFFFFFFFF : 0x003F3F3F); // bright, or dim
            BlitAdditive(sprite.data(), width, height, fast.data(), x, y);
            ReferenceBlitAdditive(sprite.data(), width, height, plain.data(), x, y);
            ASSERT_EQ(plain, fast) << "trial " << trial;
        }
    });
}
