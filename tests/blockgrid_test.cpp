// The block mapper: texture repeat, the rounding of steps, light, the masked mapper's skipped
// blocks, and agreement with the plain version on random grids.
#include "fx/blockgrid.h"

#include "fx_reference.h"
#include "vector_levels.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

namespace {

// Texel (x, y) = blue x, green y, red x ^ y; the top byte set, which must never show.
std::vector<uint32_t> PatternTexture() {
    std::vector<uint32_t> texture(256 * 256);
    for (uint32_t y = 0; y < 256; ++y)
        for (uint32_t x = 0; x < 256; ++x)
            texture[y * 256 + x] = 0x7F000000 | (x ^ y) << 16 | y << 8 | x;
    return texture;
}

uint32_t Texel(const std::vector<uint32_t>& texture, int x, int y) {
    return texture[(y & 255) * 256 + (x & 255)] & 0x00FFFFFF;
}

void FillGrid(int32_t u, int32_t v, int32_t light) {
    for (int p = 0; p < kGridPoints; ++p) {
        blockGrid.u[p] = u;
        blockGrid.v[p] = v;
        blockGrid.light[p] = light;
    }
}

// u grows by one texel per pixel across, v by one per pixel down.
void FillIdentityGrid(int32_t light) {
    for (int c = 0; c < kGridColumns; ++c)
        for (int r = 0; r < kGridRows; ++r) {
            blockGrid.u[GridIndex(c, r)] = c * 8 * 65536;
            blockGrid.v[GridIndex(c, r)] = r * 8 * 65536;
            blockGrid.light[GridIndex(c, r)] = light;
        }
}

} // namespace

TEST(BlockGrid, StartsAtZeroAndIsStoredColumnByColumn) {
    for (int p = 0; p < kGridPoints; ++p)
        ASSERT_EQ(0, blockGrid.u[p] | blockGrid.v[p] | blockGrid.light[p]);
    EXPECT_EQ(2145, kGridPoints);
    EXPECT_EQ(33, GridIndex(1, 0));
    EXPECT_EQ(64 * 33 + 32, GridIndex(64, 32));
}

TEST(BlockGrid, IdentityGridReproducesTheTextureRepeatedAcross) {
    std::vector<uint32_t> texture = PatternTexture(), frame(kFramePixels, 0xABABABAB);
    FillIdentityGrid(0);
    MapGrid(texture.data(), frame.data());
    for (int y = 0; y < kFrameHeight; ++y)
        for (int x = 0; x < kFrameWidth; ++x)
            ASSERT_EQ(Texel(texture, x, y), frame[y * kFrameWidth + x]) << x << "," << y;
}

TEST(BlockGrid, CoordinatesWrapEvery256Texels) {
    std::vector<uint32_t> texture = PatternTexture(), frame(kFramePixels);
    const int32_t cases[][3] = {// u, v, expected column and row packed as x | y << 8
                                {-65536, 0, 255},
                                {256 * 65536, 3 * 65536, 0 | 3 << 8},
                                {-1, -1, 255 | 255 << 8},
                                {INT_MIN, INT_MAX, 0 | 255 << 8}};
    for (const auto& c : cases) {
        FillGrid(c[0], c[1], 0);
        MapGrid(texture.data(), frame.data());
        uint32_t expected = Texel(texture, c[2] & 255, c[2] >> 8);
        for (int i = 0; i < kFramePixels; ++i)
            ASSERT_EQ(expected, frame[i]) << c[0] << "," << c[1] << " pixel " << i;
    }
}

TEST(BlockGrid, StepsRoundTowardMinusInfinity) {
    std::vector<uint32_t> texture = PatternTexture(), frame(kFramePixels);
    FillGrid(0, 0, 0);
    // Block (0, 0): top edge u from 0 to 7 gives step 0; left edge v from 0 to -7 gives -1.
    blockGrid.u[GridIndex(1, 0)] = 7;
    blockGrid.v[GridIndex(0, 1)] = -7;
    blockGrid.v[GridIndex(1, 1)] = -7;
    MapBlock(texture.data(), frame.data(), 0, 0);
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(Texel(texture, 0, 0), frame[x]) << x;                // u stays 0 along the row
        EXPECT_EQ(Texel(texture, 0, 255), frame[3 * kFrameWidth + x]); // v = -3: row 255
    }
    // Block (4, 0): top edge u from 0 to -7: pixels use u = 0, -1, ..., -7.
    blockGrid.u[GridIndex(5, 0)] = -7;
    MapBlock(texture.data(), frame.data() + 32, 4, 0);
    EXPECT_EQ(Texel(texture, 0, 0), frame[32]);
    for (int x = 1; x < 8; ++x)
        EXPECT_EQ(Texel(texture, 255, 0), frame[32 + x]) << x;
    // The right-hand corner value itself belongs to the next block: u from 0 to 8 texels
    // reaches 7 texels at the last pixel.
    blockGrid.u[GridIndex(9, 0)] = 8 * 65536;
    MapBlock(texture.data(), frame.data() + 64, 8, 0);
    EXPECT_EQ(Texel(texture, 7, 0), frame[64 + 7]);
}

TEST(BlockGrid, LightAddsGreyWithSaturation) {
    std::vector<uint32_t> texture = PatternTexture(), frame(kFramePixels);
    FillIdentityGrid(65280); // L = 255
    MapGrid(texture.data(), frame.data());
    for (int i = 0; i < kFramePixels; ++i)
        ASSERT_EQ(0x00FFFFFFu, frame[i]);

    FillIdentityGrid(16 << 8); // L = 16
    MapGrid(texture.data(), frame.data());
    uint32_t t = Texel(texture, 250, 3); // blue 250, green 3, red 249
    uint32_t expected = 0xFF0000 | (3 + 16) << 8 | 0xFF;
    EXPECT_EQ(0xF903FAu, t);
    EXPECT_EQ(expected, frame[3 * kFrameWidth + 250]);

    // A negative level turns blue to 255 and adds its low byte to red and green; a level
    // above 255 does the same.
    for (int32_t light : {-256, 256 * 256 + 2 * 256}) {
        FillIdentityGrid(light);
        MapGrid(texture.data(), frame.data());
        uint32_t low = static_cast<uint32_t>(light >> 8) & 255;
        uint32_t red = std::min(((1 ^ 2) & 255) + low, 255u), green = std::min(2 + low, 255u);
        EXPECT_EQ(red << 16 | green << 8 | 0xFF, frame[2 * kFrameWidth + 1]) << light;
    }
}

TEST(BlockGrid, LightJustBelowZeroBetweenCornersTurnsBlueFull) {
    // Light 5 at the top-left corner and 0 below it: the left edge steps by (0 - 5) >> 3 = -1,
    // so rows 6 and 7 start below zero, at level -1, which saturates every channel.
    std::vector<uint32_t> texture = PatternTexture(), frame(kFramePixels);
    FillIdentityGrid(0);
    blockGrid.light[GridIndex(2, 2)] = 5;
    MapGrid(texture.data(), frame.data());
    EXPECT_EQ(Texel(texture, 16, 16 + 5), frame[(16 + 5) * kFrameWidth + 16]); // light 0
    EXPECT_EQ(0x00FFFFFFu, frame[(16 + 6) * kFrameWidth + 16]);
    EXPECT_EQ(0x00FFFFFFu, frame[(16 + 7) * kFrameWidth + 16]);
}

TEST(BlockGrid, MaskedMapperSkipsEmptyBlocksAndNeverDrawsTheFirstRowAndColumn) {
    std::vector<uint32_t> texture = PatternTexture();
    std::vector<uint32_t> frame(kFramePixels, 0x00123456);
    FillIdentityGrid(0);
    blockGrid.light[GridIndex(10, 5)] = kEmptyLight;      // corner of blocks (9..10, 4..5)
    blockGrid.light[GridIndex(30, 20)] = kEmptyLight + 1; // not the marker: drawn
    MapGridMasked(texture.data(), frame.data());
    for (int y = 0; y < kFrameHeight; ++y)
        for (int x = 0; x < kFrameWidth; ++x) {
            int j = x / 8, i = y / 8;
            bool skipped = j == 0 || i == 0 || ((j == 9 || j == 10) && (i == 4 || i == 5));
            uint32_t expected = skipped ? 0x00123456 : frame[y * kFrameWidth + x];
            if (!skipped && (j != 29 && j != 30))
                expected = Texel(texture, x, y);
            ASSERT_EQ(expected, frame[y * kFrameWidth + x]) << x << "," << y;
        }
}

TEST(BlockGrid, MatchesThePlainVersionOnRandomGrids) {
    ForEachVectorLevel([](VectorLevel) {
        std::mt19937 random(99);
        std::vector<uint32_t> texture(256 * 256);
        for (uint32_t& word : texture)
            word = random();
        for (int trial = 0; trial < 40; ++trial) {
            // Smooth grids of the scenes' kind, then wild ones over the whole 32-bit range.
            bool wild = trial % 2 == 1;
            for (int p = 0; p < kGridPoints; ++p) {
                int32_t base = static_cast<int32_t>(p * 3000);
                int32_t u = base + random() % 400000, v = base / 2 + random() % 400000;
                int32_t light = random() % 65536;
                if (wild) {
                    u = static_cast<int32_t>(random());
                    v = static_cast<int32_t>(random());
                    light = static_cast<int32_t>(random());
                }
                blockGrid.u[p] = u;
                blockGrid.v[p] = v;
                blockGrid.light[p] = random() % 10 == 0 ? kEmptyLight : light;
            }
            std::vector<uint32_t> fast(kFramePixels), plain(kFramePixels);
            for (size_t i = 0; i < fast.size(); ++i)
                fast[i] = plain[i] = random();
            if (trial % 3 == 0) {
                MapGridMasked(texture.data(), fast.data());
                ReferenceMapGridMasked(blockGrid, texture.data(), plain.data());
            } else {
                MapGrid(texture.data(), fast.data());
                ReferenceMapGrid(blockGrid, texture.data(), plain.data());
            }
            for (int i = 0; i < kFramePixels; ++i)
                ASSERT_EQ(plain[i], fast[i]) << "trial " << trial << " pixel " << i;
        }
    });
}
