#include "scene_frames.h"

#include "shell/clock.h"
#include "shell/display.h"

#include <cmath>
#include <ios>

namespace {

int64_t TicksOf(double seconds) {
    return std::llround(seconds * kClockTicksPerSecond);
}

// Reads the scene clock once (the clock then moves on by the reading step) and returns the
// reading in ticks since the reset.
int64_t ReadTicks() {
    return std::llround(SceneSeconds() * kClockTicksPerSecond);
}

} // namespace

long double ClockReading(int64_t ticks) {
    return static_cast<long double>(ticks) / static_cast<long double>(kClockTicksPerSecond);
}

std::vector<uint32_t> FrameOf(const headless::Picture& picture) {
    std::vector<uint32_t> pixels(kFramePixels);
    for (int y = 0; y < kFrameHeight; ++y)
        for (int x = 0; x < kFrameWidth; ++x)
            pixels[y * kFrameWidth + x] = picture.At(kFrameLeft + x, kFrameTop + y);
    return pixels;
}

std::vector<PresentedFrame> RunSceneAt(void (*scene)(FrameBuffer),
                                       const std::vector<double>& startSeconds,
                                       int64_t ticksPerReading) {
    headless::Config config;
    config.ticksPerReading = ticksPerReading;
    headless::Reset(config);
    StartHeadlessDisplay();

    // Moves the clock so that the next reading is `ticks`.
    auto setNextReading = [ticksPerReading](int64_t ticks) {
        const int64_t now = ReadTicks();
        headless::AdvanceClock(ticks - (now + ticksPerReading));
    };
    auto startTicks = [&](size_t frame) {
        return frame < startSeconds.size() ? TicksOf(startSeconds[frame]) : TicksOf(1e6);
    };

    std::vector<PresentedFrame> frames;
    headless::SetPresentHook([&](const headless::Picture& picture) {
        frames.push_back({startTicks(frames.size()), FrameOf(picture)});
        setNextReading(startTicks(frames.size()));
    });
    setNextReading(startTicks(0) - ticksPerReading); // the reading on entry, if the scene takes one
    const int exitCode = ExitCodeOf([&] { scene(theDemo->frameBuffer); });
    headless::SetPresentHook(nullptr);
    EXPECT_EQ(-1, exitCode) << "the scene ended the process";
    return frames;
}

void ExpectSameFrame(const std::vector<uint32_t>& expected, const PresentedFrame& presented) {
    ASSERT_EQ(expected.size(), presented.pixels.size());
    size_t differing = 0, first = 0;
    for (size_t p = expected.size(); p-- > 0;)
        if (expected[p] != presented.pixels[p]) {
            ++differing;
            first = p;
        }
    if (differing > 0)
        ADD_FAILURE() << differing << " pixels differ in the frame read at "
                      << static_cast<double>(ClockReading(presented.startTicks))
                      << " s; the first at (" << first % kFrameWidth << ", " << first / kFrameWidth
                      << "): expected 0x" << std::hex << expected[first] << ", presented 0x"
                      << presented.pixels[first];
}
