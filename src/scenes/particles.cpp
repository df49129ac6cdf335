#include "scenes/particles.h"

#include "assets/surface.h"
#include "base/numeric.h"
#include "base/vector_forms.h"
#include "fx/blit.h"
#include "scenes/particles_forms.h"
#include "scenes/scene_assets.h"
#include "scenes/scenes.h"
#include "shell/clock.h"
#include "shell/display.h"

#include <cmath>
#include <cstring>

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

// The plain form of the pull: one particle at a time. A target exactly on the particle
// (d^2 = 0) would give an infinite weight and a NaN pull, so it is left out.
void SumPullsPlain(int32_t count, const float* x, const float* y, const float* targetsX,
                   const float* targetsY, int32_t targetCount, double* fx, double* fy) {
    for (int32_t i = 0; i < count; ++i) {
        const double px = x[i];
        const double py = y[i];
        double sumX = 0.0;
        double sumY = 0.0;
        for (int32_t j = 0; j < targetCount; ++j) {
            const double dx = targetsX[j] - px;
            const double dy = targetsY[j] - py;
            const double d2 = dx * dx + dy * dy;
            if (d2 == 0.0)
                continue;
            const double w = 1.0 / (d2 * d2);
            sumX += w * dx;
            sumY += w * dy;
        }
        fx[i] = sumX;
        fy[i] = sumY;
    }
}

constexpr VectorForms<SumPullsFunction> sumPulls{SumPullsPlain, nullptr, X86_FORM(SumPullsAvx2),
                                                 X86_FORM(SumPullsAvx512)};

// The vector level at which MoveParticles runs the version.
VectorLevel LevelOf(ParticleKernel kernel) {
    switch (kernel) {
    case ParticleKernel::kAvx2:
        return VectorLevel::kAvx2;
    case ParticleKernel::kAvx512:
        return VectorLevel::kAvx512;
    default:
        return VectorLevel::kPlain;
    }
}

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
    return LevelOf(kernel) <= ProcessorVectorLevel();
}

void MoveParticlesWith(ParticleKernel kernel, int32_t count, float* x, float* y, float* vx,
                       float* vy, const float* targetsX, const float* targetsY,
                       int32_t targetCount) {
    ScopedVectorLevel level(LevelOf(kernel));
    MoveParticles(count, x, y, vx, vy, targetsX, targetsY, targetCount);
}

void MoveParticles(int32_t count, float* x, float* y, float* vx, float* vy, const float* targetsX,
                   const float* targetsY, int32_t targetCount) {
    // Each particle's pull depends on its own position alone, so the pulls of a batch are summed
    // first, then each particle of the batch steers and moves.
    constexpr int32_t kBatch = 64;
    double fx[kBatch];
    double fy[kBatch];
    for (int32_t first = 0; first < count; first += kBatch) {
        const int32_t n = count - first < kBatch ? count - first : kBatch;
        sumPulls.Current()(n, x + first, y + first, targetsX, targetsY, targetCount, fx, fy);
        for (int32_t i = 0; i < n; ++i)
            SteerAndMove(fx[i], fy[i], &x[first + i], &y[first + i], &vx[first + i],
                         &vy[first + i]);
    }
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
