// The 3D engine's frame: Render of a torus of 4096 triangles seen by the object scene's
// camera, and the triangle filler alone against the plain per-pixel-tested version, side by
// side on the same triangles: those of a torus frame (about 15 pixels and 5 rows each),
// triangles of all sizes across the guard window, and large triangles on the frame.
#include "base/framebuffer.h"
#include "engine3d/camera.h"
#include "engine3d/objet3d.h"
#include "engine3d/raster.h"
#include "engine3d/sort.h"

#include "lwo_builder.h"
#include "raster_reference.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A torus around the vertical axis through (0, 60, 0), the point the object scene looks at:
// major radius 6, tube radius 2.5, 64 x 32 quads split into triangles whose normals face out.
std::string TorusFile() {
    constexpr int kAround = 64, kTube = 32;
    constexpr double kPi = 3.14159265358979323846;
    std::vector<LwoBuilder::Point> points;
    std::vector<std::array<double, 3>> outward;
    for (int i = 0; i < kAround; ++i)
        for (int j = 0; j < kTube; ++j) {
            const double a = 2 * kPi * i / kAround, b = 2 * kPi * j / kTube;
            const double ring = 6.0 + 2.5 * std::cos(b);
            points.push_back({static_cast<float>(ring * std::cos(a)),
                              static_cast<float>(60.0 + 2.5 * std::sin(b)),
                              static_cast<float>(ring * std::sin(a))});
            outward.push_back({std::cos(b) * std::cos(a), std::sin(b), std::cos(b) * std::sin(a)});
        }
    auto index = [](int i, int j) {
        return static_cast<uint16_t>((i % kAround) * kTube + (j % kTube));
    };
    std::vector<LwoBuilder::Triangle> triangles;
    auto add = [&](uint16_t p, uint16_t q, uint16_t r) {
        const auto& A = points[p];
        const auto& B = points[q];
        const auto& C = points[r];
        const double e1[3] = {B[0] - A[0], B[1] - A[1], B[2] - A[2]};
        const double e2[3] = {C[0] - A[0], C[1] - A[1], C[2] - A[2]};
        const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                             e1[0] * e2[1] - e1[1] * e2[0]};
        const auto& o = outward[p];
        if (n[0] * o[0] + n[1] * o[1] + n[2] * o[2] >= 0)
            triangles.push_back({p, q, r});
        else
            triangles.push_back({p, r, q});
    };
    for (int i = 0; i < kAround; ++i)
        for (int j = 0; j < kTube; ++j) {
            add(index(i, j), index(i + 1, j), index(i + 1, j + 1));
            add(index(i, j), index(i + 1, j + 1), index(i, j + 1));
        }
    return LwoBuilder().Points(points).Triangles(triangles).Build();
}

// A loaded torus with normals and a patterned 256 x 256 environment map.
std::unique_ptr<Objet3d> MakeTorus() {
    char path[] = "/tmp/render-bench-XXXXXX";
    const int fd = mkstemp(path);
    const std::string bytes = TorusFile();
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        std::abort();
    close(fd);
    auto object = std::make_unique<Objet3d>();
    object->LoadLWO(path);
    std::remove(path);
    object->CalcNormalesFaces();
    object->CalcNormalesPoints();
    object->envMap.data = static_cast<uint32_t*>(std::malloc(256 * 256 * 4));
    object->envMap.width = object->envMap.height = 256;
    object->envMap.bpp = 32;
    for (uint32_t i = 0; i < 256 * 256; ++i)
        object->envMap.data[i] = (i * 2654435761u) & 0xFFFFFF;
    object->SetPosition(0.0f, 0.0f, 0.0f);
    return object;
}

// The object scene's camera at time t: circling at distance 20, looking at (0, 60, 0).
struct Camera {
    CameraMatrix matrix;
    Vec3f position;
};

Camera SceneCamera(double t) {
    Camera camera;
    camera.position = {static_cast<float>(std::sin(t) * -20.0),
                       static_cast<float>(60.0 - std::sin(t * 1.3) * 20.0),
                       static_cast<float>(std::cos(t) * -20.0)};
    const float d[3] = {-camera.position.x, static_cast<float>(60.0f - camera.position.y),
                        -camera.position.z};
    const float length = static_cast<float>(std::sqrt(static_cast<double>(d[0]) * d[0] +
                                                      static_cast<double>(d[1]) * d[1] +
                                                      static_cast<double>(d[2]) * d[2]));
    BuildCameraMatrix(camera.matrix, d[0] / length, d[1] / length, d[2] / length, 0.0);
    return camera;
}

const double kTimes[] = {0.0, 10.0, 25.0, 41.5};

void BM_Render(benchmark::State& state) {
    auto torus = MakeTorus();
    const Camera camera = SceneCamera(kTimes[state.range(0)]);
    std::vector<uint32_t> frame(kFramePixels, 0);
    for (auto _ : state) {
        torus->Render(camera.matrix, camera.position, frame.data());
        benchmark::DoNotOptimize(frame.data());
    }
    state.SetItemsProcessed(state.iterations() * torus->faceCount);
}
BENCHMARK(BM_Render)->DenseRange(0, 3);

// The depth sort of one frame's keys: the quicksort alone, and the fast sort that gives the same
// order. Each run starts again from the keys in face order.
void DepthSort(benchmark::State& state, bool fast) {
    auto torus = MakeTorus();
    const Camera camera = SceneCamera(kTimes[state.range(0)]);
    torus->TransformPoints(camera.matrix, camera.position);
    torus->CalcDepthKeys();
    const std::vector<float> keys(torus->depthKeys.get(),
                                  torus->depthKeys.get() + torus->faceCount);
    std::vector<float> work(keys.size());
    std::vector<int32_t> order(keys.size());
    for (auto _ : state) {
        work = keys;
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = static_cast<int32_t>(i);
        if (fast) {
            SortByDepthFast(work.data(), order.data(), torus->faceCount);
        } else {
            SetDepthSortArrays(work.data(), order.data());
            SortByDepth(0, torus->faceCount - 1);
        }
        benchmark::DoNotOptimize(order.data());
    }
}
BENCHMARK_CAPTURE(DepthSort, plain, false)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(DepthSort, fast, true)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

// The fillers' arguments for one frame: the faces that pass DrawFace's tests, in drawing order.
using Triangle = std::array<int32_t, 12>;

std::vector<Triangle> FrameTriangles(double t) {
    auto torus = MakeTorus();
    const Camera camera = SceneCamera(t);
    torus->TransformPoints(camera.matrix, camera.position);
    torus->CalcEnvCoords();
    torus->CalcDepthKeys();
    torus->SortFaces();
    std::vector<Triangle> triangles;
    for (int32_t i = torus->faceCount - 1; i >= 0; --i) {
        const int32_t f = torus->drawOrder[i];
        const int32_t* c = &torus->faces[f * 3];
        bool inside = true;
        for (int k = 0; k < 3; ++k) {
            const int32_t x = torus->screenX[c[k]], y = torus->screenY[c[k]];
            inside = inside && x > -150 && x < 662 && y > -150 && y < 406;
        }
        const float* p = &torus->points[c[0] * 3];
        const float* n = &torus->faceNormals[f * 3];
        const double facing = (static_cast<double>(p[0]) - camera.position.x) * n[0] +
                              (static_cast<double>(p[1]) - camera.position.y) * n[1] +
                              (static_cast<double>(p[2]) - camera.position.z) * n[2];
        if (!inside || facing > 0)
            continue;
        Triangle triangle;
        for (int k = 0; k < 3; ++k) {
            triangle[k * 2] = torus->screenX[c[k]];
            triangle[k * 2 + 1] = torus->screenY[c[k]];
            triangle[6 + k * 2] = torus->envCoords[c[k] * 2];
            triangle[6 + k * 2 + 1] = torus->envCoords[c[k] * 2 + 1];
        }
        triangles.push_back(triangle);
    }
    return triangles;
}

// Triangles anywhere in the guard window, of every size, many of them partly off the frame.
std::vector<Triangle> GuardWindowTriangles() {
    std::mt19937 random(5);
    auto uniform = [&random](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };
    std::vector<Triangle> triangles(400);
    for (Triangle& t : triangles) {
        const int cx = uniform(-100, 611), cy = uniform(-100, 355), size = uniform(4, 120);
        for (int k = 0; k < 3; ++k) {
            t[k * 2] = std::max(-149, std::min(661, cx + uniform(-size, size)));
            t[k * 2 + 1] = std::max(-149, std::min(405, cy + uniform(-size, size)));
            t[6 + k * 2] = uniform(7, 247);
            t[6 + k * 2 + 1] = uniform(7, 247);
        }
    }
    return triangles;
}

// Large triangles with their corners on the frame: pixel work only, no clipping.
std::vector<Triangle> OnScreenTriangles() {
    std::mt19937 random(8);
    auto uniform = [&random](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };
    std::vector<Triangle> triangles(100);
    for (Triangle& t : triangles)
        for (int k = 0; k < 3; ++k) {
            t[k * 2] = uniform(0, 511);
            t[k * 2 + 1] = uniform(0, 255);
            t[6 + k * 2] = uniform(7, 247);
            t[6 + k * 2 + 1] = uniform(7, 247);
        }
    return triangles;
}

using Filler = void (*)(const uint32_t*, uint32_t*, int32_t, int32_t, int32_t, int32_t, int32_t,
                        int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t);

void RunFiller(benchmark::State& state, Filler fill, const std::vector<Triangle>& triangles) {
    std::vector<uint32_t> texture(256 * 256);
    for (uint32_t i = 0; i < texture.size(); ++i)
        texture[i] = i;
    std::vector<uint32_t> frame(kFramePixels, 0);
    for (auto _ : state) {
        for (const Triangle& t : triangles)
            fill(texture.data(), frame.data(), t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7], t[8],
                 t[9], t[10], t[11]);
        benchmark::DoNotOptimize(frame.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(triangles.size()));
}

void BM_FrameTriangles_Engine(benchmark::State& state) {
    RunFiller(state, DrawTexturedTriangle, FrameTriangles(kTimes[state.range(0)]));
}
void BM_FrameTriangles_Plain(benchmark::State& state) {
    RunFiller(state, DrawTexturedTriangleReference, FrameTriangles(kTimes[state.range(0)]));
}
void BM_GuardWindowTriangles_Engine(benchmark::State& state) {
    RunFiller(state, DrawTexturedTriangle, GuardWindowTriangles());
}
void BM_GuardWindowTriangles_Plain(benchmark::State& state) {
    RunFiller(state, DrawTexturedTriangleReference, GuardWindowTriangles());
}
void BM_OnScreenTriangles_Engine(benchmark::State& state) {
    RunFiller(state, DrawTexturedTriangle, OnScreenTriangles());
}
void BM_OnScreenTriangles_Plain(benchmark::State& state) {
    RunFiller(state, DrawTexturedTriangleReference, OnScreenTriangles());
}
BENCHMARK(BM_FrameTriangles_Engine)->DenseRange(0, 3);
BENCHMARK(BM_FrameTriangles_Plain)->DenseRange(0, 3);
BENCHMARK(BM_GuardWindowTriangles_Engine);
BENCHMARK(BM_GuardWindowTriangles_Plain);
BENCHMARK(BM_OnScreenTriangles_Engine);
BENCHMARK(BM_OnScreenTriangles_Plain);

} // namespace
