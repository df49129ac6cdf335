// Runs one scene alone on the headless back end, with its frames started at chosen scene-clock
// times, and keeps every frame it presents, so that a test can build the frame it expects from
// the scene's steps and compare every pixel.
#pragma once

#include "base/framebuffer.h"
#include "process_capture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

// Ticks per second of the headless clock (1/60 s per frame, a million ticks per frame).
constexpr int64_t kClockTicksPerSecond = 60000000;

// A scene-clock reading as the shell computes it from a whole number of ticks since the reset.
long double ClockReading(int64_t ticks);

struct PresentedFrame {
    int64_t startTicks;           // the frame's first clock reading, in ticks since the reset
    std::vector<uint32_t> pixels; // the 512 x 256 frame as it reached the display
};

// Starts the display and the scene clock, then runs `scene` in the working directory. The clock
// moves on `ticksPerReading` ticks at every reading, so that two readings in one frame differ:
// the second reading of a frame is startTicks + ticksPerReading. The clock is set so that the
// reading of frame k taken first is startSeconds[k] (rounded to whole ticks); a reading the scene
// takes on entry comes one step before the first frame's. After the last time the clock jumps
// far ahead, so the next frame (if any) is the scene's last. Returns every frame presented.
std::vector<PresentedFrame> RunSceneAt(void (*scene)(FrameBuffer),
                                       const std::vector<double>& startSeconds,
                                       int64_t ticksPerReading = 0);

// Fails the test, naming the first pixel that differs and how many do, unless the frames match.
void ExpectSameFrame(const std::vector<uint32_t>& expected, const PresentedFrame& presented);

// A fresh working directory holding the generated data tree: the scenes read the show's own
// files. Skips the test when the build has not generated them.
class ShowDataFolder : public testing::Test {
  protected:
    void SetUp() override;
    TempWorkingDirectory folder_;
};
