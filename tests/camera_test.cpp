// The camera matrix and the per-frame transform: camera space, projection, environment-map
// coordinates and depth keys.
#include "base/numeric.h"
#include "engine3d/camera.h"
#include "engine3d/objet3d.h"

#include "support/lwo_builder.h"
#include "support/process_capture.h"
#include "support/vector_levels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

namespace {

struct Row {
    float x, y, z;
};

Row RowOf(const CameraMatrix& m, int row) {
    return {m.m[row * 3], m.m[row * 3 + 1], m.m[row * 3 + 2]};
}

void ExpectRow(const CameraMatrix& m, int row, Row expected) {
    const Row got = RowOf(m, row);
    EXPECT_EQ(got.x, expected.x) << "row " << row;
    EXPECT_EQ(got.y, expected.y) << "row " << row;
    EXPECT_EQ(got.z, expected.z) << "row " << row;
}

double Dot(Row a, Row b) {
    return static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y +
           static_cast<double>(a.z) * b.z;
}

// Rows unit length and perpendicular, row 0 x row 1 = row 2, to float precision.
void ExpectOrthonormalRightHanded(const CameraMatrix& m) {
    const Row r0 = RowOf(m, 0), r1 = RowOf(m, 1), r2 = RowOf(m, 2);
    EXPECT_NEAR(Dot(r0, r0), 1.0, 1e-6);
    EXPECT_NEAR(Dot(r1, r1), 1.0, 1e-6);
    EXPECT_NEAR(Dot(r2, r2), 1.0, 1e-6);
    EXPECT_NEAR(Dot(r0, r1), 0.0, 1e-6);
    EXPECT_NEAR(Dot(r0, r2), 0.0, 1e-6);
    EXPECT_NEAR(Dot(r1, r2), 0.0, 1e-6);
    const Row cross{r0.y * r1.z - r0.z * r1.y, r0.z * r1.x - r0.x * r1.z,
                    r0.x * r1.y - r0.y * r1.x};
    EXPECT_NEAR(cross.x, r2.x, 1e-6);
    EXPECT_NEAR(cross.y, r2.y, 1e-6);
    EXPECT_NEAR(cross.z, r2.z, 1e-6);
}

TEST(CameraMatrix, WorkedDirectionsToTheLastBit) {
    CameraMatrix m;
    BuildCameraMatrix(m, 1.0f, 0.0f, 0.0f, 0.0);
    ExpectRow(m, 0, {0.0f, 0.0f, -1.0f});
    ExpectRow(m, 1, {0.0f, 1.0f, 0.0f});
    ExpectRow(m, 2, {1.0f, 0.0f, 0.0f});

    BuildCameraMatrix(m, 0.6f, 0.0f, 0.8f, 0.0);
    ExpectRow(m, 0, {0.8f, 0.0f, -0.6f});
    ExpectRow(m, 1, {0.0f, 1.0f, 0.0f});
    ExpectRow(m, 2, {0.6f, 0.0f, 0.8f});

    // k = 0: no correction angle.
    BuildCameraMatrix(m, 0.0f, 1.0f, 0.0f, 0.0);
    ExpectRow(m, 0, {0.0f, 0.0f, -1.0f});
    ExpectRow(m, 1, {-1.0f, 0.0f, 0.0f});
    ExpectRow(m, 2, {0.0f, 1.0f, 0.0f});

    // The correction angle divides only its second input by k.
    BuildCameraMatrix(m, 0.48f, 0.64f, 0.6f, 0.0);
    ExpectRow(m, 0, {0.72563016f, 0.09471633f, -0.68153483f});
    ExpectRow(m, 1, {-0.4930121f, 0.7625148f, -0.4189394f});
    ExpectRow(m, 2, {0.48f, 0.64f, 0.6f});
}

TEST(CameraMatrix, StepsExposeTheCorrectionAngleInputs) {
    float u[3], v[3];
    ASSERT_TRUE(CameraPerpendicularAxes(0.48f, 0.64f, 0.6f, u, v));
    EXPECT_EQ(v[2], 0.0f);
    double y = 0, x = 0;
    ASSERT_TRUE(CameraCorrectionInputs(u, v, &y, &x));
    EXPECT_EQ(y, static_cast<double>(u[1]));
    EXPECT_NEAR(std::atan2(y, x), 0.55115823, 1e-8);
    EXPECT_NEAR(std::atan2(u[1], v[1]), 0.67474094, 1e-7); // what the plain angle would be

    // Undefined cases leave the caller's values as they were.
    float keptU[3] = {7, 7, 7}, keptV[3] = {9, 9, 9};
    EXPECT_FALSE(CameraPerpendicularAxes(0.0f, 0.0f, 1.0f, keptU, keptV));
    EXPECT_EQ(keptU[0], 7.0f);
    EXPECT_EQ(keptV[2], 9.0f);
    ASSERT_TRUE(CameraPerpendicularAxes(0.0f, -1.0f, 0.0f, u, v));
    y = 5, x = 6;
    EXPECT_FALSE(CameraCorrectionInputs(u, v, &y, &x));
    EXPECT_EQ(y, 5.0);
    EXPECT_EQ(x, 6.0);
}

TEST(CameraMatrix, StraightAlongZIsAnOrthonormalMatrix) {
    CameraMatrix m;
    BuildCameraMatrix(m, 0.0f, 0.0f, 1.0f, 0.0);
    ExpectRow(m, 0, {1.0f, 0.0f, 0.0f});
    ExpectRow(m, 1, {0.0f, 1.0f, 0.0f});
    ExpectRow(m, 2, {0.0f, 0.0f, 1.0f});
    BuildCameraMatrix(m, 0.0f, 0.0f, -1.0f, 0.0);
    ExpectRow(m, 0, {-1.0f, 0.0f, 0.0f});
    ExpectRow(m, 1, {0.0f, 1.0f, 0.0f});
    ExpectRow(m, 2, {0.0f, 0.0f, -1.0f});
    for (float c : {1.0f, -1.0f})
        for (double roll : {0.0, 0.7, -2.5}) {
            BuildCameraMatrix(m, 0.0f, 0.0f, c, roll);
            for (float value : m.m)
                EXPECT_FALSE(std::isnan(value));
            ExpectOrthonormalRightHanded(m);
        }
}

TEST(CameraMatrix, AnyUnitDirectionAndRollGiveAnOrthonormalMatrix) {
    std::mt19937 random(12345);
    std::normal_distribution<double> gauss;
    std::uniform_real_distribution<double> angle(-7.0, 7.0);
    CameraMatrix m;
    for (int i = 0; i < 2000; ++i) {
        double a = gauss(random), b = gauss(random), c = gauss(random);
        const double length = std::sqrt(a * a + b * b + c * c);
        BuildCameraMatrix(m, static_cast<float>(a / length), static_cast<float>(b / length),
                          static_cast<float>(c / length), angle(random));
        ExpectOrthonormalRightHanded(m);
    }
    for (float b : {1.0f, -1.0f}) {
        BuildCameraMatrix(m, 0.0f, b, 0.0f, 0.9);
        ExpectOrthonormalRightHanded(m);
    }
}

// An object loaded from an in-memory LightWave file, with every point normal set by hand.
class TransformTest : public testing::Test {
  protected:
    std::unique_ptr<Objet3d> Load(const std::vector<LwoBuilder::Point>& points,
                                  const std::vector<LwoBuilder::Triangle>& triangles = {}) {
        LwoBuilder builder;
        builder.Points(points);
        if (!triangles.empty())
            builder.Triangles(triangles);
        EXPECT_TRUE(WriteFileBytes("object.lwo", builder.Build()));
        auto object = std::make_unique<Objet3d>();
        object->LoadLWO("object.lwo");
        object->pointNormals.reset(new float[points.size() * 3]());
        object->viewNormals.reset(new float[points.size() * 3]);
        return object;
    }

    static CameraMatrix Camera(float a, float b, float c) {
        CameraMatrix m;
        BuildCameraMatrix(m, a, b, c, 0.0);
        return m;
    }

    TempWorkingDirectory folder_;
};

TEST_F(TransformTest, PointTenAheadLandsOnTheScreenCentre) {
    struct Case {
        float a, b, c;
        int32_t column, row;
    };
    // For (0.6, 0, 0.8) the float rows leave a camera-space x of about -1.2e-7, which
    // truncates to the column left of the centre.
    const Case cases[] = {{1.0f, 0.0f, 0.0f, 256, 128},
                          {0.0f, 1.0f, 0.0f, 256, 128},
                          {0.48f, 0.64f, 0.6f, 256, 128},
                          {0.6f, 0.0f, 0.8f, 255, 128}};
    for (const Case& c : cases) {
        auto object = Load({{10.0f * c.a, 10.0f * c.b, 10.0f * c.c}});
        object->TransformPoints(Camera(c.a, c.b, c.c), Vec3f{0.0f, 0.0f, 0.0f});
        EXPECT_NEAR(object->viewPoints[0], 0.0f, 1e-6f);
        EXPECT_NEAR(object->viewPoints[1], 0.0f, 1e-6f);
        EXPECT_NEAR(object->viewPoints[2], 10.0f, 1e-5f);
        EXPECT_EQ(object->screenX[0], c.column) << c.a << " " << c.b << " " << c.c;
        EXPECT_EQ(object->screenY[0], c.row) << c.a << " " << c.b << " " << c.c;
    }
}

TEST_F(TransformTest, ProjectionTruncatesTowardZeroAndRejectsNothing) {
    // Looking along +x: camera space is (-z, y, x) of the world.
    auto object = Load({{10.0f, 5.0f, 0.0f},     // below the last frame row
                        {0.0f, 5.0f, 3.0f},      // z = 0: the screen centre
                        {256.0f, 0.0f, 256.5f},  // column -0.5
                        {256.0f, 0.0f, 257.5f},  // column -1.5
                        {256.0f, 0.0f, -255.9f}, // column 511.9
                        {256.0f, -128.5f, 0.0f}, // row -0.5
                        {-10.0f, 5.0f, 0.0f}});  // behind the camera: mirrored
    object->TransformPoints(Camera(1.0f, 0.0f, 0.0f), Vec3f{0.0f, 0.0f, 0.0f});
    EXPECT_EQ(object->viewPoints[0], 0.0f);
    EXPECT_EQ(object->viewPoints[1], 5.0f);
    EXPECT_EQ(object->viewPoints[2], 10.0f);
    const int32_t columns[] = {256, 256, 0, -1, 511, 256, 256};
    const int32_t rows[] = {256, 128, 128, 128, 128, 0, 0};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(object->screenX[i], columns[i]) << "point " << i;
        EXPECT_EQ(object->screenY[i], rows[i]) << "point " << i;
    }
}

TEST_F(TransformTest, EveryPointFollowsTheOnePointRuleWhateverItsPlaceInTheArray) {
    // Enough points for whole groups of eight and a rest, some on the camera plane (z = 0),
    // some not numbers, some far enough to leave the 32-bit range when projected.
    std::mt19937 random(5);
    std::uniform_real_distribution<float> coordinate(-40.0f, 40.0f);
    std::vector<LwoBuilder::Point> points(45);
    for (auto& p : points)
        p = {coordinate(random), coordinate(random), coordinate(random)};
    points[3] = {7.0f, 2.0f, 0.0f};    // on the camera plane
    points[12] = {1e9f, 3.0f, 1e-30f}; // projects far beyond the 32-bit range
    points[20] = {-5.0f, 1e30f, 2.0f}; // so does its row
    auto object = Load(points);
    for (int i = 0; i < 45 * 3; ++i)
        object->pointNormals[i] = coordinate(random) / 40.0f;
    object->points[9 * 3 + 2] = std::numeric_limits<float>::quiet_NaN();
    object->SetPosition(0.0f, 0.0f, 0.0f);
    const CameraMatrix camera = Camera(0.0f, 0.0f, 1.0f); // looking along +z
    ForEachVectorLevel([&](VectorLevel) {
        object->TransformPoints(camera, Vec3f{0.0f, 0.0f, 0.0f});
        const float* m = camera.m;
        for (int i = 0; i < 45; ++i) {
            SCOPED_TRACE(i);
            const double q[3] = {object->points[i * 3], object->points[i * 3 + 1],
                                 object->points[i * 3 + 2]};
            const double n[3] = {object->pointNormals[i * 3], object->pointNormals[i * 3 + 1],
                                 object->pointNormals[i * 3 + 2]};
            float v[3], w[3];
            for (int r = 0; r < 3; ++r) {
                v[r] =
                    static_cast<float>(m[r * 3] * q[0] + m[r * 3 + 1] * q[1] + m[r * 3 + 2] * q[2]);
                w[r] =
                    static_cast<float>(m[r * 3] * n[0] + m[r * 3 + 1] * n[1] + m[r * 3 + 2] * n[2]);
                EXPECT_EQ(0, std::memcmp(&v[r], &object->viewPoints[i * 3 + r], 4));
                EXPECT_EQ(0, std::memcmp(&w[r], &object->viewNormals[i * 3 + r], 4));
            }
            const bool centre = v[2] == 0.0f || std::isnan(v[2]);
            EXPECT_EQ(object->screenX[i],
                      centre ? 256
                             : TruncateToInt32(static_cast<double>(v[0]) * 256.0f / v[2] + 256.0f));
            EXPECT_EQ(object->screenY[i],
                      centre ? 128
                             : TruncateToInt32(static_cast<double>(v[1]) * 256.0f / v[2] + 128.0f));
        }
        EXPECT_EQ(object->screenX[3], 256);
        EXPECT_EQ(object->screenX[9], 256);
        EXPECT_EQ(object->screenX[12], 0);
        EXPECT_EQ(object->screenY[20], 0);
    });
}

TEST_F(TransformTest, ObjectPositionMovesPointsButNotNormals) {
    auto object = Load({{4.0f, -2.5f, 0.0f}});
    object->pointNormals[0] = 0.6f;
    object->pointNormals[2] = -0.8f;
    object->SetPosition(1.0f, 0.0f, 0.0f);
    // Looking straight along +z from z = -10: the camera axes are the world axes.
    object->TransformPoints(Camera(0.0f, 0.0f, 1.0f), Vec3f{0.0f, 0.0f, -10.0f});
    EXPECT_EQ(object->viewPoints[0], 5.0f);
    EXPECT_EQ(object->viewPoints[1], -2.5f);
    EXPECT_EQ(object->viewPoints[2], 10.0f);
    EXPECT_EQ(object->screenX[0], 384);
    EXPECT_EQ(object->screenY[0], 64);
    EXPECT_EQ(object->viewNormals[0], 0.6f);
    EXPECT_EQ(object->viewNormals[1], 0.0f);
    EXPECT_EQ(object->viewNormals[2], -0.8f);

    // Normals turn with the camera: looking along +x, the world's -x faces the camera.
    object->pointNormals[0] = -1.0f;
    object->pointNormals[2] = 0.0f;
    object->TransformPoints(Camera(1.0f, 0.0f, 0.0f), Vec3f{0.0f, 0.0f, 0.0f});
    EXPECT_EQ(object->viewNormals[0], 0.0f);
    EXPECT_EQ(object->viewNormals[1], 0.0f);
    EXPECT_EQ(object->viewNormals[2], -1.0f);
}

TEST_F(TransformTest, EnvironmentCoordinatesFromTheCameraSpaceNormal) {
    auto object = Load({{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}});
    const float normals[5][3] = {{0, 0, -1}, {1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0.5f, -0.5f, 0.7f}};
    const int32_t expected[5][2] = {{127, 127}, {247, 127}, {7, 127}, {127, 247}, {187, 67}};
    for (int i = 0; i < 5; ++i)
        for (int k = 0; k < 3; ++k)
            object->viewNormals[i * 3 + k] = normals[i][k];
    object->CalcEnvCoords();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(object->envCoords[i * 2], expected[i][0]) << "normal " << i;
        EXPECT_EQ(object->envCoords[i * 2 + 1], expected[i][1]) << "normal " << i;
    }
}

TEST_F(TransformTest, DepthKeyIsTheMeanDepthSummedInDoublePrecision) {
    auto object = Load({{0, 0, 1}, {0, 0, 2}, {0, 0, 3}, {0, 0, 16777216.0f}, {0, 0, 1}},
                       {{0, 1, 2}, {3, 4, 0}, {2, 1, 0}});
    object->TransformPoints(Camera(0.0f, 0.0f, 1.0f), Vec3f{0.0f, 0.0f, 0.0f});
    object->drawOrder[0] = object->drawOrder[1] = object->drawOrder[2] = 99;
    object->CalcDepthKeys();
    EXPECT_EQ(object->depthKeys[0], 2.0f);
    EXPECT_EQ(object->depthKeys[2], 2.0f);
    // 16777218 / 3 with the float one-third; a float sum would lose the two ones.
    EXPECT_EQ(object->depthKeys[1], 5592406.0f);
    EXPECT_EQ(object->drawOrder[0], 0);
    EXPECT_EQ(object->drawOrder[1], 1);
    EXPECT_EQ(object->drawOrder[2], 2);
}

} // namespace
