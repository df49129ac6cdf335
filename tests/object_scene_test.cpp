// The environment-mapped object scene: its camera path, the animation frames along the bottom
// edge, and the scene run on the headless back end with a small mesh and images of its own.
#include "scenes/object.h"

#include "assets/bmp.h"
#include "assets/surface.h"
#include "engine3d/objet3d.h"
#include "fx/blit.h"
#include "base/framebuffer.h"
#include "fx/radialblur.h"
#include "lwo_builder.h"
#include "platform/headless/headless.h"
#include "process_capture.h"
#include "run_folder.h"
#include "scene_frames.h"
#include "scenes/scenes.h"
#include "shell/demo.h"
#include "base/process.h"
#include "test_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// An octahedron of radius 8 around (0, 60, 0), the point the camera looks at, with its faces
// turned outward.
std::string Octahedron() {
    std::vector<LwoBuilder::Point> points = {{8, 60, 0}, {-8, 60, 0}, {0, 68, 0},
                                             {0, 52, 0}, {0, 60, 8},  {0, 60, -8}};
    std::vector<LwoBuilder::Triangle> faces;
    for (int sx = 0; sx < 2; ++sx)
        for (int sy = 0; sy < 2; ++sy)
            for (int sz = 0; sz < 2; ++sz) {
                const uint16_t a = sx, b = 2 + sy, c = 4 + sz;
                if ((sx + sy + sz) % 2 == 0)
                    faces.push_back({a, b, c});
                else
                    faces.push_back({a, c, b});
            }
    return LwoBuilder().Points(points).Triangles(faces).Build();
}

// A strip of four 64 x 64 frames, frame k filled with blue k + 1.
std::vector<uint32_t> NumberedStrip() {
    std::vector<uint32_t> strip(64 * 256);
    for (int row = 0; row < 256; ++row)
        for (int column = 0; column < 64; ++column)
            strip[row * 64 + column] = static_cast<uint32_t>(row / 64 + 1);
    return strip;
}

void WriteSceneData(uint32_t envMapColour) {
    ASSERT_TRUE(WriteFileBytes("data/3d/u_mec.lwo", Octahedron()));
    WriteImage("data/3d/env_neg.bmp", 256, 256, std::vector<uint32_t>(256 * 256, envMapColour));
    WriteImage("data/boule/anim_cercle2.bmp", 64, 256, NumberedStrip());
}

void StartAt(double seconds) {
    MoveClockForward(seconds);
}

} // namespace

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

class ObjectSceneRun : public testing::Test {
  protected:
    void SetUp() override { headless::Reset(); }
    TempWorkingDirectory folder;
};

TEST_F(ObjectSceneRun, EnteredAfterItsEndLoadsButPresentsNothing) {
    WriteSceneData(0x808080);
    StartHeadlessDisplay();
    StartAt(60.0);
    RunObjectScene(theDemo->frameBuffer);
    EXPECT_EQ(headless::PresentCount(), 0);

    // Its files are still loaded: a missing one is fatal even then.
    std::filesystem::remove("data/boule/anim_cercle2.bmp");
    EXPECT_EQ(ExitCodeOf([] { RunObjectScene(theDemo->frameBuffer); }), kFatalExitCode);
    EXPECT_EQ(headless::PresentCount(), 0);
}

TEST_F(ObjectSceneRun, LastFrameIsTheFirstThatStartsAtSixtySeconds) {
    WriteSceneData(0x808080);
    StartHeadlessDisplay();
    StartAt(59.99);
    RunObjectScene(theDemo->frameBuffer);
    EXPECT_EQ(headless::PresentCount(), 2); // 59.99 s, then 60.0067 s

    StartAt(59.0 - 2 / 60.0 - 59.99); // back on whole frames: the next reading is 59 s
    const long before = headless::PresentCount();
    RunObjectScene(theDemo->frameBuffer);
    EXPECT_EQ(headless::PresentCount() - before, 61); // 59 s ... 60 s
}

TEST_F(ObjectSceneRun, DrawsTheLitObjectInTheMiddleAndTheAnimationAlongTheBottom) {
    WriteSceneData(0x000000); // a black map: only the animation shows at the bottom
    StartHeadlessDisplay();
    StartAt(59.0);
    RunObjectScene(theDemo->frameBuffer);
    // The last frame starts at 60 s, quarter second 240: frames 0, 1, 2 at x = 0, 69, 138.
    const uint32_t* frame = theDemo->frameBuffer;
    auto at = [&](int x, int y) { return frame[y * 512 + x]; };
    EXPECT_EQ(at(0, 192), 1u);
    EXPECT_EQ(at(63, 255), 1u);
    EXPECT_EQ(at(64, 192), 0u);
    EXPECT_EQ(at(68, 255), 0u);
    EXPECT_EQ(at(69, 192), 2u);
    EXPECT_EQ(at(132, 255), 2u);
    EXPECT_EQ(at(138, 192), 3u);
    EXPECT_EQ(at(201, 255), 3u);
    EXPECT_EQ(at(202, 255), 0u);
    EXPECT_EQ(at(0, 191), 0u);
}

TEST_F(ObjectSceneRun, DrawsTheObjectLitByItsMapInTheMiddle) {
    WriteSceneData(0x808080);
    StartHeadlessDisplay();
    StartAt(59.9);
    RunObjectScene(theDemo->frameBuffer);
    // The blur leaves its centre as drawn: the map's grey, on a face turned to the camera.
    EXPECT_EQ(theDemo->frameBuffer[128 * 512 + 256], 0x808080u);
}

TEST_F(ObjectSceneRun, RefusesAnEnvironmentMapThatIsNot256By256) {
    WriteSceneData(0x808080);
    WriteImage("data/3d/env_neg.bmp", 260, 256, std::vector<uint32_t>(260 * 256, 0x808080));
    StartHeadlessDisplay();
    EXPECT_EQ(ExitCodeOf([] { RunObjectScene(theDemo->frameBuffer); }), kFatalExitCode);
    EXPECT_NE(std::string(LastFatalMessage()).find("env_neg.bmp"), std::string::npos);
    EXPECT_EQ(headless::PresentCount(), 0);
}

TEST_F(ObjectSceneRun, AStripOfFewerThanFourRowsShowsNoAnimation) {
    WriteSceneData(0x000000);
    WriteImage("data/boule/anim_cercle2.bmp", 8, 3, std::vector<uint32_t>(24, 0xFFFFFF));
    StartHeadlessDisplay();
    StartAt(59.99);
    RunObjectScene(theDemo->frameBuffer);
    EXPECT_EQ(headless::PresentCount(), 2);
    for (int p = 0; p < kFramePixels; ++p)
        ASSERT_EQ(theDemo->frameBuffer[p], 0u);
}

using ObjectSceneFrames = ShowDataFolder;

// Frames of the scene with the show's own mesh, rebuilt from its steps: the camera on its
// circle, looking at (0, 60, 0); the frame cleared, the mesh rendered, blurred from (256, 128),
// and three consecutive frames of the strip along the bottom edge, 5 pixels apart.
TEST_F(ObjectSceneFrames, AreRebuiltFromTheSteps) {
    const std::vector<double> times = {35.02, 41.3, 47.77, 53.1, 59.99, 60.0};
    const std::vector<PresentedFrame> frames = RunSceneAt(RunObjectScene, times);
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
