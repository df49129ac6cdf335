// One frame of the work of scenes four to six: the rotozoom fill beside its plain reference, the
// rippled plane's grid, and the planes and cylinder grids.
#include "base/framebuffer.h"
#include "scenes/planes.h"
#include "scenes/rippledplane.h"
#include "scenes/rotozoom.h"

#include "rotozoom_reference.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

std::vector<uint32_t> RandomTexture() {
    std::mt19937 random(7);
    std::vector<uint32_t> texture(256 * 256);
    for (uint32_t& texel : texture)
        texel = random() & 0xFFFFFF;
    return texture;
}

// A frame of the scene 100 s into the show (the angle 60 radians).
const RotozoomCorners kCorners = RotozoomCornersAt(60.0);

void BM_FillRotozoomReference(benchmark::State& state) {
    const std::vector<uint32_t> texture = RandomTexture();
    std::vector<uint32_t> frame(kFramePixels);
    for (auto _ : state) {
        ReferenceFillRotozoom(texture.data(), frame.data(), kCorners);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kFramePixels);
}
BENCHMARK(BM_FillRotozoomReference);

// FillRotozoom as the scene runs it (the fastest method this processor runs well).
void BM_FillRotozoom(benchmark::State& state) {
    const std::vector<uint32_t> texture = RandomTexture();
    std::vector<uint32_t> frame(kFramePixels);
    for (auto _ : state) {
        FillRotozoom(texture.data(), frame.data(), kCorners);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kFramePixels);
    state.SetLabel(RotozoomPreferredMethod() == RotozoomMethod::kBitExtract ? "bit extract"
                   : RotozoomPreferredMethod() == RotozoomMethod::kGather   ? "gather"
                                                                            : "one by one");
}
BENCHMARK(BM_FillRotozoom);

// Each method on its own.
void BM_FillRotozoomWith(benchmark::State& state) {
    const RotozoomMethod method = static_cast<RotozoomMethod>(state.range(0));
    if (!RotozoomMethodAvailable(method)) {
        state.SkipWithError("not available on this processor");
        return;
    }
    const std::vector<uint32_t> texture = RandomTexture();
    std::vector<uint32_t> frame(kFramePixels);
    for (auto _ : state) {
        FillRotozoomWith(method, texture.data(), frame.data(), kCorners);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kFramePixels);
}
BENCHMARK(BM_FillRotozoomWith)
    ->ArgName("method")
    ->Arg(static_cast<int>(RotozoomMethod::kOneByOne))
    ->Arg(static_cast<int>(RotozoomMethod::kGather))
    ->Arg(static_cast<int>(RotozoomMethod::kBitExtract));

void BM_FillRippledPlane(benchmark::State& state) {
    const RippledPlaneCamera camera = RippledPlaneCameraAt(80.0);
    for (auto _ : state) {
        FillRippledPlane(1000.0f, camera.px, 320.0f, camera.pz, camera.fx, camera.fy, camera.fz,
                         0.0, 80.0f);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FillRippledPlane);

void BM_FillPlanesAndCylinder(benchmark::State& state) {
    const PlanesCamera camera = PlanesCameraAt(100.0);
    for (auto _ : state) {
        FillPlanes(800.0f, camera.px, camera.py, camera.pz, camera.fx, camera.fy, camera.fz,
                   camera.roll);
        FillCylinder(400.0f, camera.px, camera.py, camera.pz, camera.fx, camera.fy, camera.fz,
                     camera.roll);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FillPlanesAndCylinder);

} // namespace
