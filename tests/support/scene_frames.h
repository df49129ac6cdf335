// Scenes run alone on the headless back end, for the scene suites.
//
// SceneRun<scene> is the fixture of a run in a fresh, empty working folder where the test writes
// files of its own: the back end is reset and the display, the Demo and the scene clock are
// started, the clock at 0 and moving on one frame period at every present. SceneFrames<scene>
// is the same in a folder that holds the generated data tree, so that the scene reads the show's
// own files; it skips the test when the build has not generated them.
//
// A test runs the scene from a moment of its choice (RunFrom) and reads what it left in the
// frame buffer, or runs it with its frames started at chosen clock readings and every presented
// frame kept (RunAt), so that it can build each frame it expects from the scene's steps and
// compare every pixel (ExpectSameFrame).
#pragma once

#include "base/framebuffer.h"
#include "platform/headless/headless.h"
#include "process_capture.h"
#include "run_folder.h"
#include "shell/demo.h"

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

// The 512 x 256 frame of a presented picture, without the display's black border.
std::vector<uint32_t> FrameOf(const headless::Picture& picture);

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

template <void (*scene)(FrameBuffer)> class SceneRun : public testing::Test {
  protected:
    void SetUp() override {
        headless::Reset();
        StartHeadlessDisplay();
    }
    void TearDown() override { headless::SetPresentHook(nullptr); }

    // Moves the clock on by `seconds` and `extraTicks`, as if that much time had passed without
    // a frame, then runs the scene. Returns the exit code it ended the process with, or -1 when
    // it returned.
    int RunFrom(double seconds, int64_t extraTicks = 0) {
        MoveClockForward(seconds, extraTicks);
        return ExitCodeOf([] { scene(theDemo->frameBuffer); });
    }
    // RunSceneAt for this scene.
    std::vector<PresentedFrame> RunAt(const std::vector<double>& startSeconds,
                                      int64_t ticksPerReading = 0) {
        return RunSceneAt(scene, startSeconds, ticksPerReading);
    }
    // Pixel (x, y) of the frame buffer as the scene left it.
    static uint32_t FrameAt(int x, int y) { return theDemo->frameBuffer[y * kFrameWidth + x]; }

    TempWorkingDirectory folder_;
};

template <void (*scene)(FrameBuffer)> class SceneFrames : public SceneRun<scene> {
  protected:
    void SetUp() override {
        SceneRun<scene>::SetUp();
        PrepareRunFolder();
        if (!ShowDataGenerated())
            GTEST_SKIP() << "the generated data tree is not there";
    }
};
