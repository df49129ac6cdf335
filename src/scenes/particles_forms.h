// The particle step's forms of its costly part, the pull: for each of `count` particles at
// (x[i], y[i]), the sum over the targets of (target - particle) / distance^4, worked out in
// double precision in target order, a target exactly on the particle left out, into (fx[i],
// fy[i]). The plain form is in particles.cpp, the AVX2 and AVX-512 ones in particles_avx2.cpp
// and particles_avx512.cpp; all give the same bits.
#pragma once

#include <cstdint>

using SumPullsFunction = void (*)(int32_t count, const float* x, const float* y,
                                  const float* targetsX, const float* targetsY, int32_t targetCount,
                                  double* fx, double* fy);

void SumPullsAvx2(int32_t count, const float* x, const float* y, const float* targetsX,
                  const float* targetsY, int32_t targetCount, double* fx, double* fy);
void SumPullsAvx512(int32_t count, const float* x, const float* y, const float* targetsX,
                    const float* targetsY, int32_t targetCount, double* fx, double* fy);

namespace {

// The vector forms' loops, one particle per lane of a register, written once for both register
// widths (measured side by side against a copy per width, 200 particles and 3,000 targets, median
// of 9 per step: AVX2 228 us either way, AVX-512 100 us either way). `Lanes` is the form's own set
// of register operations:
//   Doubles                         the register type, kCount doubles
//   Load(values, n)                 the first min(n, kCount) floats as doubles, the other lanes 0
//   Store(values, sums, n)          the first min(n, kCount) lanes into values
//   Broadcast(value), Zero()
//   AddPull(tx, ty, px, py, sumX, sumY)  one target's term added into each lane's sums
//
// The pull of the targets on up to kGroups * kCount particles (at least (kGroups - 1) * kCount
// + 1): two groups share each target load and keep two divisions in flight.
template <class Lanes, int kGroups>
void SumPullsOfGroups(int32_t count, const float* x, const float* y, const float* targetsX,
                      const float* targetsY, int32_t targetCount, double* fx, double* fy) {
    using Doubles = typename Lanes::Doubles;
    constexpr int32_t kCount = Lanes::kCount;
    Doubles px[kGroups], py[kGroups], sumX[kGroups], sumY[kGroups];
    for (int g = 0; g < kGroups; ++g) {
        px[g] = Lanes::Load(x + kCount * g, count - kCount * g);
        py[g] = Lanes::Load(y + kCount * g, count - kCount * g);
        sumX[g] = Lanes::Zero();
        sumY[g] = Lanes::Zero();
    }
    for (int32_t j = 0; j < targetCount; ++j) {
        const Doubles tx = Lanes::Broadcast(targetsX[j]);
        const Doubles ty = Lanes::Broadcast(targetsY[j]);
        for (int g = 0; g < kGroups; ++g)
            Lanes::AddPull(tx, ty, px[g], py[g], sumX[g], sumY[g]);
    }
    for (int g = 0; g < kGroups; ++g) {
        Lanes::Store(fx + kCount * g, sumX[g], count - kCount * g);
        Lanes::Store(fy + kCount * g, sumY[g], count - kCount * g);
    }
}

// The pull on all `count` particles: two registers of particles at a time, then one, the last
// one partly filled.
template <class Lanes>
void SumPullsInLanes(int32_t count, const float* x, const float* y, const float* targetsX,
                     const float* targetsY, int32_t targetCount, double* fx, double* fy) {
    constexpr int32_t kPair = 2 * Lanes::kCount;
    int32_t i = 0;
    for (; i + kPair <= count; i += kPair)
        SumPullsOfGroups<Lanes, 2>(kPair, x + i, y + i, targetsX, targetsY, targetCount, fx + i,
                                   fy + i);
    for (; i < count; i += Lanes::kCount)
        SumPullsOfGroups<Lanes, 1>(count - i, x + i, y + i, targetsX, targetsY, targetCount, fx + i,
                                   fy + i);
}

} // namespace
