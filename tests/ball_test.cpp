// The ball scene: its camera, the ray-cast grid and the ball's projected centre, the blur centre
// and the animation frame, the scene run on the headless back end with a parameter file and
// images of its own, and a whole show quit with Escape while the ball is on screen.
#include "scenes/ball.h"

#include "assets/bmp.h"
#include "assets/inifile.h"
#include "assets/surface.h"
#include "base/framebuffer.h"
#include "base/process.h"
#include "fx/blit.h"
#include "fx/blockgrid.h"
#include "fx/radialblur.h"
#include "scene_frames.h"
#include "scenes/scenes.h"
#include "shell/demo.h"
#include "test_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

void WriteParameters(const std::string& speed, const std::string& animationSpeed) {
    ASSERT_TRUE(WriteFileBytes("data/boule/boule.ini", "; the ball\n"
                                                       "[boule_text]\ndata/boule/tex.bmp\n"
                                                       "[anim_octet]\ndata/boule/octet.bmp\n"
                                                       "[boule_logo]\ndata/boule/logo.bmp\n"
                                                       "[boule_vitesse]\n" +
                                                           speed + "\n[anim_speed]\n" +
                                                           animationSpeed + "\n"));
}

void WriteBallData(uint32_t textureColour) {
    WriteParameters("1.0", "2.0");
    WriteImage("data/boule/tex.bmp", 256, 256, textureColour);
    WriteImage("data/boule/octet.bmp", 8, 300, NumberedStrip(8, 10, 30));
    WriteImage("data/boule/logo.bmp", 4, 4, 0xFFFFFF);
}

} // namespace

TEST(BallScene, CameraAtTheStartLooksFromAboveTheXzDiagonal) {
    BallCamera camera = BallCameraAt(0.0);
    EXPECT_EQ(camera.eye.x, 5600.0f);
    EXPECT_EQ(camera.eye.y, 0.0f);
    EXPECT_EQ(camera.eye.z, 5600.0f);
    EXPECT_EQ(camera.target.x, 2000.0f);
    EXPECT_EQ(camera.target.y, 0.0f);
    EXPECT_EQ(camera.target.z, 0.0f);
    EXPECT_EQ(camera.roll, 0.0f);
    Vec3f direction = BallViewDirection(camera);
    EXPECT_NEAR(direction.x, -0.54076, 1e-5);
    EXPECT_EQ(direction.y, 0.0f);
    EXPECT_NEAR(direction.z, -0.84118, 1e-5);

    BallCamera still = camera;
    still.target = still.eye;
    EXPECT_EQ(ExitCodeOf([&] { BallViewDirection(still); }), kFatalExitCode);
    EXPECT_STREQ(LastFatalMessage(), "camera erreur: position = vis\xE9"
                                     "e!!\n");
}

TEST(BallScene, GridHitsTheBallAroundTheCentreAndMarksTheRaysThatMissIt) {
    BallCamera camera = BallCameraAt(0.0);
    int32_t centreX = 0, centreY = 0;
    ComputeBallGrid(256.0f, 5000.0f, camera.eye, BallViewDirection(camera), camera.roll, &centreX,
                    &centreY);
    EXPECT_EQ(centreX, 310);
    // The screen centre's ray runs along the view direction and meets the ball near
    // (3961, 0, 3051): longitude 0, texel row 3051 * 150 / 5000 = 91.
    const int middle = GridIndex(32, 16);
    EXPECT_EQ(blockGrid.light[middle], 0);
    EXPECT_EQ(blockGrid.u[middle], 0);
    EXPECT_EQ(blockGrid.v[middle] >> 16, 91);
    // The top-left corner looks past the ball.
    EXPECT_EQ(blockGrid.light[GridIndex(0, 0)], kEmptyLight);
    EXPECT_EQ(blockGrid.u[GridIndex(0, 0)], kBallMissCoordinate);
    EXPECT_EQ(blockGrid.v[GridIndex(0, 0)], 0x7F000000);
    // Every point is either a hit (light 0) or the miss marker.
    int hits = 0;
    for (int p = 0; p < kGridPoints; ++p) {
        ASSERT_TRUE(blockGrid.light[p] == 0 ||
                    (blockGrid.light[p] == kEmptyLight && blockGrid.u[p] == kBallMissCoordinate &&
                     blockGrid.v[p] == kBallMissCoordinate));
        hits += blockGrid.light[p] == 0;
    }
    EXPECT_GT(hits, kGridPoints / 4);
    EXPECT_LT(hits, kGridPoints);

    camera = BallCameraAt(1.0);
    ComputeBallGrid(256.0f, 5000.0f, camera.eye, BallViewDirection(camera), camera.roll, &centreX,
                    &centreY);
    EXPECT_EQ(centreX, 296);
    EXPECT_EQ(centreY, 98);

    // The texture row scale, to the last 16.16 bit: looking along -x from (10000, 0, 3000), the
    // screen centre's ray meets the ball exactly at (4000, 0, 3000), height 3000, so
    // v = 3000 * 9830400 / 5000 (90 texel rows); a scale off by 2 in 9830400 changes it.
    ComputeBallGrid(256.0f, 5000.0f, Vec3f{10000.0f, 0.0f, 3000.0f}, Vec3f{-1.0f, 0.0f, 0.0f}, 0.0,
                    &centreX, &centreY);
    EXPECT_EQ(blockGrid.u[middle], 0);
    EXPECT_EQ(blockGrid.v[middle], 5898240);
}

TEST(BallScene, AStraightDownDirectionKeepsThePreviousAxes) {
    BallCamera camera = BallCameraAt(1.0);
    int32_t centreX = 0, centreY = 0;
    ComputeBallGrid(256.0f, 5000.0f, camera.eye, BallViewDirection(camera), camera.roll, &centreX,
                    &centreY);
    const BlockGrid before = blockGrid;
    int32_t keptX = 0, keptY = 0;
    ComputeBallGrid(256.0f, 5000.0f, camera.eye, Vec3f{0.0f, 0.0f, -1.0f}, 0.5, &keptX, &keptY);
    EXPECT_EQ(std::memcmp(&before, &blockGrid, sizeof(BlockGrid)), 0);
    EXPECT_EQ(keptX, centreX);
    EXPECT_EQ(keptY, centreY);
}

TEST(BallScene, BlurCentreIsClampedAndTheAnimationFrameNeverLeavesTheStrip) {
    int32_t x = 600, y = -20;
    ClampBallBlurCentre(&x, &y);
    EXPECT_EQ(x, 509);
    EXPECT_EQ(y, 3);
    x = 2, y = 300;
    ClampBallBlurCentre(&x, &y);
    EXPECT_EQ(x, 3);
    EXPECT_EQ(y, 251);
    x = 296, y = 98;
    ClampBallBlurCentre(&x, &y);
    EXPECT_EQ(x, 296);
    EXPECT_EQ(y, 98);

    EXPECT_EQ(BallAnimationFrame(61.0, 1.0), 1);
    EXPECT_EQ(BallAnimationFrame(29.0, 1.0), 29);
    EXPECT_EQ(BallAnimationFrame(2.0, 15.99), 1); // n = 31
    EXPECT_EQ(BallAnimationFrame(0.0, 70.0), 0);
    EXPECT_EQ(BallAnimationFrame(-1.0, 1.0), 29);
    EXPECT_EQ(BallAnimationFrame(-61.0, 1.0), 29);
    EXPECT_EQ(BallAnimationFrame(-30.0, 1.0), 0);
    const int32_t huge = BallAnimationFrame(-1e300, 1.0);
    EXPECT_TRUE(huge >= 0 && huge < 30);
}

using BallSceneRun = SceneRun<RunBallScene>;

TEST_F(BallSceneRun, EnteredAfterItsEndLoadsButPresentsNothing) {
    WriteBallData(0x404040);
    EXPECT_EQ(RunFrom(75.0), -1);
    EXPECT_EQ(headless::PresentCount(), 0);

    std::filesystem::remove("data/boule/logo.bmp");
    EXPECT_EQ(RunFrom(0.0), kFatalExitCode);
    EXPECT_EQ(headless::PresentCount(), 0);
}

TEST_F(BallSceneRun, LastFrameIsTheFirstThatStartsAt75SecondsAndShowsTheBall) {
    WriteBallData(0x404040);
    EXPECT_EQ(RunFrom(74.0), -1);
    EXPECT_EQ(headless::PresentCount(), 61); // 74 s ... 75 s

    // The blur leaves its centre, the ball's projected centre, as the mapper drew it.
    BallCamera camera = BallCameraAt(75.0);
    int32_t centreX = 0, centreY = 0;
    ComputeBallGrid(256.0f, 5000.0f, camera.eye, BallViewDirection(camera), camera.roll, &centreX,
                    &centreY);
    ClampBallBlurCentre(&centreX, &centreY);
    EXPECT_EQ(FrameAt(centreX, centreY), 0x404040u);
}

TEST_F(BallSceneRun, StandsStillWithoutASpeedFactor) {
    WriteBallData(0x404040);
    WriteParameters("", "2.0"); // empty values read as 0
    std::vector<std::vector<uint32_t>> frames;
    headless::SetPresentHook(
        [&](const headless::Picture& picture) { frames.push_back(FrameOf(picture)); });
    EXPECT_EQ(RunFrom(74.9), -1);
    ASSERT_EQ(frames.size(), 7u);
    for (const std::vector<uint32_t>& frame : frames)
        ASSERT_TRUE(frame == frames[0]);
    EXPECT_EQ(frames[0][0], 1u) << "animation frame 0 in the top-left corner";
}

TEST_F(BallSceneRun, ANegativeAnimationFactorStillShowsAFrameOfTheStrip) {
    WriteBallData(0x000000); // a black ball: only the animation shows
    WriteParameters("1.0", "-1.0");
    EXPECT_EQ(RunFrom(74.99), -1);
    // The last frame is at a = 75: n = -75, frame -75 mod 30 = 15, blue 16.
    EXPECT_EQ(FrameAt(0, 0), 16u);
    EXPECT_EQ(FrameAt(7, 9), 16u);
    EXPECT_EQ(FrameAt(7, 10), 0u);
    EXPECT_EQ(FrameAt(384, 246), 16u);
    EXPECT_EQ(FrameAt(455, 255), 16u);
    EXPECT_EQ(FrameAt(392, 250), 0u);
    EXPECT_EQ(FrameAt(448, 246), 16u);
}

TEST_F(BallSceneRun, AStripOfFewerThanThirtyRowsShowsNoAnimation) {
    WriteBallData(0x000000);
    WriteImage("data/boule/octet.bmp", 8, 29, 0xFFFFFF);
    EXPECT_EQ(RunFrom(74.99), -1);
    EXPECT_EQ(headless::PresentCount(), 2);
    for (int p = 0; p < kFramePixels; ++p)
        ASSERT_EQ(theDemo->frameBuffer[p], 0u);
}

TEST_F(BallSceneRun, RefusesABadTextureAMissingImageKeyOrAMissingParameterFile) {
    WriteBallData(0x404040);
    WriteImage("data/boule/tex.bmp", 128, 128, 0x404040);
    EXPECT_EQ(RunFrom(0.0), kFatalExitCode);
    EXPECT_NE(std::string(LastFatalMessage()).find("data/boule/tex.bmp"), std::string::npos);

    ASSERT_TRUE(WriteFileBytes("data/boule/boule.ini", "[boule_text]\ndata/boule/tex.bmp\n"));
    WriteImage("data/boule/tex.bmp", 256, 256, 0x404040);
    EXPECT_EQ(RunFrom(0.0), kFatalExitCode);
    EXPECT_NE(std::string(LastFatalMessage()).find("[anim_octet]"), std::string::npos);

    std::filesystem::remove("data/boule/boule.ini");
    EXPECT_EQ(RunFrom(0.0), kFatalExitCode);
    EXPECT_EQ(headless::PresentCount(), 0);
}

TEST_F(BallSceneRun, EscapeDuringTheBallEndsTheShowWithZeroAfterTheSoundShutdown) {
    headless::Reset(); // the whole program from its start, not the scene alone
    WriteParticleSceneFiles();
    WriteObjectSceneFiles(0x808080);
    WriteBallData(0x404040);
    ASSERT_TRUE(WriteFileBytes("data/mirel.xm", TinyXmModule()));
    // Scene 1 presents frames 0..2100 (0 s to 35 s), scene 2 up to 60 s (frame 3600); the ball
    // starts at frame 3601. The key comes at frame 3700 and the quit message at the next one.
    headless::ScriptKey(3700, VK_ESCAPE);
    ProgramResult result = RunProgram();
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(headless::PresentCount(), 3701);
    const std::vector<std::string>& log = headless::CallLog();
    auto quit = std::find(log.begin(), log.end(), "PeekMessage 18 0");
    ASSERT_NE(quit, log.end());
    EXPECT_EQ(std::vector<std::string>(quit + 1, log.end()),
              (std::vector<std::string>{"MIDASstopModule", "MIDASfreeModule", "MIDASclose",
                                        "DestroyWindow"}));
}

using BallSceneFrames = SceneFrames<RunBallScene>;

// Frames of the scene with the show's own files, rebuilt from its steps. The clock moves half a
// frame between the two readings of a frame: the end test takes the first, the camera and the
// animation the second. The camera follows a = second reading x [boule_vitesse]; the frame is
// cleared, the ball's blocks mapped, the frame blurred from the ball's centre clamped to 3..509
// and 3..251, and one frame of the strip added at (0, 0), (384, 256 - fh) and (448, 256 - fh).
TEST_F(BallSceneFrames, AreRebuiltFromTheStepsWithTheSecondReadingAsTime) {
    constexpr int64_t kStep = 500000;
    const std::vector<double> times = {60.01, 63.37, 68.8, 72.25, 74.99, 75.0};
    const std::vector<PresentedFrame> frames = RunAt(times, kStep);
    ASSERT_EQ(frames.size(), times.size());

    IniFile parameters("data/boule/boule.ini");
    Surface texture(parameters.FindText("[boule_text]"));
    Surface strip(parameters.FindText("[anim_octet]"));
    const int32_t frameHeight = strip.height / 30;
    std::vector<uint32_t> expected(kFramePixels);
    for (const PresentedFrame& frame : frames) {
        const double a = static_cast<double>(ClockReading(frame.startTicks + kStep)) *
                         parameters.FindNumber("[boule_vitesse]");
        const Vec3f eye = {static_cast<float>(5600.0 * std::cos(0.3 * a)),
                           static_cast<float>(5600.0 * std::sin(0.3 * a)),
                           static_cast<float>(5600.0 * std::cos(0.3 * a))};
        const Vec3f target = {static_cast<float>(2000.0 * std::cos(0.5 * a)),
                              static_cast<float>(2000.0 * std::sin(0.63 * a)),
                              static_cast<float>(2000.0 * std::sin(0.3 * a))};
        const float roll = static_cast<float>(6.28 * std::sin(0.03 * a) * std::cos(0.05 * a));
        const float d[3] = {static_cast<float>(static_cast<double>(target.x) - eye.x),
                            static_cast<float>(static_cast<double>(target.y) - eye.y),
                            static_cast<float>(static_cast<double>(target.z) - eye.z)};
        const double length =
            std::sqrt(static_cast<double>(d[0]) * d[0] + static_cast<double>(d[1]) * d[1] +
                      static_cast<double>(d[2]) * d[2]);
        const Vec3f direction = {static_cast<float>(d[0] / length),
                                 static_cast<float>(d[1] / length),
                                 static_cast<float>(d[2] / length)};
        int32_t centreX = 0, centreY = 0;
        ComputeBallGrid(256.0f, 5000.0f, eye, direction, roll, &centreX, &centreY);
        std::fill(expected.begin(), expected.end(), 0u);
        MapGridMasked(texture.data, expected.data());
        RadialBlur(expected.data(), std::clamp(centreX, 3, 509), std::clamp(centreY, 3, 251));
        const int32_t n = static_cast<int32_t>(parameters.FindNumber("[anim_speed]") * a);
        const uint32_t* source = strip.data + n % 30 * frameHeight * strip.width;
        for (const auto& [x, y] : {std::pair<int32_t, int32_t>{0, 0},
                                   {384, 256 - frameHeight},
                                   {448, 256 - frameHeight}})
            BlitAdditive(source, strip.width, frameHeight, expected.data(), x, y);
        ExpectSameFrame(expected, frame);
    }
}
