// The pixel effects, each timed beside its plain version (tests/support/fx_reference.cpp, which
// the tests check them against bit for bit) on the work of one frame of the scenes that use it.
#include "base/cpu.h"
#include "fx/blit.h"
#include "fx/blockgrid.h"
#include "fx/radialblur.h"

#include "fx_reference.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// Same generator as the particle scene's layout, so the positions look like its swarm.
struct Random {
    uint32_t state = 1;
    int Next() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    }
};

// A round glow: bright in the middle, black at the corners.
std::vector<uint32_t> GlowSprite(int size) {
    std::vector<uint32_t> sprite(size * size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            double dx = x - size / 2.0, dy = y - size / 2.0;
            int level = static_cast<int>(255 * std::exp(-(dx * dx + dy * dy) / 40.0));
            sprite[y * size + x] = static_cast<uint32_t>(level << 16 | level << 8 | level / 2);
        }
    return sprite;
}

// A frame like the one the object scene blurs: a bright ring over black.
std::vector<uint32_t> RingFrame() {
    std::vector<uint32_t> frame(kFramePixels, 0);
    for (int y = 0; y < kFrameHeight; ++y)
        for (int x = 0; x < kFrameWidth; ++x) {
            double r = std::hypot(x - 256.0, (y - 128.0) * 1.5);
            if (r > 40 && r < 90)
                frame[y * kFrameWidth + x] = static_cast<uint32_t>((x & 0xFF) << 16 | 0x8000 | y);
        }
    return frame;
}

std::vector<uint32_t> Texture() {
    std::vector<uint32_t> texture(256 * 256);
    for (uint32_t y = 0; y < 256; ++y)
        for (uint32_t x = 0; x < 256; ++x)
            texture[y * 256 + x] = (x ^ y) << 16 | (x * 3 & 0xFF) << 8 | y;
    return texture;
}

// A rotated, zoomed mapping with a light gradient; `masked` leaves only a disc drawn, like the
// ball scene's grid.
void FillGrid(bool masked) {
    for (int c = 0; c < kGridColumns; ++c)
        for (int r = 0; r < kGridRows; ++r) {
            double x = 8.0 * c - 256, y = 8.0 * r - 128;
            int p = GridIndex(c, r);
            blockGrid.u[p] = static_cast<int32_t>((x * 0.8 - y * 0.6) * 65536 * 1.3);
            blockGrid.v[p] = static_cast<int32_t>((x * 0.6 + y * 0.8) * 65536 * 1.3);
            blockGrid.light[p] = (c * 3 + r * 2) << 8;
            if (masked && std::hypot(x, y) > 110)
                blockGrid.light[p] = kEmptyLight;
        }
}

// The plain version; the fast one as the program runs it (AVX-512 or AVX2 where the processor
// has them); the fast one held to AVX2 (the blur's AVX-512 code off); the fast one held to SSE2,
// as on processors without AVX2.
enum class Version { kPlain, kFast, kFastAvx2, kFastSse2 };

// Turns the vector code a version does without off, and back to what it was afterwards.
class VectorSetting {
  public:
    explicit VectorSetting(Version version)
        : level_(version == Version::kFastSse2   ? VectorLevel::kSse2
                 : version == Version::kFastAvx2 ? VectorLevel::kAvx2
                                                 : VectorLevel::kAvx512) {}

  private:
    ScopedVectorLevel level_;
};

// One frame of the particle scene's blits: 200 sprites of 20 x 20 (the size of the show's), then a
// 512-wide logo.
void ParticleBlits(benchmark::State& state, Version version) {
    VectorSetting vectors(version);
    auto blit = version == Version::kPlain ? ReferenceBlitAdditive : BlitAdditive;
    std::vector<uint32_t> sprite = GlowSprite(20), logo(512 * 64, 0x00102030);
    std::vector<uint32_t> frame(kFramePixels, 0);
    Random random;
    int positions[200][2];
    for (auto& position : positions) {
        position[0] = random.Next() % 512;
        position[1] = random.Next() % 256;
    }
    for (auto _ : state) {
        for (const auto& position : positions)
            blit(sprite.data(), 20, 20, frame.data(), position[0], position[1]);
        blit(logo.data(), 512, 64, frame.data(), 0, 0);
        benchmark::DoNotOptimize(frame.data());
    }
}

// The blur is in place: each run smears the result of the one before, which costs the same.
void Blur(benchmark::State& state, Version version) {
    VectorSetting vectors(version);
    std::vector<uint32_t> frame = RingFrame();
    int cx = static_cast<int>(state.range(0)), cy = static_cast<int>(state.range(1));
    for (auto _ : state) {
        if (version == Version::kPlain)
            ReferenceRadialBlur(frame.data(), cx, cy);
        else
            RadialBlur(frame.data(), cx, cy);
        benchmark::DoNotOptimize(frame.data());
    }
}

void Map(benchmark::State& state, bool masked, Version version) {
    VectorSetting vectors(version);
    std::vector<uint32_t> texture = Texture(), frame(kFramePixels, 0);
    FillGrid(masked);
    for (auto _ : state) {
        if (masked && version == Version::kPlain)
            ReferenceMapGridMasked(blockGrid, texture.data(), frame.data());
        else if (masked)
            MapGridMasked(texture.data(), frame.data());
        else if (version == Version::kPlain)
            ReferenceMapGrid(blockGrid, texture.data(), frame.data());
        else
            MapGrid(texture.data(), frame.data());
        benchmark::DoNotOptimize(frame.data());
    }
}

} // namespace

BENCHMARK_CAPTURE(ParticleBlits, plain, Version::kPlain)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ParticleBlits, fast, Version::kFast)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ParticleBlits, fast_avx2, Version::kFastAvx2)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ParticleBlits, fast_sse2, Version::kFastSse2)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Blur, plain, Version::kPlain)
    ->Args({256, 128})
    ->Args({100, 60})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Blur, fast, Version::kFast)
    ->Args({256, 128})
    ->Args({100, 60})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Blur, fast_avx2, Version::kFastAvx2)
    ->Args({256, 128})
    ->Args({100, 60})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Blur, fast_sse2, Version::kFastSse2)
    ->Args({256, 128})
    ->Args({100, 60})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Map, grid_plain, false, Version::kPlain)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Map, grid_fast, false, Version::kFast)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Map, grid_fast_avx2, false, Version::kFastAvx2)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Map, grid_fast_sse2, false, Version::kFastSse2)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Map, masked_plain, true, Version::kPlain)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Map, masked_fast, true, Version::kFast)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Map, masked_fast_avx2, true, Version::kFastAvx2)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Map, masked_fast_sse2, true, Version::kFastSse2)->Unit(benchmark::kMicrosecond);
