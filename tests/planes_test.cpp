// The planes and cylinder scene: the camera, rays against the planes and the column, the depth
// test by fog level, and whole runs of the scene on the headless back end.
#include "assets/bmp.h"
#include "assets/surface.h"
#include "base/process.h"
#include "fx/blockgrid.h"
#include "scene_frames.h"
#include "scenes/planes.h"
#include "scenes/raycamera.h"
#include "shell/demo.h"
#include "test_images.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const int kCentre = GridIndex(32, 16);

// Both fills for a camera at (px, py, pz) looking along f, in the scene's order.
void FillBoth(float px, float py, float pz, const float f[3], double roll = 0.0) {
    FillPlanes(800.0f, px, py, pz, f[0], f[1], f[2], roll);
    FillCylinder(400.0f, px, py, pz, f[0], f[1], f[2], roll);
}

TEST(PlanesCamera, StartsBesideTheColumnAimingAtItsAxis) {
    const PlanesCamera camera = PlanesCameraAt(0.0);
    EXPECT_EQ(1500.0f, camera.px);
    EXPECT_EQ(0.0f, camera.py);
    EXPECT_EQ(0.0f, camera.pz);
    EXPECT_EQ(100.0f, camera.q);
    EXPECT_EQ(0.0f, camera.roll);
    // w = (-1500, 100, 0) and its length are floats: F.x is -0.997785211 (bits bf7f6eda), where
    // a length kept in double would give -0.997785151 (bf7f6ed9).
    uint32_t bits;
    std::memcpy(&bits, &camera.fx, sizeof bits);
    EXPECT_EQ(0xbf7f6edau, bits);
    EXPECT_NEAR(0.066519, camera.fy, 1e-6);
    EXPECT_EQ(0.0f, camera.fz);
    // Later on: 1200 units per second along z, aiming at (0, q, 200 sigma) beside the axis.
    const PlanesCamera later = PlanesCameraAt(100.0);
    EXPECT_NEAR(120000.0 + later.e, later.pz, 0.01);
    const double reach = -later.px / later.fx; // along the view to the plane x = 0
    EXPECT_NEAR(later.q, later.py + reach * later.fy, 0.01);
    EXPECT_NEAR(120000.0, later.pz + reach * later.fz, 0.01);
}

TEST(PlanesCamera, CameraOnItsAimPointIsFatal) {
    float f[3];
    EXPECT_EQ(kFatalExitCode, ExitCodeOf([&] {
                  PlanesViewDirection(0.0f, 50.0f, 0.0f, 50.0f, &f[0], &f[1], &f[2]);
              }));
    EXPECT_STREQ("camera erreur: position = vis\xE9"
                 "e!!\n",
                 LastFatalMessage());
}

TEST(PlanesRays, CentreRayAtTheStartMeetsTheColumnBeforeTheCeiling) {
    const PlanesCamera camera = PlanesCameraAt(0.0);
    const PlanesHit plane =
        CastPlanesRay(800.0f, camera.px, camera.py, camera.pz, camera.fx, camera.fy, camera.fz);
    EXPECT_NEAR(-10500.0 * 10240, plane.u, 0.05 * 10240);
    EXPECT_EQ(255, plane.level);
    const CylinderHit column =
        CastCylinderRay(400.0f, camera.px, camera.py, camera.pz, camera.fx, camera.fy, camera.fz);
    ASSERT_TRUE(column.hit);
    EXPECT_NEAR(393.135, column.hx, 1e-3);
    EXPECT_NEAR(73.791, column.hy, 1e-3);
    EXPECT_EQ(0.0f, column.hz);
    EXPECT_EQ(7, TexelColumn(column.u));
    EXPECT_EQ(55, column.level);
    EXPECT_EQ(0, column.v);

    const float f[3] = {camera.fx, camera.fy, camera.fz};
    FillBoth(camera.px, camera.py, camera.pz, f, camera.roll);
    EXPECT_EQ(14080, blockGrid.light[kCentre]);
    EXPECT_EQ(column.u, blockGrid.u[kCentre]);
    EXPECT_EQ(0, blockGrid.v[kCentre]);
}

TEST(PlanesRays, LevelRayMissesThePlanesAndFallingRayMeetsTheFloor) {
    const PlanesHit level = CastPlanesRay(800.0f, 5.0f, 100.0f, 7.0f, 0.6f, 0.0f, 0.8f);
    EXPECT_EQ(0x7F00, level.u);
    EXPECT_EQ(0x7F00, level.v);
    EXPECT_EQ(255, level.level);
    // From height 100 down at 0.8: the floor y = -800 is 1125 along the ray, 675 away in x.
    const PlanesHit floor = CastPlanesRay(800.0f, 0.0f, 100.0f, 0.0f, 0.6f, -0.8f, 0.0f);
    EXPECT_EQ(105, TexelColumn(floor.u)); // 675 units are 105.47 texels
    EXPECT_EQ(0, floor.v);
    EXPECT_EQ(33, floor.level); // 675 / 20
}

TEST(PlanesRays, ColumnAngleGivesMirroredHalfTurnTextureColumns) {
    EXPECT_EQ(0, TexelColumn(CylinderTextureColumn(0.0, 400.0)));
    EXPECT_EQ(31, TexelColumn(CylinderTextureColumn(300.0, 300.0)));   // pi / 4
    EXPECT_EQ(31, TexelColumn(CylinderTextureColumn(-300.0, 300.0)));  // -pi / 4
    EXPECT_EQ(63, TexelColumn(CylinderTextureColumn(400.0, 0.0)));     // pi / 2 (float pi)
    EXPECT_EQ(63, TexelColumn(CylinderTextureColumn(-400.0, 0.0)));    // -pi / 2
    EXPECT_EQ(95, TexelColumn(CylinderTextureColumn(-300.0, -300.0))); // -3 pi / 4
    EXPECT_EQ(127, TexelColumn(CylinderTextureColumn(0.0, -400.0)));   // pi
    EXPECT_EQ(127, TexelColumn(CylinderTextureColumn(-0.0, -400.0)));  // -pi
    EXPECT_EQ(16777215 / 2, CylinderTextureColumn(0.0, -400.0));       // just below 2^24 / 2
}

TEST(PlanesRays, CameraInsideTheColumnSeesTheInsideWall) {
    // Both roots for a camera on the axis: -400 and +400; the positive one is the wall.
    const CylinderHit ahead = CastCylinderRay(400.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f);
    ASSERT_TRUE(ahead.hit);
    EXPECT_EQ(400.0f, ahead.hx);
    EXPECT_EQ(0, TexelColumn(ahead.u));
    EXPECT_EQ(20, ahead.level);
    const CylinderHit up = CastCylinderRay(400.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.6f, 0.8f);
    ASSERT_TRUE(up.hit);
    EXPECT_NEAR(400.0, up.hy, 1e-3);
    EXPECT_NEAR(533.333, up.hz, 1e-3);
    EXPECT_EQ(63, TexelColumn(up.u));
    EXPECT_EQ(TexelColumn(static_cast<int32_t>(up.hz * 6400)), TexelColumn(up.v));
    // The texture row scale, to the last 16.16 bit: this ray meets the wall at height 300
    // exactly, so v = 300 * 6400.
    const CylinderHit slope = CastCylinderRay(400.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.75f);
    ASSERT_TRUE(slope.hit);
    EXPECT_EQ(300.0f, slope.hz);
    EXPECT_EQ(300 * 6400, slope.v);
    EXPECT_EQ(26, up.level); // 533.3 / 20
    const CylinderHit back = CastCylinderRay(400.0f, 0.0f, 0.0f, 0.0f, -1.0f, 0.0f, 0.0f);
    ASSERT_TRUE(back.hit);
    EXPECT_EQ(127, TexelColumn(back.u));

    const float f[3] = {1.0f, 0.0f, 0.0f};
    FillBoth(0.0f, 0.0f, 0.0f, f);
    EXPECT_EQ(20 * 256, blockGrid.light[kCentre]);
    EXPECT_EQ(ahead.u, blockGrid.u[kCentre]);
}

TEST(PlanesRays, ColumnBehindTheCameraOrAlongTheRayIsMissed) {
    EXPECT_FALSE(CastCylinderRay(400.0f, 1000.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f).hit);
    EXPECT_FALSE(CastCylinderRay(400.0f, 1000.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f).hit);
    EXPECT_FALSE(CastCylinderRay(400.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, -1.0f).hit);
    EXPECT_FALSE(CastCylinderRay(400.0f, 400.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f).hit); // grazes
    // Components so small that 2 qa rounds to zero as a float: no hit at infinity.
    EXPECT_FALSE(CastCylinderRay(400.0f, 0.0f, 0.0f, 0.0f, 1e-30f, 0.0f, 1.0f).hit);
}

TEST(PlanesFill, OnEqualFogLevelsThePlaneStays) {
    // Looking along -x from far out: the centre ray is level (plane level 255) and meets the
    // column 5600 away (level 255 too): the plane's values stay.
    const float f[3] = {-1.0f, 0.0f, 0.0f};
    FillBoth(6000.0f, 0.0f, 0.0f, f);
    EXPECT_EQ(0x7F00, blockGrid.u[kCentre]);
    EXPECT_EQ(255 * 256, blockGrid.light[kCentre]);
    // 4900 away the column is one level nearer and replaces the plane.
    FillBoth(5300.0f, 0.0f, 0.0f, f);
    EXPECT_EQ(245 * 256, blockGrid.light[kCentre]);
    EXPECT_EQ(0, TexelColumn(blockGrid.u[kCentre]));
    EXPECT_EQ(0, blockGrid.v[kCentre]);
}

TEST(PlanesFill, EachFillKeepsItsOwnAxesForAViewAlongZ) {
    // A camera on the column's axis: every ray that is not along z meets the wall before it
    // can reach a plane.
    const float across[3] = {-1.0f, 0.0f, 0.0f};
    const float tilted[3] = {0.0f, 0.6f, 0.8f};
    FillPlanes(800.0f, 0.0f, 0.0f, 0.0f, across[0], across[1], across[2], 0.5);
    FillCylinder(400.0f, 0.0f, 0.0f, 0.0f, tilted[0], tilted[1], tilted[2], 0.0);
    FillPlanes(800.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.5);
    const int corner = GridIndex(0, 0);
    const int32_t planeU = blockGrid.u[corner], planeLight = blockGrid.light[corner];
    FillCylinder(400.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0);

    // The centre ray runs along the axis: level (no plane) and parallel to the column.
    EXPECT_EQ(0x7F00, blockGrid.u[kCentre]);
    EXPECT_EQ(255 * 256, blockGrid.light[kCentre]);

    // Grid point (0, 0) of each fill uses the axes of that fill's own previous call.
    auto cornerRay = [](const float f[3], double roll, float d[3]) {
        RayCameraAxes axes;
        axes.Update(f[0], f[1], f[2], roll);
        double r[3];
        for (int i = 0; i < 3; ++i)
            r[i] = (i == 2 ? 256.0 : 0.0) - 128.0 * axes.down[i] - 256.0 * axes.right[i];
        const double length = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
        for (int i = 0; i < 3; ++i)
            d[i] = static_cast<float>(r[i] / length);
    };
    float planeRay[3], columnRay[3];
    cornerRay(across, 0.5, planeRay);
    cornerRay(tilted, 0.0, columnRay);
    const PlanesHit plane =
        CastPlanesRay(800.0f, 0.0f, 0.0f, 0.0f, planeRay[0], planeRay[1], planeRay[2]);
    EXPECT_EQ(plane.u, planeU);
    EXPECT_EQ(plane.level * 256, planeLight);
    const CylinderHit column =
        CastCylinderRay(400.0f, 0.0f, 0.0f, 0.0f, columnRay[0], columnRay[1], columnRay[2]);
    ASSERT_TRUE(column.hit);
    ASSERT_LT(column.level * 256, planeLight);
    EXPECT_EQ(column.u, blockGrid.u[corner]);
    EXPECT_EQ(column.v, blockGrid.v[corner]);
    EXPECT_EQ(column.level * 256, blockGrid.light[corner]);
}

// Runs of the whole scene on the headless back end, in a folder with a texture of our own.
using PlanesScene = SceneRun<RunPlanesScene>;

TEST_F(PlanesScene, EnteredAtItsEndLoadsTheTextureAndPresentsNothing) {
    WriteTestTexture("data/zoom/texture1.bmp", 256, 256);
    EXPECT_EQ(-1, RunFrom(122.0));
    EXPECT_EQ(0, headless::PresentCount());
    // The texture is still loaded (and checked) first.
    WriteTestTexture("data/zoom/texture1.bmp", 256, 128);
    EXPECT_EQ(kFatalExitCode, RunFrom(1.0));
    EXPECT_EQ(0, headless::PresentCount());
}

TEST_F(PlanesScene, LastFrameIsTheFirstWhoseFloatReadingReaches122) {
    WriteTestTexture("data/zoom/texture1.bmp", 256, 256);
    EXPECT_EQ(-1, RunFrom(120.0));
    EXPECT_EQ(121, headless::PresentCount());
}

TEST_F(PlanesScene, ReadingJustBelow122RoundsTo122AsFloat) {
    WriteTestTexture("data/zoom/texture1.bmp", 256, 256);
    EXPECT_EQ(-1, RunFrom(122.0, -1));
    EXPECT_EQ(1, headless::PresentCount());
}

TEST_F(PlanesScene, FirstFrameShowsTheColumnAtTheCentre) {
    WriteTestTexture("data/zoom/texture1.bmp", 256, 256);
    const std::vector<PresentedFrame> frames = RunAt({0.0}); // then on past the end
    ASSERT_EQ(2u, frames.size());
    // Frame pixel (256, 128) is grid point (32, 16); fog level 55 is added to each channel.
    EXPECT_EQ(TestTexel(7, 0) + 0x373737, frames[0].pixels[128 * kFrameWidth + 256]);
}

TEST_F(PlanesScene, RefusesAMissingTexture) {
    EXPECT_EQ(kFatalExitCode, RunFrom(0.0));
    EXPECT_EQ(0, headless::PresentCount());
}

using PlanesFrames = SceneFrames<RunPlanesScene>;

// Frames of the scene with the show's texture, rebuilt from its steps, far into the camera's
// slow swings: every named camera value stored as float (the view vector and its length
// included), the planes cast, then the column where it is nearer, and every pixel mapped.
TEST_F(PlanesFrames, AreRebuiltFromTheSteps) {
    const std::vector<double> times = {90.01, 96.5, 100.0, 111.3, 121.99, 122.0};
    const std::vector<PresentedFrame> frames = RunAt(times);
    ASSERT_EQ(frames.size(), times.size());

    Surface texture("data/zoom/texture1.bmp");
    std::vector<uint32_t> expected(kFramePixels);
    for (const PresentedFrame& frame : frames) {
        const double sigma = static_cast<double>(ClockReading(frame.startTicks)) * 6.0;
        const float m = static_cast<float>(1500.0 * std::cos(0.05 * sigma));
        const float g = static_cast<float>(780.0 * std::sin(0.07 * sigma));
        const float e = static_cast<float>(1500.0 * std::sin(0.03 * sigma));
        const float q = static_cast<float>(100.0 * std::cos(0.2 * sigma));
        const float roll =
            static_cast<float>(6.28 * std::sin(0.03 * sigma) * std::cos(0.02 * sigma));
        const float w[3] = {-m, static_cast<float>(static_cast<double>(q) - g), -e};
        const float length = static_cast<float>(std::sqrt(static_cast<double>(w[0]) * w[0] +
                                                          static_cast<double>(w[1]) * w[1] +
                                                          static_cast<double>(w[2]) * w[2]));
        float f[3];
        for (int i = 0; i < 3; ++i)
            f[i] = static_cast<float>(w[i] / static_cast<double>(length));
        const float pz = static_cast<float>(200.0 * sigma + e);
        FillPlanes(800.0f, m, g, pz, f[0], f[1], f[2], roll);
        FillCylinder(400.0f, m, g, pz, f[0], f[1], f[2], roll);
        MapGrid(texture.data, expected.data());
        ExpectSameFrame(expected, frame);
    }
}

} // namespace
