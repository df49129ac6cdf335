// The whole show on the headless back end at 60 virtual frames per second, with the generated
// data: the six scenes in order, each ending in the frame its end rule gives, the exit right
// after 180 s, screenshots in a full run, and every picture as the show's manifest states it.
#include "base/framebuffer.h"
#include "base/framehash.h"
#include "platform/headless/headless.h"
#include "process_capture.h"
#include "render/manifest.h"
#include "run_folder.h"
#include "scene_frames.h"
#include "scenes/scenes.h"
#include "shell/clock.h"
#include "shell/demo.h"
#include "shell/display.h"
#include "test_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

uint64_t FrameHash(const headless::Picture& picture) {
    return HashFrame(picture.pixels + kFrameTop * picture.pitch + kFrameLeft * 4, picture.pitch);
}

struct Part {
    const char* name;
    void (*run)(uint32_t*);
    long firstFrame; // index of its first presented frame in the show (frame k shows at k / 60 s)
    long lastFrame;
};

// Frame k is drawn with the reading k / 60 s. A scene draws its last frame with the first reading
// at or past its end time; the next scene starts on the following frame. The end logo tests its
// reading after each present, so its last frame is the one whose present brings the clock to
// 180 s.
const Part kParts[] = {
    {"particles", RunParticleScene, 0, 2100},              // ends with the reading 35.0
    {"object", RunObjectScene, 2101, 3600},                // 60.0
    {"ball", RunBallScene, 3601, 4500},                    // 75.0
    {"rippled plane", RunRippledPlaneScene, 4501, 5400},   // 90.0
    {"planes", RunPlanesScene, 5401, 7320},                // 122.0
    {"rotozoom, end logo", RunRotozoomScene, 7321, 10799}, // 132.0, then 180.0 after a present
};

class WholeShow : public testing::Test {
  protected:
    void SetUp() override {
        headless::Reset();
        PrepareRunFolder();
        if (!ShowDataGenerated())
            GTEST_SKIP() << "the generated data tree is not there";
    }
    void TearDown() override { headless::SetPresentHook(nullptr); }

    // Runs `body` and returns the hash of every frame it presents.
    static std::vector<uint64_t> Hashes(const std::function<void()>& body) {
        std::vector<uint64_t> hashes;
        headless::SetPresentHook(
            [&](const headless::Picture& picture) { hashes.push_back(FrameHash(picture)); });
        body();
        headless::SetPresentHook(nullptr);
        return hashes;
    }

    TempWorkingDirectory folder;
};

TEST_F(WholeShow, PlaysTheSixScenesInOrderAndEndsRightAfter180Seconds) {
    ProgramResult result;
    std::vector<uint64_t> show = Hashes([&] { result = RunProgram(); });
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "");
    ASSERT_EQ(show.size(), 10800u);
    EXPECT_EQ(SceneSeconds(), 180.0L);
    // The normal end leaves the music playing and the window open for the process end to take.
    const std::vector<std::string> names = headless::CallNames();
    for (const char* call : {"MIDASstopModule", "MIDASfreeModule", "MIDASclose", "DestroyWindow"})
        EXPECT_EQ(std::count(names.begin(), names.end(), call), 0) << call;

    // Each scene played alone from the moment it starts in the show presents exactly the same
    // frames, no more and no fewer: the scenes come in order and each ends where it must.
    for (const Part& part : kParts) {
        SCOPED_TRACE(part.name);
        headless::Reset();
        StartHeadlessDisplay();
        headless::AdvanceClock(part.firstFrame * headless::kTicksPerFrame);
        std::vector<uint64_t> alone = Hashes([&] { part.run(theDemo->frameBuffer); });
        std::vector<uint64_t> inShow(show.begin() + part.firstFrame,
                                     show.begin() + part.lastFrame + 1);
        EXPECT_EQ(alone.size(), inShow.size());
        EXPECT_TRUE(alone == inShow);
    }

    // Every picture as the manifest states it (demo-render --check compares the music too).
    render::Manifest expected, presented;
    std::string error;
    ASSERT_TRUE(
        render::ReadManifest(DEMO_SOURCE_DIR "/tests/golden/show.frames", &expected, &error))
        << error;
    for (long frame = 0; frame < static_cast<long>(show.size()); frame++)
        presented.frames.push_back({frame, frame / 60.0, show[frame]});
    const render::ManifestComparison comparison =
        render::CompareManifests(expected, presented, 0.0, 1.0e9);
    EXPECT_TRUE(comparison.PicturesEqual())
        << render::DescribeComparison(comparison)
        << "After a deliberate change, look at the pictures (demo-render --frames) and run "
           "scripts/make-manifest.sh.";
}

TEST_F(WholeShow, ReturnThreeTimesSavesTheFramesShownAndANewRunOverwritesThem) {
    const long keyFrames[] = {100, 2500, 4000};
    for (long frame : keyFrames)
        headless::ScriptKey(frame, VK_RETURN);
    headless::ScriptKey(4001, VK_ESCAPE);
    std::vector<std::vector<uint32_t>> shown;
    headless::SetPresentHook([&](const headless::Picture& picture) {
        long index = headless::PresentCount() - 1;
        if (index != keyFrames[0] && index != keyFrames[1] && index != keyFrames[2])
            return;
        shown.push_back(FrameOf(picture));
    });
    EXPECT_EQ(RunProgram().exitCode, 0);
    ASSERT_EQ(shown.size(), 3u);
    for (int shot = 0; shot < 3; shot++) {
        std::string name = "grab_" + std::to_string(shot + 1) + ".bmp";
        SCOPED_TRACE(name);
        ASSERT_EQ(fs::file_size(name), 393274u);
        EXPECT_TRUE(ReadImage(name) == shown[shot]);
    }

    // A second run numbers from 1 again.
    headless::Reset();
    headless::SetPresentHook(nullptr);
    fs::remove("grab_2.bmp");
    headless::ScriptKey(10, VK_RETURN);
    headless::ScriptKey(11, VK_ESCAPE);
    const auto before = fs::last_write_time("grab_1.bmp");
    EXPECT_EQ(RunProgram().exitCode, 0);
    EXPECT_GE(fs::last_write_time("grab_1.bmp"), before);
    EXPECT_FALSE(fs::exists("grab_2.bmp"));
    EXPECT_TRUE(fs::exists("grab_3.bmp")); // the earlier run's file, left alone
}

} // namespace
