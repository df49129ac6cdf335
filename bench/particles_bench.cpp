// The particle step's pull (200 particles against 3,000 targets, a large shape): the plain
// version beside each version of the program. All give the same bits (tests/particles_test).
#include "scenes/particles.h"

#include "particles_reference.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr int kTargets = 3000;

struct Swarm {
    ParticleSet particles;
    std::vector<float> targetsX, targetsY;
    Swarm() {
        ParticleRandom random;
        particles = InitParticles(kParticleCount, random);
        std::mt19937 pick(7);
        for (int j = 0; j < kTargets; ++j) {
            targetsX.push_back(static_cast<float>(pick() % 512));
            targetsY.push_back(static_cast<float>(pick() % 256));
        }
    }
};

void BM_MoveParticlesPlain(benchmark::State& state) {
    Swarm s;
    ParticleSet& p = s.particles;
    for (auto _ : state) {
        ReferenceMoveParticles(p.count, p.x.data(), p.y.data(), p.vx.data(), p.vy.data(),
                               s.targetsX.data(), s.targetsY.data(), kTargets);
        benchmark::DoNotOptimize(p.x.data());
    }
    state.SetItemsProcessed(state.iterations() * p.count * kTargets);
}
BENCHMARK(BM_MoveParticlesPlain)->Unit(benchmark::kMicrosecond);

void MoveWith(benchmark::State& state, ParticleKernel kernel) {
    if (!ParticleKernelAvailable(kernel)) {
        state.SkipWithError("not available on this processor");
        return;
    }
    Swarm s;
    ParticleSet& p = s.particles;
    for (auto _ : state) {
        MoveParticlesWith(kernel, p.count, p.x.data(), p.y.data(), p.vx.data(), p.vy.data(),
                          s.targetsX.data(), s.targetsY.data(), kTargets);
        benchmark::DoNotOptimize(p.x.data());
    }
    state.SetItemsProcessed(state.iterations() * p.count * kTargets);
}

void BM_MoveParticlesPortable(benchmark::State& state) {
    MoveWith(state, ParticleKernel::kPortable);
}
BENCHMARK(BM_MoveParticlesPortable)->Unit(benchmark::kMicrosecond);

void BM_MoveParticlesAvx2(benchmark::State& state) {
    MoveWith(state, ParticleKernel::kAvx2);
}
BENCHMARK(BM_MoveParticlesAvx2)->Unit(benchmark::kMicrosecond);

void BM_MoveParticlesAvx512(benchmark::State& state) {
    MoveWith(state, ParticleKernel::kAvx512);
}
BENCHMARK(BM_MoveParticlesAvx512)->Unit(benchmark::kMicrosecond);

} // namespace
