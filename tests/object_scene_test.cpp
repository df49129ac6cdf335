// The environment-mapped object scene: its camera path, the animation frames along the bottom
// edge, and the scene run on the headless back end with a small mesh and images of its own.
#include "scenes/object.h"

#include "assets/bmp.h"
#include "assets/surface.h"
#include "base/framebuffer.h"
#include "base/process.h"
#include "engine3d/objet3d.h"
#include "fx/blit.h"
#include "fx/radialblur.h"
#include "scene_frames.h"
#include "scenes/scenes.h"
#include "shell/demo.h"
#include "test_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

TEST(ObjectScene, CameraCirclesTheObjectAndLooksAtItsMiddle) {
    ObjectCamera at10 = ObjectCameraAt(10.0);
    EXPECT_NEAR(at10.position.x, 10.88042, 1e-4);
    EXPECT_NEAR(at10.position.y, 51.59666, 1e-4);
    EXPECT_NEAR(at10.position.z, 16.78143, 1e-4);
    EXPECT_NEAR(at10.direction.x, -0.50155, 1e-5);
    EXPECT_NEAR(at10.direction.y, 0.38736, 1e-5);
    EXPECT_NEAR(at10.direction.z, -0.77356, 1e-5);

    ObjectCamera atQuarterTurn = ObjectCameraAt(std::acos(0.0));
    EXPECT_FLOAT_EQ(atQuarterTurn.position.x, -20.0f);
    EXPECT_NEAR(atQuarterTurn.position.y, 42.17987, 1e-4);
    EXPECT_NEAR(atQuarterTurn.position.z, 0.0, 1e-6);
    EXPECT_NEAR(atQuarterTurn.direction.x, 0.74662, 1e-5);
    EXPECT_NEAR(atQuarterTurn.direction.y, 0.66525, 1e-5);
    EXPECT_NEAR(atQuarterTurn.direction.z, 0.0, 1e-6);
    EXPECT_NEAR(atQuarterTurn.length, std::hypot(20.0, 60.0 - 42.17987), 1e-4);

    // A camera on the point it looks at ends the process with 1 after its trace.
    TraceRecorder traces;
    EXPECT_EQ(ExitCodeOf([] { ObjectCameraFrom(Vec3f{0.0f, 60.0f, 0.0f}); }), 1);
    EXPECT_EQ(traces.Texts(), std::vector<std::string>{"cam = visee!!! dommage: norme = 0"});
}

TEST(ObjectScene, ShowsThreeConsecutiveFramesOfTheLoopEachQuarterSecond) {
    auto frames = [](int32_t index) {
        return std::vector<int32_t>{ObjectAnimationFrame(index, 0), ObjectAnimationFrame(index, 1),
                                    ObjectAnimationFrame(index, 2)};
    };
    EXPECT_EQ(frames(0), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(frames(5), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(frames(7), (std::vector<int32_t>{3, 0, 1}));
    EXPECT_EQ(frames(-1), (std::vector<int32_t>{3, 0, 1})) << "never before the strip";
    EXPECT_EQ(ObjectAnimationIndex(0.0), 0);
    EXPECT_EQ(ObjectAnimationIndex(1.24), 4);
    EXPECT_EQ(ObjectAnimationIndex(59.99), 239);
}

// Runs in a folder holding WriteObjectSceneFiles' files: an octahedron around the point the
// camera looks at, an environment map of one colour, a strip of four numbered frames.
using ObjectSceneRun = SceneRun<RunObjectScene>;

TEST_F(ObjectSceneRun, EnteredAfterItsEndLoadsButPresentsNothing) {
    WriteObjectSceneFiles(0x808080);
    EXPECT_EQ(RunFrom(60.0), -1);
    EXPECT_EQ(headless::PresentCount(), 0);

    // Its files are still loaded: a missing one is fatal even then.
    std::filesystem::remove("data/boule/anim_cercle2.bmp");
    EXPECT_EQ(RunFrom(0.0), kFatalExitCode);
    EXPECT_EQ(headless::PresentCount(), 0);
}

TEST_F(ObjectSceneRun, LastFrameIsTheFirstThatStartsAtSixtySeconds) {
    WriteObjectSceneFiles(0x808080);
    EXPECT_EQ(RunFrom(59.99), -1);
    EXPECT_EQ(headless::PresentCount(), 2); // 59.99 s, then 60.0067 s

    const long before = headless::PresentCount();
    // Back on whole frames: the next reading is 59 s.
    EXPECT_EQ(RunFrom(59.0 - 2 / 60.0 - 59.99), -1);
    EXPECT_EQ(headless::PresentCount() - before, 61); // 59 s ... 60 s
}

TEST_F(ObjectSceneRun, DrawsTheLitObjectInTheMiddleAndTheAnimationAlongTheBottom) {
    WriteObjectSceneFiles(0x000000); // a black map: only the animation shows at the bottom
    EXPECT_EQ(RunFrom(59.0), -1);
    // The last frame starts at 60 s, quarter second 240: frames 0, 1, 2 at x = 0, 69, 138.
    EXPECT_EQ(FrameAt(0, 192), 1u);
    EXPECT_EQ(FrameAt(63, 255), 1u);
    EXPECT_EQ(FrameAt(64, 192), 0u);
    EXPECT_EQ(FrameAt(68, 255), 0u);
    EXPECT_EQ(FrameAt(69, 192), 2u);
    EXPECT_EQ(FrameAt(132, 255), 2u);
    EXPECT_EQ(FrameAt(138, 192), 3u);
    EXPECT_EQ(FrameAt(201, 255), 3u);
    EXPECT_EQ(FrameAt(202, 255), 0u);
    EXPECT_EQ(FrameAt(0, 191), 0u);
}

TEST_F(ObjectSceneRun, DrawsTheObjectLitByItsMapInTheMiddle) {
    WriteObjectSceneFiles(0x808080);
    EXPECT_EQ(RunFrom(59.9), -1);
    // The blur leaves its centre as drawn: the map's grey, on a face turned to the camera.
    EXPECT_EQ(FrameAt(256, 128), 0x808080u);
}

TEST_F(ObjectSceneRun, RefusesAnEnvironmentMapThatIsNot256By256) {
    WriteObjectSceneFiles(0x808080);
    WriteImage("data/3d/env_neg.bmp", 260, 256, 0x808080);
    EXPECT_EQ(RunFrom(0.0), kFatalExitCode);
    EXPECT_NE(std::string(LastFatalMessage()).find("env_neg.bmp"), std::string::npos);
    EXPECT_EQ(headless::PresentCount(), 0);
}

TEST_F(ObjectSceneRun, AStripOfFewerThanFourRowsShowsNoAnimation) {
    WriteObjectSceneFiles(0x000000);
    WriteImage("data/boule/anim_cercle2.bmp", 8, 3, 0xFFFFFF);
    EXPECT_EQ(RunFrom(59.99), -1);
    EXPECT_EQ(headless::PresentCount(), 2);
    for (int p = 0; p < kFramePixels; ++p)
        ASSERT_EQ(theDemo->frameBuffer[p], 0u);
}

using ObjectSceneFrames = SceneFrames<RunObjectScene>;

// Frames of the scene with the show's own mesh, rebuilt from its steps: the camera on its
// circle, looking at (0, 60, 0); the frame cleared, the mesh rendered, blurred from (256, 128),
// and three consecutive frames of the strip along the bottom edge, 5 pixels apart.
TEST_F(ObjectSceneFrames, AreRebuiltFromTheSteps) {
    const std::vector<double> times = {35.02, 41.3, 47.77, 53.1, 59.99, 60.0};
    const std::vector<PresentedFrame> frames = RunAt(times);
    ASSERT_EQ(frames.size(), times.size());

    Objet3d mesh;
    mesh.LoadLWO("data/3d/u_mec.lwo");
    mesh.CalcNormalesFaces();
    mesh.CalcNormalesPoints();
    mesh.LoadEnvMap("data/3d/env_neg.bmp");
    mesh.SetPosition(0.0f, 0.0f, 0.0f);
    Surface strip("data/boule/anim_cercle2.bmp");
    const int32_t width = strip.width, frameHeight = strip.height / 4;
    std::vector<uint32_t> expected(kFramePixels);
    for (const PresentedFrame& frame : frames) {
        const double t = static_cast<double>(ClockReading(frame.startTicks));
        const Vec3f eye = {static_cast<float>(std::sin(t) * -20.0),
                           static_cast<float>(60.0 - std::sin(t * 1.3) * 20.0),
                           static_cast<float>(std::cos(t) * -20.0)};
        const float dx = -eye.x, dy = static_cast<float>(60.0 - eye.y), dz = -eye.z;
        const float length = static_cast<float>(std::sqrt(static_cast<double>(dx) * dx +
                                                          static_cast<double>(dy) * dy +
                                                          static_cast<double>(dz) * dz));
        CameraMatrix matrix;
        BuildCameraMatrix(matrix, static_cast<float>(dx / static_cast<double>(length)),
                          static_cast<float>(dy / static_cast<double>(length)),
                          static_cast<float>(dz / static_cast<double>(length)), 0.0);
        std::fill(expected.begin(), expected.end(), 0u);
        mesh.Render(matrix, eye, expected.data());
        RadialBlur(expected.data(), 256, 128);
        const int32_t quarter = static_cast<int32_t>(t * 4.0);
        for (int32_t slot = 0; slot < 3; ++slot)
            BlitAdditive(strip.data + (quarter + slot) % 4 * frameHeight * width, width,
                         frameHeight, expected.data(), slot * (width + 5), 256 - frameHeight);
        ExpectSameFrame(expected, frame);
    }
}
