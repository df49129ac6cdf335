#include "scenes/particles.h"

#include "assets/surface.h"
#include "base/cpu.h"
#include "fx/blit.h"
#include "base/numeric.h"
#include "scenes/scene_assets.h"
#include "scenes/scenes.h"
#include "shell/clock.h"
#include "shell/display.h"

#include <cmath>
#include <cstring>

// The AVX2 and AVX-512 versions, chosen at run time from the vector level.
#if defined(DEMO_X86_VECTORS)
#include <immintrin.h>
#endif

namespace {

const char* const kShapePaths[3] = {"data/particules/forme.bmp", "data/particules/forme2.bmp",
                                    "data/particules/forme3.bmp"};
const char* const kSpritePath = "data/particules/light2.bmp";
const char* const kLogoPath = "data/klvlogo.bmp";

constexpr float kEndTime = 35.0f;     // scene-clock seconds
constexpr double kPhaseLength = 10.0; // seconds per shape
constexpr double kCycleLength = 30.0; // three shapes, then the first again

constexpr double kPush = 0.7;       // length of the push along the pull, pixels per frame
constexpr double kSpeedScale = 0.7; // velocity / (length * 0.7): speed 1/0.7 pixels per frame

// Steps 2-4 for one particle once its pull (fx, fy) is summed. Every store to the particle
// arrays rounds to float, as the arrays hold single precision.
inline void SteerAndMove(double fx, double fy, float* x, float* y, float* vx, float* vy) {
    const double pull = std::sqrt(fx * fx + fy * fy);
    if (pull != 0.0) { // no pull (no target, or the pulls cancel out): keep the heading
        *vx = static_cast<float>(*vx + kPush * fx / pull);
        *vy = static_cast<float>(*vy + kPush * fy / pull);
    }
    const double speed =
        std::sqrt(static_cast<double>(*vx) * *vx + static_cast<double>(*vy) * *vy) * kSpeedScale;
    if (speed != 0.0) {
        *vx = static_cast<float>(*vx / speed);
        *vy = static_cast<float>(*vy / speed);
    }
    *x = static_cast<float>(*x + *vx);
    *y = static_cast<float>(*y + *vy);
}

// Particles first..count-1, one at a time. A target exactly on the particle (d^2 = 0) would
// give an infinite weight and a NaN pull, so it is left out.
void MovePortable(int32_t first, int32_t count, float* x, float* y, float* vx, float* vy,
                  const float* targetsX, const float* targetsY, int32_t targetCount) {
    for (int32_t i = first; i < count; ++i) {
        const double px = x[i];
        const double py = y[i];
        double fx = 0.0;
        double fy = 0.0;
        for (int32_t j = 0; j < targetCount; ++j) {
            const double dx = targetsX[j] - px;
            const double dy = targetsY[j] - py;
            const double d2 = dx * dx + dy * dy;
            if (d2 == 0.0)
                continue;
            const double w = 1.0 / (d2 * d2);
            fx += w * dx;
            fy += w * dy;
        }
        SteerAndMove(fx, fy, &x[i], &y[i], &vx[i], &vy[i]);
    }
}

#if defined(DEMO_X86_VECTORS)

// The pull of `targetCount` targets on the 4 * kGroups particles starting at `first`, one
// particle per lane of each register: every lane adds its terms in target order with the same
// double operations (no fused multiply-add) as MovePortable, so the sums are the same bits. Two
// groups share each target load and keep two divisions in flight.
template <int kGroups>
__attribute__((target("avx2"))) void PullAvx2(const float* x, const float* y, const float* targetsX,
                                              const float* targetsY, int32_t targetCount,
                                              double* fx, double* fy) {
    __m256d px[kGroups], py[kGroups], sumX[kGroups], sumY[kGroups];
    for (int g = 0; g < kGroups; ++g) {
        px[g] = _mm256_cvtps_pd(_mm_loadu_ps(x + 4 * g));
        py[g] = _mm256_cvtps_pd(_mm_loadu_ps(y + 4 * g));
        sumX[g] = _mm256_setzero_pd();
        sumY[g] = _mm256_setzero_pd();
    }
    const __m256d zero = _mm256_setzero_pd();
    const __m256d one = _mm256_set1_pd(1.0);
    for (int32_t j = 0; j < targetCount; ++j) {
        const __m256d tx = _mm256_set1_pd(targetsX[j]);
        const __m256d ty = _mm256_set1_pd(targetsY[j]);
        for (int g = 0; g < kGroups; ++g) {
            const __m256d dx = _mm256_sub_pd(tx, px[g]);
            const __m256d dy = _mm256_sub_pd(ty, py[g]);
            const __m256d d2 = _mm256_add_pd(_mm256_mul_pd(dx, dx), _mm256_mul_pd(dy, dy));
            const __m256d w = _mm256_div_pd(one, _mm256_mul_pd(d2, d2));
            // Lanes whose target lies exactly on the particle keep their sums unchanged
            // (unordered compare: a NaN distance is summed, as in the portable loop).
            const __m256d use = _mm256_cmp_pd(d2, zero, _CMP_NEQ_UQ);
            sumX[g] = _mm256_blendv_pd(sumX[g], _mm256_add_pd(sumX[g], _mm256_mul_pd(w, dx)), use);
            sumY[g] = _mm256_blendv_pd(sumY[g], _mm256_add_pd(sumY[g], _mm256_mul_pd(w, dy)), use);
        }
    }
    for (int g = 0; g < kGroups; ++g) {
        _mm256_storeu_pd(fx + 4 * g, sumX[g]);
        _mm256_storeu_pd(fy + 4 * g, sumY[g]);
    }
}

// PullAvx2 or PullAvx512 for one group of particles.
using PullFunction = void (*)(const float* x, const float* y, const float* targetsX,
                              const float* targetsY, int32_t targetCount, double* fx, double* fy);

// Moves particles 0 ... count - 1 in groups of kLanes, each group's pulls summed by `pull` and
// then applied lane by lane; returns how many it moved (a multiple of kLanes).
template <int kLanes, PullFunction pull>
int32_t MoveGroups(int32_t count, float* x, float* y, float* vx, float* vy, const float* targetsX,
                   const float* targetsY, int32_t targetCount) {
    double fx[kLanes];
    double fy[kLanes];
    int32_t i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        pull(x + i, y + i, targetsX, targetsY, targetCount, fx, fy);
        for (int lane = 0; lane < kLanes; ++lane)
            SteerAndMove(fx[lane], fy[lane], &x[i + lane], &y[i + lane], &vx[i + lane],
                         &vy[i + lane]);
    }
    return i;
}

void MoveAvx2(int32_t count, float* x, float* y, float* vx, float* vy, const float* targetsX,
              const float* targetsY, int32_t targetCount) {
    int32_t i = MoveGroups<8, PullAvx2<2>>(count, x, y, vx, vy, targetsX, targetsY, targetCount);
    i += MoveGroups<4, PullAvx2<1>>(count - i, x + i, y + i, vx + i, vy + i, targetsX, targetsY,
                                    targetCount);
    MovePortable(i, count, x, y, vx, vy, targetsX, targetsY, targetCount);
}

// The same with AVX-512: eight particles per register, and a mask register instead of the
// blend. (Measured side by side, 200 particles and 3,000 targets on a busy 2-core machine with
// 512-bit units: AVX2 288 us per step, this 126 us.)
template <int kGroups>
__attribute__((target("avx512f"))) void PullAvx512(const float* x, const float* y,
                                                   const float* targetsX, const float* targetsY,
                                                   int32_t targetCount, double* fx, double* fy) {
    __m512d px[kGroups], py[kGroups], sumX[kGroups], sumY[kGroups];
    for (int g = 0; g < kGroups; ++g) {
        // The zero-masked form of the conversion: GCC 12 warns about the plain one's
        // undefined start value.
        px[g] = _mm512_maskz_cvtps_pd(0xFF, _mm256_loadu_ps(x + 8 * g));
        py[g] = _mm512_maskz_cvtps_pd(0xFF, _mm256_loadu_ps(y + 8 * g));
        sumX[g] = _mm512_setzero_pd();
        sumY[g] = _mm512_setzero_pd();
    }
    const __m512d zero = _mm512_setzero_pd();
    const __m512d one = _mm512_set1_pd(1.0);
    for (int32_t j = 0; j < targetCount; ++j) {
        const __m512d tx = _mm512_set1_pd(targetsX[j]);
        const __m512d ty = _mm512_set1_pd(targetsY[j]);
        for (int g = 0; g < kGroups; ++g) {
            const __m512d dx = _mm512_sub_pd(tx, px[g]);
            const __m512d dy = _mm512_sub_pd(ty, py[g]);
            const __m512d d2 = _mm512_add_pd(_mm512_mul_pd(dx, dx), _mm512_mul_pd(dy, dy));
            const __m512d w = _mm512_div_pd(one, _mm512_mul_pd(d2, d2));
            const __mmask8 use = _mm512_cmp_pd_mask(d2, zero, _CMP_NEQ_UQ);
            sumX[g] = _mm512_mask_add_pd(sumX[g], use, sumX[g], _mm512_mul_pd(w, dx));
            sumY[g] = _mm512_mask_add_pd(sumY[g], use, sumY[g], _mm512_mul_pd(w, dy));
        }
    }
    for (int g = 0; g < kGroups; ++g) {
        _mm512_storeu_pd(fx + 8 * g, sumX[g]);
        _mm512_storeu_pd(fy + 8 * g, sumY[g]);
    }
}

void MoveAvx512(int32_t count, float* x, float* y, float* vx, float* vy, const float* targetsX,
                const float* targetsY, int32_t targetCount) {
    int32_t i = MoveGroups<16, PullAvx512<2>>(count, x, y, vx, vy, targetsX, targetsY, targetCount);
    i += MoveGroups<8, PullAvx512<1>>(count - i, x + i, y + i, vx + i, vy + i, targetsX, targetsY,
                                      targetCount);
    MoveAvx2(count - i, x + i, y + i, vx + i, vy + i, targetsX, targetsY, targetCount);
}

#endif // DEMO_X86_VECTORS

} // namespace

ParticleSet InitParticles(int32_t count, ParticleRandom& random) {
    ParticleSet particles;
    particles.count = count;
    particles.x.resize(count);
    particles.y.resize(count);
    particles.vx.resize(count);
    particles.vy.resize(count);
    const float k = 1.0f / 32767.0f; // the single-precision step of a draw
    for (int32_t i = 0; i < count; ++i) {
        const int32_t r1 = random.Next();
        const int32_t r2 = random.Next();
        const int32_t r3 = random.Next();
        const int32_t r4 = random.Next();
        particles.x[i] = static_cast<float>(r1 % kFrameWidth);
        particles.y[i] = static_cast<float>(r2 % 40 + 200);
        // a and b lie in -0.5..0.5 and are never both 0 (r * k is never exactly 0.5).
        const float a = static_cast<float>(r3 * static_cast<double>(k) - 0.5);
        const double b = r4 * static_cast<double>(k) - 0.5;
        const double length = std::sqrt(static_cast<double>(a) * a + b * b);
        particles.vx[i] = static_cast<float>(0.4 * a / length);
        particles.vy[i] = static_cast<float>(0.4 * b / length);
    }
    return particles;
}

ShapeTargets BuildShapeTargets(const uint32_t* pixels) {
    const int32_t pixelCount = kShapeWidth * kShapeHeight;
    int32_t lit = 0;
    for (int32_t p = 0; p < pixelCount; ++p)
        lit += pixels[p] != 0;
    ShapeTargets targets;
    targets.x.reserve(lit);
    targets.y.reserve(lit);
    for (int32_t row = 0; row < kShapeHeight; ++row)
        for (int32_t column = 0; column < kShapeWidth; ++column)
            if (pixels[row * kShapeWidth + column] != 0) {
                // 320 x 200 stretched to 512 x 256 by whole pixels, without filtering.
                targets.x.push_back(static_cast<float>(column * kFrameWidth / kShapeWidth));
                targets.y.push_back(static_cast<float>(row * kFrameHeight / kShapeHeight));
            }
    targets.count = static_cast<int32_t>(targets.x.size());
    return targets;
}

bool ParticleKernelAvailable(ParticleKernel kernel) {
#if defined(DEMO_X86_VECTORS)
    if (kernel == ParticleKernel::kAvx2)
        return ProcessorVectorLevel() >= VectorLevel::kAvx2;
    if (kernel == ParticleKernel::kAvx512)
        return ProcessorVectorLevel() >= VectorLevel::kAvx512;
#endif
    return kernel == ParticleKernel::kPortable;
}

void MoveParticlesWith(ParticleKernel kernel, int32_t count, float* x, float* y, float* vx,
                       float* vy, const float* targetsX, const float* targetsY,
                       int32_t targetCount) {
#if defined(DEMO_X86_VECTORS)
    if (kernel == ParticleKernel::kAvx2) {
        MoveAvx2(count, x, y, vx, vy, targetsX, targetsY, targetCount);
        return;
    }
    if (kernel == ParticleKernel::kAvx512) {
        MoveAvx512(count, x, y, vx, vy, targetsX, targetsY, targetCount);
        return;
    }
#endif
    (void)kernel;
    MovePortable(0, count, x, y, vx, vy, targetsX, targetsY, targetCount);
}

void MoveParticles(int32_t count, float* x, float* y, float* vx, float* vy, const float* targetsX,
                   const float* targetsY, int32_t targetCount) {
    const VectorLevel level = CurrentVectorLevel();
    const ParticleKernel kernel = level >= VectorLevel::kAvx512 ? ParticleKernel::kAvx512
                                  : level >= VectorLevel::kAvx2 ? ParticleKernel::kAvx2
                                                                : ParticleKernel::kPortable;
    MoveParticlesWith(kernel, count, x, y, vx, vy, targetsX, targetsY, targetCount);
}

int32_t ParticleDrawPosition(float coordinate, int32_t limit) {
    const int32_t position = TruncateToInt32(coordinate);
    if (position < 0)
        return 0;
    return position > limit ? limit : position;
}

void StepParticles(FrameBuffer frame, int32_t count, float* x, float* y, float* vx, float* vy,
                   const float* targetsX, const float* targetsY, int32_t targetCount,
                   const uint32_t* sprite, int32_t spriteWidth, int32_t spriteHeight) {
    MoveParticles(count, x, y, vx, vy, targetsX, targetsY, targetCount);
    for (int32_t i = 0; i < count; ++i)
        BlitAdditive(sprite, spriteWidth, spriteHeight, frame,
                     ParticleDrawPosition(x[i], kFrameWidth - 1),
                     ParticleDrawPosition(y[i], kFrameHeight - 1));
}

int ParticleShapeForPhase(double elapsed) {
    if (elapsed < kPhaseLength)
        return 0;
    return elapsed < 2 * kPhaseLength ? 1 : 2;
}

int ParticlePhase::ShapeForFrame(float t) {
    const double elapsed = static_cast<double>(t) - origin;
    const int shape = ParticleShapeForPhase(elapsed);
    if (elapsed > kCycleLength)
        origin = t;
    return shape;
}

void RunParticleScene(uint32_t* frameBuffer) {
    ParticleRandom random; // state 1: the same swarm on every run
    ParticleSet particles = InitParticles(kParticleCount, random);

    Surface shape1(kShapePaths[0]);
    RequireImageSize(shape1, kShapePaths[0], kShapeWidth, kShapeHeight);
    Surface shape2(kShapePaths[1]);
    RequireImageSize(shape2, kShapePaths[1], kShapeWidth, kShapeHeight);
    Surface shape3(kShapePaths[2]);
    RequireImageSize(shape3, kShapePaths[2], kShapeWidth, kShapeHeight);
    const ShapeTargets shapes[3] = {BuildShapeTargets(shape1.data), BuildShapeTargets(shape2.data),
                                    BuildShapeTargets(shape3.data)};
    Surface sprite(kSpritePath);
    Surface logo(kLogoPath);

    // Scene-clock time 0 is this scene's first frame; every later end time counts from here.
    ResetSceneClock();

    ParticlePhase phase;
    float t;
    do {
        t = static_cast<float>(SceneSeconds());
        std::memset(frameBuffer, 0, kFramePixels * sizeof(uint32_t));
        const ShapeTargets& shape = shapes[phase.ShapeForFrame(t)];
        StepParticles(frameBuffer, particles.count, particles.x.data(), particles.y.data(),
                      particles.vx.data(), particles.vy.data(), shape.x.data(), shape.y.data(),
                      shape.count, sprite.data, sprite.width, sprite.height);
        BlitAdditive(logo.data, logo.width, logo.height, frameBuffer, 0, 0);
        PresentFrame(frameBuffer);
    } while (t < kEndTime);
    // The images are released here in reverse order: logo, sprite, shapes 3, 2, 1.
}
