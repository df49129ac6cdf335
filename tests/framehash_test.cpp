// The hash that states every frame and the music of the show: XXH64, checked against values
// that the xxHash project's own tool (xxhsum -H1) gives for the same bytes.
#include "base/framehash.h"
#include "base/framebuffer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint8_t> Pattern(size_t count) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    return bytes;
}

TEST(Xxh64, MatchesTheReferenceAtEveryTailLengthAndInAnyPieces) {
    const std::pair<size_t, uint64_t> kCases[] = {
        {0, 0xef46db3751d8e999},  {1, 0x1f25c8d0bc1f4bb6},   {3, 0x31d2363f52e564c9},
        {4, 0x9bb64b7d66ee9fda},  {7, 0x9a7b149959ce60d8},   {8, 0xdab99d95c6f90092},
        {13, 0xf78b031308f5bfc8}, {31, 0xa2aa5f33cc4a6119},  {32, 0x23c3c17ef790fd97},
        {33, 0x50a7cfc7ba588784}, {100, 0xa61f8d4c170fe531}, {1000, 0x5f235fa033f1a3fb},
    };
    for (const auto& [count, expected] : kCases) {
        SCOPED_TRACE(count);
        const std::vector<uint8_t> bytes = Pattern(count);
        Xxh64 whole;
        whole.Update(bytes.data(), count);
        EXPECT_EQ(whole.Digest(), expected);
        // Pieces of 1, 2, ..., 11 bytes cross every stripe boundary at some offset.
        Xxh64 pieces;
        for (size_t at = 0, piece = 1; at < count; at += piece, piece = piece % 11 + 1)
            pieces.Update(bytes.data() + at, std::min(piece, count - at));
        EXPECT_EQ(pieces.Digest(), expected);
    }
}

TEST(Xxh64, SamplesAreLittleEndianAndPixelsBlueGreenRed) {
    const int16_t samples[] = {0x0203, -2, 0x7FFF};
    const uint8_t sampleBytes[] = {0x03, 0x02, 0xFE, 0xFF, 0xFF, 0x7F};
    Xxh64 fromSamples, fromBytes;
    fromSamples.UpdateSamples(samples, 3);
    fromBytes.Update(sampleBytes, sizeof(sampleBytes));
    EXPECT_EQ(fromSamples.Digest(), fromBytes.Digest());

    // 37 pixels: one run of 32 through the fast path, the rest byte by byte; bits 24-31 ignored.
    std::vector<uint32_t> pixels(37);
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = 0xAB000000u | static_cast<uint32_t>(i * 0x010307u + 0x102030u);
        for (int shift : {0, 8, 16})
            bytes.push_back(static_cast<uint8_t>(pixels[i] >> shift));
    }
    for (size_t split : {size_t(0), size_t(1), size_t(5)}) {
        Xxh64 fromPixels, packed;
        fromPixels.Update(bytes.data(), split * 3); // leaves the fast path misaligned or not
        fromPixels.UpdatePixels(pixels.data() + split, pixels.size() - split);
        packed.Update(bytes.data(), bytes.size());
        EXPECT_EQ(fromPixels.Digest(), packed.Digest()) << split;
    }
}

TEST(HashFrame, IsTheHashOfTheFramesBlueGreenRedBytesTopRowFirst) {
    // The frame sits inside a wider picture, as on the display; xxhsum -H1 of its 393,216
    // blue, green, red bytes gives the expected value.
    const int pitchWords = kFrameWidth + 3;
    std::vector<uint32_t> picture(static_cast<size_t>(pitchWords) * kFrameHeight, 0xFFFFFFFF);
    for (int y = 0; y < kFrameHeight; ++y)
        for (int x = 0; x < kFrameWidth; ++x)
            picture[y * pitchWords + x] = 0x5A000000u | ((x * 13 + y * 7) & 0xFF) << 16 |
                                          ((x ^ y) & 0xFF) << 8 | ((x + 3 * y) & 0xFF);
    EXPECT_EQ(HashFrame(reinterpret_cast<const uint8_t*>(picture.data()), pitchWords * 4),
              0x1deba38b306cf820u);
}

} // namespace
