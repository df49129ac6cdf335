// The rippled plane scene: the camera path, one ray through the relief, the grid fill, and whole
// runs of the scene on the headless back end with a texture of our own.
#include "base/process.h"
#include "fx/blockgrid.h"
#include "scene_frames.h"
#include "scenes/raycamera.h"
#include "scenes/rippledplane.h"
#include "shell/demo.h"
#include "test_images.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

namespace {

TEST(RippledPlaneCamera, CirclesBelowTheCeilingAndLooksMostlyUp) {
    const RippledPlaneCamera camera = RippledPlaneCameraAt(80.0);
    EXPECT_NEAR(424.179, camera.px, 1e-3);
    EXPECT_EQ(320.0f, camera.py);
    EXPECT_NEAR(-905.578, camera.pz, 1e-3);
    EXPECT_NEAR(-0.196661, camera.fx, 1e-6);
    EXPECT_NEAR(0.934236, camera.fy, 1e-6);
    EXPECT_NEAR(0.297537, camera.fz, 1e-6);
    // The aim sits 4680 above the camera whatever the time: F.y = 4680 / |offset|.
    for (double t : {75.0, 82.5, 89.99}) {
        const RippledPlaneCamera c = RippledPlaneCameraAt(t);
        EXPECT_NEAR(1.0, std::sqrt(c.fx * c.fx + c.fy * c.fy + c.fz * c.fz), 1e-6) << t;
        EXPECT_GT(c.fy, std::cos(31.0 * std::acos(-1.0) / 180.0)) << t;
    }
}

TEST(RippledPlaneRay, CentreRayAtEightySecondsStepsOntoTheRelief) {
    const RippledPlaneCamera camera = RippledPlaneCameraAt(80.0);
    const RippledPlaneHit hit = CastRippledPlaneRay(1000.0f, camera.px, 320.0f, camera.pz,
                                                    camera.fx, camera.fy, camera.fz, 80.0f);
    EXPECT_NEAR(281.036, hit.hx, 1e-3);
    EXPECT_NEAR(-689.011, hit.hz, 1e-3);
    EXPECT_NEAR(39.645, hit.h1, 1e-3);
    EXPECT_NEAR(0.12389, hit.s, 1e-5);
    EXPECT_NEAR(46.468, hit.h2, 1e-3);
    EXPECT_NEAR(0.14965, hit.q, 1e-5);
    EXPECT_NEAR(302.456, hit.hxCorrected, 1e-3);
    EXPECT_NEAR(-721.419, hit.hzCorrected, 1e-3);
    EXPECT_EQ(47, TexelColumn(hit.u));
    EXPECT_EQ(143, TexelColumn(hit.v));
    EXPECT_EQ(11, hit.level);
}

TEST(RippledPlaneRay, FallingRayMeetsTheFloorAndANodeOfTheReliefKeepsTheFlatHit) {
    // From (0, 320, 0) down at 0.8 of the way: the floor y = -1000 is 1320 below, 1650 along
    // the ray. At tau = 0 the relief is 0 at z = 0 and so is the trial point: h2 - 2 h1 = 0.
    const RippledPlaneHit hit =
        CastRippledPlaneRay(1000.0f, 0.0f, 320.0f, 0.0f, 0.6f, -0.8f, 0.0f, 0.0f);
    EXPECT_NEAR(990.0, hit.hx, 1e-3);
    EXPECT_EQ(0.0, hit.h1);
    EXPECT_EQ(0.0, hit.h2);
    EXPECT_EQ(0.0f, hit.q);
    EXPECT_EQ(static_cast<double>(hit.hx), hit.hxCorrected);
    EXPECT_EQ(PlaneTextureCoordinate(hit.hx), hit.u);
    EXPECT_EQ(0, hit.v);
    EXPECT_EQ(49, hit.level); // 990 / 20
}

TEST(RippledPlaneRay, LevelRayMeetsNoPlane) {
    const RippledPlaneHit hit =
        CastRippledPlaneRay(1000.0f, 10.0f, 320.0f, 20.0f, 0.6f, 0.0f, 0.8f, 3.0f);
    EXPECT_EQ(0x7F00, hit.u);
    EXPECT_EQ(0x7F00, hit.v);
    EXPECT_EQ(255, hit.level);
}

TEST(RippledPlaneConversions, TextureCoordinatesTruncateTowardZeroAndWrap) {
    EXPECT_EQ(0, PlaneTextureCoordinate(-0.00001));
    EXPECT_EQ(65536, PlaneTextureCoordinate(6.4)); // texel column 1
    EXPECT_EQ(255, TexelColumn(PlaneTextureCoordinate(-6.4)));
    // Far beyond 2^31 / 10240 units the texture keeps repeating: 1e6 units are 156250 texels.
    EXPECT_EQ(156250 % 256, TexelColumn(PlaneTextureCoordinate(1.0e6)));
    EXPECT_EQ(256 - 156250 % 256, TexelColumn(PlaneTextureCoordinate(-1.0e6)));
    EXPECT_EQ(0, PlaneTextureCoordinate(std::numeric_limits<double>::infinity()));
    EXPECT_EQ(0, PlaneTextureCoordinate(std::nan("")));
}

TEST(RippledPlaneConversions, FogTurnsWhiteFromFiftyOneHundredUnits) {
    EXPECT_EQ(0, FogLevel(0.0));
    EXPECT_EQ(0, FogLevel(19.99));
    EXPECT_EQ(1, FogLevel(20.0));
    EXPECT_EQ(254, FogLevel(5099.9));
    EXPECT_EQ(255, FogLevel(5100.0));
    // Far enough for the 32-bit truncation to wrap (beyond 2^31 / 0.05): still white.
    EXPECT_EQ(255, FogLevel(5.0e10));
    EXPECT_EQ(255, FogLevel(std::numeric_limits<double>::infinity()));
    EXPECT_EQ(0, FogLevel(std::nan("")));
}

TEST(RippledPlaneFill, GridHoldsOneRayPerPointAndKeepsItsAxesForAViewAlongZ) {
    const RippledPlaneCamera camera = RippledPlaneCameraAt(80.0);
    FillRippledPlane(1000.0f, camera.px, 320.0f, camera.pz, camera.fx, camera.fy, camera.fz, 0.0,
                     80.0f);
    const int centre = GridIndex(32, 16);
    EXPECT_EQ(47, TexelColumn(blockGrid.u[centre]));
    EXPECT_EQ(143, TexelColumn(blockGrid.v[centre]));
    EXPECT_EQ(11 * 256, blockGrid.light[centre]);
    // Every ray of this camera rises to the ceiling; each point gets a whole fog level.
    for (int i = 0; i < kGridPoints; ++i) {
        ASSERT_GE(blockGrid.light[i], 0);
        ASSERT_LE(blockGrid.light[i], 255 * 256);
        ASSERT_EQ(0, blockGrid.light[i] & 255);
    }

    // A direction straight along z leaves the axes of the previous call in place.
    RayCameraAxes previous;
    previous.Update(camera.fx, camera.fy, camera.fz, 0.0);
    FillRippledPlane(1000.0f, 0.0f, 320.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0, 1.0f);
    const double rx = -128.0 * previous.down[0] - 256.0 * previous.right[0];
    const double ry = -128.0 * previous.down[1] - 256.0 * previous.right[1];
    const double rz = 256.0 - 128.0 * previous.down[2] - 256.0 * previous.right[2];
    const double length = std::sqrt(rx * rx + ry * ry + rz * rz);
    const RippledPlaneHit corner =
        CastRippledPlaneRay(1000.0f, 0.0f, 320.0f, 0.0f, static_cast<float>(rx / length),
                            static_cast<float>(ry / length), static_cast<float>(rz / length), 1.0f);
    EXPECT_EQ(corner.u, blockGrid.u[GridIndex(0, 0)]);
    EXPECT_EQ(corner.v, blockGrid.v[GridIndex(0, 0)]);
    EXPECT_EQ(corner.level * 256, blockGrid.light[GridIndex(0, 0)]);
    // The centre ray runs along z itself: level, so it meets no plane.
    EXPECT_EQ(0x7F00, blockGrid.u[centre]);
    EXPECT_EQ(255 * 256, blockGrid.light[centre]);
}

// Runs of the whole scene on the headless back end, in a folder with a texture of our own.
using RippledPlaneScene = SceneRun<RunRippledPlaneScene>;

TEST_F(RippledPlaneScene, EnteredAtItsEndPresentsNothing) {
    WriteTestTexture("data/boule/tex7c.bmp", 256, 256);
    EXPECT_EQ(-1, RunFrom(90.0));
    EXPECT_EQ(0, headless::PresentCount());
}

TEST_F(RippledPlaneScene, LastFrameIsTheFirstWhoseFloatReadingReachesNinety) {
    WriteTestTexture("data/boule/tex7c.bmp", 256, 256);
    // From 88 s: frames at 88, 88 + 1/60, ..., 90.
    EXPECT_EQ(-1, RunFrom(88.0));
    EXPECT_EQ(121, headless::PresentCount());
}

TEST_F(RippledPlaneScene, ReadingJustBelowNinetyRoundsToNinetyAsFloat) {
    WriteTestTexture("data/boule/tex7c.bmp", 256, 256);
    // The entry test sees 90 s minus one tick and lets the scene start; that reading stored as
    // float is 90.0, so the first frame is also the last.
    EXPECT_EQ(-1, RunFrom(90.0, -1));
    EXPECT_EQ(1, headless::PresentCount());
}

TEST_F(RippledPlaneScene, CentrePixelAtEightySecondsShowsTheFoggedTexel) {
    WriteTestTexture("data/boule/tex7c.bmp", 256, 256);
    const std::vector<PresentedFrame> frames = RunAt({80.0}); // then on past the end
    ASSERT_EQ(2u, frames.size());
    // Frame pixel (256, 128) is grid point (32, 16); fog level 11 is added to each channel.
    EXPECT_EQ(TestTexel(47, 143) + 0x0B0B0B, frames[0].pixels[128 * kFrameWidth + 256]);
}

TEST_F(RippledPlaneScene, RefusesATextureThatIsMissingNot24BitOrNot256Square) {
    EXPECT_EQ(kFatalExitCode, RunFrom(80.0));
    WriteTestTexture("data/boule/tex7c.bmp", 256, 256, 8);
    EXPECT_EQ(kFatalExitCode, RunFrom(0.0));
    WriteTestTexture("data/boule/tex7c.bmp", 128, 256);
    EXPECT_EQ(kFatalExitCode, RunFrom(0.0));
    WriteTestTexture("data/boule/tex7c.bmp", 256, 512);
    EXPECT_EQ(kFatalExitCode, RunFrom(0.0));
    EXPECT_EQ(0, headless::PresentCount());
}

using RippledPlaneFrames = SceneFrames<RunRippledPlaneScene>;

// Frames of the scene with the show's texture, rebuilt from its steps: the camera circling at
// height 320 and aiming at (1000 cos(0.13 t), 5000, 1000 sin(0.11 t)), the grid filled with the
// relief at time t, and every pixel mapped.
TEST_F(RippledPlaneFrames, AreRebuiltFromTheSteps) {
    const std::vector<double> times = {75.01, 78.9, 80.0, 86.4, 89.99, 90.0};
    const std::vector<PresentedFrame> frames = RunAt(times);
    ASSERT_EQ(frames.size(), times.size());

    const std::vector<uint32_t> texture = ReadImage("data/boule/tex7c.bmp");
    ASSERT_EQ(texture.size(), 256u * 256u);
    std::vector<uint32_t> expected(kFramePixels);
    for (const PresentedFrame& frame : frames) {
        const double t = static_cast<double>(ClockReading(frame.startTicks));
        const float tf = static_cast<float>(t);
        const float px = static_cast<float>(1000.0 * std::cos(0.3 * t));
        const float pz = static_cast<float>(1000.0 * std::sin(0.3 * t));
        const double ax = 1000.0 * std::cos(0.13 * tf) - px;
        const double az = 1000.0 * std::sin(0.11 * tf) - pz;
        const float n = static_cast<float>(std::sqrt(ax * ax + az * az + 21902400.0));
        FillRippledPlane(1000.0f, px, 320.0f, pz, static_cast<float>(ax / n),
                         static_cast<float>(4680.0 / n), static_cast<float>(az / n), 0.0, tf);
        MapGrid(texture.data(), expected.data());
        ExpectSameFrame(expected, frame);
    }
}

} // namespace
