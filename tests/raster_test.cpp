// The triangle filler, the per-face tests of DrawFace, the depth sort and the painter's order.
#include "base/framebuffer.h"
#include "engine3d/camera.h"
#include "engine3d/objet3d.h"
#include "engine3d/raster.h"
#include "engine3d/sort.h"

#include "support/lwo_builder.h"
#include "support/process_capture.h"
#include "support/raster_reference.h"
#include "support/vector_levels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t kUntouched = 0xFFFFFFFFu; // no texel has bits 24-31 set

// A texture whose every texel is different: 0x00RRGGBB built from its column and row.
std::vector<uint32_t> NumberedTexture() {
    std::vector<uint32_t> texture(256 * 256);
    for (uint32_t t = 0; t < 256; ++t)
        for (uint32_t s = 0; s < 256; ++s)
            texture[t * 256 + s] = 0x010000u + t * 256 + s;
    return texture;
}

uint32_t Texel(const std::vector<uint32_t>& texture, int s, int t) {
    return texture[t * 256 + s];
}

struct Frame {
    std::vector<uint32_t> pixels = std::vector<uint32_t>(kFramePixels, kUntouched);
    uint32_t At(int x, int y) const { return pixels[y * kFrameWidth + x]; }
    int CountWritten() const {
        return static_cast<int>(std::count_if(pixels.begin(), pixels.end(),
                                              [](uint32_t p) { return p != kUntouched; }));
    }
};

class RasterTest : public testing::Test {
  protected:
    void Draw(int x0, int y0, int x1, int y1, int x2, int y2, int s0, int t0, int s1, int t1,
              int s2, int t2) {
        DrawTexturedTriangle(texture_.data(), frame_.pixels.data(), x0, y0, x1, y1, x2, y2, s0, t0,
                             s1, t1, s2, t2);
    }
    std::vector<uint32_t> texture_ = NumberedTexture();
    Frame frame_;
};

TEST_F(RasterTest, SmallTrianglePixelForPixel) {
    Draw(0, 0, 0, 4, 8, 4, 3, 3, 3, 3, 3, 3);
    // Row 0 (the single top corner) and row 4 (the bottom) get nothing.
    const int lastColumn[5] = {-1, 2, 4, 6, -1};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool inside = y < 5 && x <= lastColumn[y];
            EXPECT_EQ(frame_.At(x, y), inside ? Texel(texture_, 3, 3) : kUntouched)
                << "pixel " << x << ", " << y;
        }
    EXPECT_EQ(frame_.CountWritten(), 15);
}

TEST_F(RasterTest, CornerOrderDoesNotMatter) {
    Frame other;
    Draw(8, 4, 0, 0, 0, 4, 3, 3, 3, 3, 3, 3);
    DrawTexturedTriangle(texture_.data(), other.pixels.data(), 0, 4, 8, 4, 0, 0, 3, 3, 3, 3, 3, 3);
    EXPECT_EQ(frame_.CountWritten(), 15);
    EXPECT_EQ(frame_.pixels, other.pixels);
}

TEST_F(RasterTest, FlatTrianglesDrawNothing) {
    Draw(10, 5, 10, 5, 20, 5, 1, 1, 2, 2, 3, 3);
    Draw(30, 7, 10, 7, 20, 7, 1, 1, 2, 2, 3, 3);
    Draw(40, 9, 40, 9, 40, 9, 1, 1, 2, 2, 3, 3);
    EXPECT_EQ(frame_.CountWritten(), 0);
}

TEST_F(RasterTest, TwoUpperCornersOnOneRowStartDrawingOnThatRow) {
    Draw(0, 0, 8, 0, 0, 4, 5, 6, 5, 6, 5, 6);
    for (int x = 0; x <= 8; ++x)
        EXPECT_EQ(frame_.At(x, 0), Texel(texture_, 5, 6)) << x;
    EXPECT_EQ(frame_.At(9, 0), kUntouched);
    EXPECT_EQ(frame_.At(0, 4), kUntouched);
}

TEST_F(RasterTest, ClippingKeepsTheTextureSteppingAndTheLimitPicksTexelZero) {
    // One row from column -100 (s = 0) to 155 (s = 255): one texel per pixel, so column x
    // shows texel x + 100; at column 155 s reaches 255.0, outside the texture.
    Draw(-100, 0, 155, 0, -100, 10, 0, 5, 255, 5, 0, 5);
    EXPECT_EQ(frame_.At(0, 0), Texel(texture_, 100, 5));
    EXPECT_EQ(frame_.At(54, 0), Texel(texture_, 154, 5));
    EXPECT_EQ(frame_.At(154, 0), Texel(texture_, 254, 5));
    EXPECT_EQ(frame_.At(155, 0), texture_[0]);
    EXPECT_EQ(frame_.At(156, 0), kUntouched);

    // The same at the right edge and below the frame: pixels past column 511 and row 255 are
    // skipped, the rest match the plain filler.
    Frame reference;
    const int corners[][12] = {{400, 250, 700, 250, 400, 300, 0, 0, 240, 40, 0, 200},
                               {-140, -140, 650, 100, 100, 400, -3, 260, 250, 10, 128, -5}};
    for (const auto& c : corners) {
        Draw(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], c[9], c[10], c[11]);
        DrawTexturedTriangleReference(texture_.data(), reference.pixels.data(), c[0], c[1], c[2],
                                      c[3], c[4], c[5], c[6], c[7], c[8], c[9], c[10], c[11]);
    }
    DrawTexturedTriangleReference(texture_.data(), reference.pixels.data(), -100, 0, 155, 0, -100,
                                  10, 0, 5, 255, 5, 0, 5);
    // Drawing order differs for the first triangle only where it is overdrawn; compare after
    // redrawing it last in both.
    Draw(-100, 0, 155, 0, -100, 10, 0, 5, 255, 5, 0, 5);
    EXPECT_EQ(frame_.pixels, reference.pixels);
}

TEST_F(RasterTest, NegativeTextureCoordinatesPickTexelZero) {
    Draw(10, 10, 30, 10, 10, 20, -5, 100, -5, 100, -5, 100);
    EXPECT_EQ(frame_.At(15, 12), texture_[0]);
    Frame other;
    DrawTexturedTriangle(texture_.data(), other.pixels.data(), 10, 10, 30, 10, 10, 20, 100, -1, 100,
                         -1, 100, -1);
    EXPECT_EQ(other.At(15, 12), texture_[0]);
}

TEST_F(RasterTest, SameFrameAsThePlainFillerOnRandomTriangles) {
    std::mt19937 random(2024);
    auto uniform = [&random](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };
    Frame reference;
    for (int batch = 0; batch < 400; ++batch) {
        for (int i = 0; i < 25; ++i) {
            int v[12];
            const int kind = uniform(0, 9);
            for (int k = 0; k < 6; ++k) {
                // Mostly inside the guard window, now and then far beyond it.
                const bool column = k % 2 == 0;
                if (kind == 0)
                    v[k] = uniform(-1500, 1500);
                else if (kind < 4)
                    v[k] = column ? uniform(-149, 661) : uniform(-149, 405);
                else
                    v[k] = column ? uniform(0, 511) : uniform(0, 255);
            }
            for (int k = 6; k < 12; ++k)
                v[k] = kind == 1 ? uniform(-300, 600) : uniform(-5, 262);
            if (kind == 9) { // small triangles, as in a dense mesh
                v[2] = v[0] + uniform(-12, 12);
                v[3] = v[1] + uniform(-12, 12);
                v[4] = v[0] + uniform(-12, 12);
                v[5] = v[1] + uniform(-12, 12);
            }
            Draw(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11]);
            DrawTexturedTriangleReference(texture_.data(), reference.pixels.data(), v[0], v[1],
                                          v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10],
                                          v[11]);
        }
        ASSERT_EQ(frame_.pixels, reference.pixels) << "batch " << batch;
    }
}

TEST(DepthSort, WorkedExample) {
    float keys[] = {3.0f, 1.0f, 2.0f};
    int32_t indices[] = {0, 1, 2};
    SetDepthSortArrays(keys, indices);
    SortByDepth(0, 2);
    EXPECT_EQ(std::vector<float>(keys, keys + 3), (std::vector<float>{1.0f, 2.0f, 3.0f}));
    EXPECT_EQ(std::vector<int32_t>(indices, indices + 3), (std::vector<int32_t>{1, 2, 0}));
}

// Sorts entries 3 ... n + 2 of arrays with three guard entries on each side.
void SortMiddle(std::vector<float>& keys, std::vector<int32_t>& indices) {
    SetDepthSortArrays(keys.data(), indices.data());
    SortByDepth(3, static_cast<int32_t>(keys.size()) - 4);
}

TEST(DepthSort, SortsAndCarriesTheIndicesAlong) {
    std::mt19937 random(7);
    for (int trial = 0; trial < 3000; ++trial) {
        const int n = std::uniform_int_distribution<int>(0, 120)(random);
        const int distinct = std::uniform_int_distribution<int>(1, 300)(random); // duplicates too
        std::vector<float> keys(n + 6, -1000.0f);
        std::vector<int32_t> indices(n + 6, -1);
        std::vector<std::pair<float, int32_t>> before;
        for (int i = 0; i < n; ++i) {
            keys[i + 3] =
                static_cast<float>(std::uniform_int_distribution<int>(0, distinct)(random)) * 0.37f;
            indices[i + 3] = i;
            before.emplace_back(keys[i + 3], i);
        }
        SortMiddle(keys, indices);
        std::vector<std::pair<float, int32_t>> after;
        for (int i = 0; i < n; ++i)
            after.emplace_back(keys[i + 3], indices[i + 3]);
        ASSERT_TRUE(std::is_sorted(keys.begin() + 3, keys.end() - 3));
        std::sort(before.begin(), before.end());
        std::sort(after.begin(), after.end());
        ASSERT_EQ(before, after) << "each index must stay with its key";
        for (int g = 0; g < 3; ++g) {
            ASSERT_EQ(keys[g], -1000.0f);
            ASSERT_EQ(keys[n + 3 + g], -1000.0f);
            ASSERT_EQ(indices[g], -1);
            ASSERT_EQ(indices[n + 3 + g], -1);
        }
    }
}

TEST(DepthSort, FastSortLeavesEveryEntryWhereTheQuicksortDoes) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::mt19937 random(11);
    // Key sets: all different; a few values repeated; -0 beside +0; negative and positive
    // with repeats; a NaN among them.
    for (int kind = 0; kind < 5; ++kind)
        for (int trial = 0; trial < 200; ++trial) {
            SCOPED_TRACE(testing::Message() << "kind " << kind << " trial " << trial);
            const int n = std::uniform_int_distribution<int>(0, trial < 190 ? 200 : 6000)(random);
            std::vector<float> keys(n);
            std::vector<int32_t> indices(n);
            for (int i = 0; i < n; ++i) {
                const uint32_t r = random();
                const float spread = static_cast<float>(r % 1000000) * 1e-4f + 10.0f;
                keys[i] = kind == 0   ? spread
                          : kind == 1 ? (r % 50 == 0 ? 12.5f + static_cast<float>(r % 3) : spread)
                          : kind == 2 ? (r % 3 == 0   ? -0.0f
                                         : r % 3 == 1 ? 0.0f
                                                      : spread)
                          : kind == 3 ? static_cast<float>(static_cast<int>(r % 41) - 20) * 0.25f
                                      : (r % 97 == 0 ? nan : spread);
                indices[i] = static_cast<int32_t>(random() % 100000);
            }
            std::vector<float> plainKeys = keys;
            std::vector<int32_t> plainIndices = indices;
            SetDepthSortArrays(plainKeys.data(), plainIndices.data());
            SortByDepth(0, n - 1);
            ForEachVectorLevel([&](VectorLevel) {
                std::vector<float> fastKeys = keys;
                std::vector<int32_t> fastIndices = indices;
                SortByDepthFast(fastKeys.data(), fastIndices.data(), n);
                ASSERT_EQ(plainIndices, fastIndices);
                ASSERT_TRUE(n == 0 ||
                            std::memcmp(plainKeys.data(), fastKeys.data(), n * sizeof(float)) == 0);
            });
        }
}

TEST(DepthSort, KeysThatAreNotNumbersStayInRange) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::mt19937 random(99);
    for (int trial = 0; trial < 5000; ++trial) {
        const int n = std::uniform_int_distribution<int>(1, 40)(random);
        std::vector<float> keys(n + 6, -1000.0f);
        std::vector<int32_t> indices(n + 6, -1);
        for (int i = 0; i < n; ++i) {
            const int pick = std::uniform_int_distribution<int>(0, 3)(random);
            keys[i + 3] = pick == 0 ? nan : static_cast<float>(pick);
            indices[i + 3] = i;
        }
        SortMiddle(keys, indices);
        std::vector<int32_t> order(indices.begin() + 3, indices.end() - 3);
        std::sort(order.begin(), order.end());
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(order[i], i) << "the indices must stay a permutation";
        for (int g = 0; g < 3; ++g) {
            ASSERT_EQ(keys[g], -1000.0f);
            ASSERT_EQ(keys[n + 3 + g], -1000.0f);
        }
    }
}

// An object from an in-memory LightWave file, with normals, a numbered environment map, and
// screen data set by hand.
class FaceTest : public testing::Test {
  protected:
    std::unique_ptr<Objet3d> Load(const std::vector<LwoBuilder::Point>& points,
                                  const std::vector<LwoBuilder::Triangle>& triangles) {
        EXPECT_TRUE(
            WriteFileBytes("object.lwo", LwoBuilder().Points(points).Triangles(triangles).Build()));
        auto object = std::make_unique<Objet3d>();
        object->LoadLWO("object.lwo");
        object->CalcNormalesFaces();
        object->CalcNormalesPoints();
        const std::vector<uint32_t> texture = NumberedTexture();
        object->envMap.data = static_cast<uint32_t*>(std::malloc(texture.size() * 4));
        std::copy(texture.begin(), texture.end(), object->envMap.data);
        object->envMap.width = object->envMap.height = 256;
        object->envMap.bpp = 32;
        return object;
    }

    // One triangle in the plane z = 0 with the normal (0, 0, 1), at the given screen corners.
    std::unique_ptr<Objet3d> Triangle(int x0, int y0, int x1, int y1, int x2, int y2) {
        auto object = Load({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
        const int screen[3][2] = {{x0, y0}, {x1, y1}, {x2, y2}};
        for (int i = 0; i < 3; ++i) {
            object->screenX[i] = screen[i][0];
            object->screenY[i] = screen[i][1];
            object->envCoords[i * 2] = 40;
            object->envCoords[i * 2 + 1] = 50;
        }
        return object;
    }

    TempWorkingDirectory folder_;
    Frame frame_;
};

TEST_F(FaceTest, GuardWindowDropsTheWholeFace) {
    const Vec3f front{0.0f, 0.0f, 5.0f};
    struct Case {
        int x, y;
        bool drawn;
    };
    const Case cases[] = {{661, 100, true},   {662, 100, false}, {-149, 100, true},
                          {-150, 100, false}, {300, 405, true},  {300, 406, false},
                          {300, -149, true},  {300, -150, false}};
    for (const Case& c : cases) {
        Frame frame;
        auto object = Triangle(c.x, c.y, 250, 120, 260, 140);
        object->DrawFace(front, frame.pixels.data(), 0);
        EXPECT_EQ(frame.CountWritten() > 0, c.drawn) << c.x << ", " << c.y;
    }
}

TEST_F(FaceTest, BackFacesAreDroppedAndEdgeOnFacesDrawn) {
    auto object = Triangle(100, 100, 200, 100, 100, 200);
    struct Case {
        Vec3f camera;
        bool drawn;
    };
    const Case cases[] = {{{0, 0, 5}, true},   // in front of the normal
                          {{0, 0, -5}, false}, // behind it
                          {{3, 4, 0}, true}};  // edge-on: dot product 0
    for (const Case& c : cases) {
        Frame frame;
        object->DrawFace(c.camera, frame.pixels.data(), 0);
        EXPECT_EQ(frame.CountWritten() > 0, c.drawn)
            << c.camera.x << ", " << c.camera.y << ", " << c.camera.z;
    }
    // The test takes the first corner in object space: the object's position plays no part.
    object->SetPosition(0.0f, 0.0f, 10.0f);
    Frame frame;
    object->DrawFace(Vec3f{0, 0, 5}, frame.pixels.data(), 0);
    EXPECT_GT(frame.CountWritten(), 0);
}

TEST_F(FaceTest, RenderTestsBackFacesWithTheCornerInObjectSpaceWhereverTheObjectStands) {
    // The face x = 0 with the normal (1, 0, 0), seen along -x from 5 units away. The back-face
    // test takes its first corner without the object's position: (0, 0, 0) - camera.
    auto object = Load({{0, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{0, 1, 2}});
    CameraMatrix camera;
    BuildCameraMatrix(camera, -1.0f, 0.0f, 0.0f, 0.0);
    // At x = 10, seen from x = 15: drawn, as (0 - 15) * 1 < 0, though the face turns its back.
    object->SetPosition(10.0f, 0.0f, 0.0f);
    object->Render(camera, Vec3f{15.0f, 0.0f, 0.0f}, frame_.pixels.data());
    EXPECT_GT(frame_.CountWritten(), 1000);
    // At x = -10, seen from x = -5: not drawn, as (0 + 5) * 1 > 0, though it faces the camera.
    Frame turned;
    object->SetPosition(-10.0f, 0.0f, 0.0f);
    object->Render(camera, Vec3f{-5.0f, 0.0f, 0.0f}, turned.pixels.data());
    EXPECT_EQ(turned.CountWritten(), 0);
}

TEST_F(FaceTest, DrawFacePassesCornersAndEnvironmentCoordinatesInOrder) {
    auto object = Triangle(0, 0, 0, 4, 8, 4);
    object->envCoords[0] = 3;
    object->envCoords[1] = 4;
    object->DrawFace(Vec3f{0, 0, 5}, frame_.pixels.data(), 0);
    Frame reference;
    DrawTexturedTriangleReference(object->envMap.data, reference.pixels.data(), 0, 0, 0, 4, 8, 4, 3,
                                  4, 40, 50, 40, 50);
    EXPECT_EQ(frame_.pixels, reference.pixels);
}

TEST_F(FaceTest, RenderPaintsTheNearestFaceLast) {
    // Three triangles facing the camera at depths 3, 1 and 2 along the view axis (faces 0, 1,
    // 2), tilted differently so that each shows its own texel. Looking along +z from the
    // origin.
    std::vector<LwoBuilder::Point> points;
    std::vector<LwoBuilder::Triangle> triangles;
    const float depths[3] = {3.0f, 1.0f, 2.0f};
    const float tilts[3] = {0.3f, 0.0f, -0.3f}; // plane z = depth + tilt * x
    for (int f = 0; f < 3; ++f) {
        const float z = depths[f];
        const float k = tilts[f];
        points.push_back({-z, -z * 0.5f, z - k * z});
        points.push_back({-z, z * 0.5f, z - k * z});
        points.push_back({z, 0.0f, z + k * z});
        const uint16_t first = static_cast<uint16_t>(f * 3);
        triangles.push_back(
            {first, static_cast<uint16_t>(first + 1), static_cast<uint16_t>(first + 2)});
    }
    auto object = Load(points, triangles);
    ASSERT_LT(object->faceNormals[2], 0.0f); // facing the camera
    CameraMatrix camera;
    BuildCameraMatrix(camera, 0.0f, 0.0f, 1.0f, 0.0);
    object->Render(camera, Vec3f{0, 0, 0}, frame_.pixels.data());
    EXPECT_EQ(object->depthKeys[0], 1.0f);
    EXPECT_NE(object->envCoords[0], object->envCoords[1 * 3 * 2]);
    EXPECT_NE(object->envCoords[2 * 3 * 2], object->envCoords[1 * 3 * 2]);
    EXPECT_EQ(object->drawOrder[0], 1);
    EXPECT_EQ(object->drawOrder[1], 2);
    EXPECT_EQ(object->drawOrder[2], 0);
    // All three cover the screen centre; the nearest, face 1, shows there.
    const int32_t u = object->envCoords[1 * 3 * 2];
    const int32_t v = object->envCoords[1 * 3 * 2 + 1];
    EXPECT_EQ(frame_.At(256, 128), object->envMap.data[v * 256 + u]);
    EXPECT_GT(frame_.CountWritten(), 1000);
}

TEST_F(FaceTest, RenderDrawsWhatDrawFaceDrawsFaceByFace) {
    // A cloud of random triangles around the origin, seen from around and inside it: faces
    // turned away, faces past the guard window, and overlaps whose order shows.
    std::mt19937 random(21);
    std::uniform_real_distribution<float> coordinate(-6.0f, 6.0f);
    std::vector<LwoBuilder::Point> points;
    std::vector<LwoBuilder::Triangle> triangles;
    for (uint16_t p = 0; p < 600; p += 3) {
        const float cx = coordinate(random), cy = coordinate(random), cz = coordinate(random);
        for (int k = 0; k < 3; ++k)
            points.push_back({cx + coordinate(random) / 3, cy + coordinate(random) / 3,
                              cz + coordinate(random) / 3});
        triangles.push_back({p, static_cast<uint16_t>(p + 1), static_cast<uint16_t>(p + 2)});
    }
    auto object = Load(points, triangles);
    const float cameras[][3] = {{0, 0, -20}, {15, 5, -10}, {0, -25, 1}, {1, 1, 1}};
    for (const auto& position : cameras) {
        const Vec3f at{position[0], position[1], position[2]};
        const double length = std::sqrt(at.x * at.x + at.y * at.y + at.z * at.z);
        CameraMatrix camera;
        BuildCameraMatrix(camera, static_cast<float>(-at.x / length),
                          static_cast<float>(-at.y / length), static_cast<float>(-at.z / length),
                          0.3);
        Frame rendered, byFace;
        object->Render(camera, at, rendered.pixels.data());
        object->TransformPoints(camera, at);
        object->CalcEnvCoords();
        object->CalcDepthKeys();
        object->SortFaces();
        for (int32_t i = object->faceCount - 1; i >= 0; --i)
            object->DrawFace(at, byFace.pixels.data(), object->drawOrder[i]);
        EXPECT_GT(byFace.CountWritten(), 2000) << at.x << "," << at.y << "," << at.z;
        ASSERT_EQ(rendered.pixels, byFace.pixels) << at.x << "," << at.y << "," << at.z;
    }
}

TEST_F(FaceTest, RenderWithoutFacesTransformsAndDrawsNothing) {
    EXPECT_TRUE(WriteFileBytes("points.lwo", LwoBuilder().Points({{0, 0, 10}}).Build()));
    Objet3d object;
    object.LoadLWO("points.lwo");
    object.pointNormals.reset(new float[3]{0, 0, -1});
    object.viewNormals.reset(new float[3]);
    CameraMatrix camera;
    BuildCameraMatrix(camera, 0.0f, 0.0f, 1.0f, 0.0);
    object.Render(camera, Vec3f{0, 0, 0}, frame_.pixels.data());
    EXPECT_EQ(object.screenX[0], 256);
    EXPECT_EQ(object.envCoords[0], 127);
    EXPECT_EQ(frame_.CountWritten(), 0);
}

} // namespace
