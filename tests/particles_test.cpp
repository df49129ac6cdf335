// The particle scene: the swarm's start, its steering and drawing (agreeing bit for bit with the
// plain version), the shape cycle, and the scene run on the headless back end with small images
// of its own.
#include "scenes/particles.h"

#include "assets/bmp.h"
#include "assets/surface.h"
#include "base/process.h"
#include "fx/blit.h"
#include "particles_reference.h"
#include "scene_frames.h"
#include "scenes/scenes.h"
#include "shell/clock.h"
#include "shell/demo.h"
#include "test_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

} // namespace

TEST(Particles, StartAsTheRuntimeGeneratorOfStateOneLaysThemOut) {
    ParticleRandom random;
    ParticleSet particles = InitParticles(kParticleCount, random);
    ASSERT_EQ(particles.count, 200);
    EXPECT_EQ(particles.x[0], 41.0f);
    EXPECT_EQ(particles.y[0], 227.0f);
    EXPECT_EQ(particles.x[1], 225.0f);
    EXPECT_EQ(particles.y[1], 204.0f);
    EXPECT_EQ(particles.x[2], 338.0f);
    EXPECT_EQ(particles.y[2], 224.0f);
    EXPECT_NEAR(particles.vx[0], -0.2819, 5e-5);
    EXPECT_NEAR(particles.vy[0], 0.2838, 5e-5);
    EXPECT_EQ(random.state, 0x69BBCEA1u) << "four draws per particle"; // state after 800 draws
    for (int i = 0; i < particles.count; ++i) {
        ASSERT_TRUE(particles.x[i] >= 0 && particles.x[i] <= 511);
        ASSERT_TRUE(particles.y[i] >= 200 && particles.y[i] <= 239);
        ASSERT_NEAR(std::hypot(particles.vx[i], particles.vy[i]), 0.4, 1e-6);
    }
    ParticleRandom again;
    EXPECT_TRUE(SameBits(InitParticles(kParticleCount, again).vy, particles.vy));
}

TEST(Particles, TargetsStretchTheShapeOntoTheFrameInRowOrderAndAnyNonZeroPixelIsLit) {
    std::vector<uint32_t> shape(kShapeWidth * kShapeHeight, 0);
    shape[199 * 320 + 319] = 0xFFFFFF;
    shape[5 * 320 + 5] = 0x000001; // a faint blue still counts
    shape[1 * 320 + 1] = 0x7F000000;
    ShapeTargets targets = BuildShapeTargets(shape.data());
    ASSERT_EQ(targets.count, 3);
    EXPECT_EQ(targets.x, (std::vector<float>{1, 8, 510}));
    EXPECT_EQ(targets.y, (std::vector<float>{1, 6, 254}));
    EXPECT_EQ(BuildShapeTargets(std::vector<uint32_t>(64000, 0).data()).count, 0);
}

TEST(Particles, MoveAtConstantSpeedAfterOneStep) {
    ParticleRandom random;
    ParticleSet p = InitParticles(kParticleCount, random);
    const std::vector<float> startX = p.x, startY = p.y;
    const float targetsX[] = {100, 300, 400}, targetsY[] = {50, 128, 250};
    MoveParticles(p.count, p.x.data(), p.y.data(), p.vx.data(), p.vy.data(), targetsX, targetsY, 3);
    for (int i = 0; i < p.count; ++i) {
        ASSERT_NEAR(std::hypot(p.vx[i], p.vy[i]), 1 / 0.7, 1e-6);
        ASSERT_EQ(p.x[i], static_cast<float>(startX[i] + static_cast<double>(p.vx[i])));
        ASSERT_EQ(p.y[i], static_cast<float>(startY[i] + static_cast<double>(p.vy[i])));
    }
    // The first particle (41, 227) turns towards the nearest target, (300, 128): up and right.
    EXPECT_GT(p.vx[0], 0.0f);
    EXPECT_LT(p.vy[0], 0.0f);
}

TEST(Particles, NoTargetOnTheParticleOrNoPullAtAllKeepsItMovingAndDrawn) {
    // On a target, with no target at all, and between two targets that cancel out.
    float x[] = {100, 200, 300}, y[] = {100, 50, 20};
    float vx[] = {0.4f, 0.0f, -0.4f}, vy[] = {0.0f, 0.4f, 0.0f};
    const float onTarget[] = {100}, onTargetY[] = {100};
    MoveParticles(1, x, y, vx, vy, onTarget, onTargetY, 1);
    MoveParticles(1, x + 1, y + 1, vx + 1, vy + 1, nullptr, nullptr, 0);
    const float pairX[] = {290, 310}, pairY[] = {20, 20};
    MoveParticles(1, x + 2, y + 2, vx + 2, vy + 2, pairX, pairY, 2);
    const float speed = static_cast<float>(1 / 0.7);
    EXPECT_FLOAT_EQ(vx[0], speed);
    EXPECT_EQ(vy[0], 0.0f);
    EXPECT_FLOAT_EQ(x[0], 100 + speed);
    EXPECT_EQ(vx[1], 0.0f);
    EXPECT_FLOAT_EQ(vy[1], speed);
    EXPECT_FLOAT_EQ(vx[2], -speed);
    EXPECT_FLOAT_EQ(x[2], 300 - speed);
}

TEST(Particles, AreDrawnAtTheirTruncatedPositionClampedToTheFrame) {
    EXPECT_EQ(ParticleDrawPosition(-0.7f, 511), 0);
    EXPECT_EQ(ParticleDrawPosition(10.9f, 511), 10);
    EXPECT_EQ(ParticleDrawPosition(600.0f, 511), 511);
    EXPECT_EQ(ParticleDrawPosition(255.5f, 255), 255);
    EXPECT_EQ(ParticleDrawPosition(-1e30f, 255), 0);
    EXPECT_EQ(ParticleDrawPosition(std::numeric_limits<float>::quiet_NaN(), 255), 0);
    const float huge = ParticleDrawPosition(3e9f, 511);
    EXPECT_TRUE(huge >= 0 && huge <= 511);

    // A particle far to the right shows only the sprite's first column, in the last column.
    std::vector<uint32_t> frame(kFramePixels, 0);
    const uint32_t sprite[] = {0x010203, 0x404040, 0x050607, 0x404040};
    float x[] = {600}, y[] = {-0.7f}, vx[] = {0}, vy[] = {0};
    StepParticles(frame.data(), 1, x, y, vx, vy, nullptr, nullptr, 0, sprite, 2, 2);
    EXPECT_EQ(frame[511], 0x010203u);
    EXPECT_EQ(frame[512 + 511], 0x050607u);
    EXPECT_EQ(frame[510] | frame[2 * 512 + 511], 0u);
}

TEST(Particles, ShapesChangeEveryTenSecondsAndTheCycleRestartsAfterThirty) {
    ParticlePhase phase;
    EXPECT_EQ(phase.ShapeForFrame(0.0f), 0);
    EXPECT_EQ(phase.ShapeForFrame(9.99f), 0);
    EXPECT_EQ(phase.ShapeForFrame(10.0f), 1);
    EXPECT_EQ(phase.ShapeForFrame(19.99f), 1);
    EXPECT_EQ(phase.ShapeForFrame(20.0f), 2);
    EXPECT_EQ(phase.ShapeForFrame(30.0f), 2);
    EXPECT_EQ(phase.origin, 0.0f) << "reset only past 30 s";
    EXPECT_EQ(phase.ShapeForFrame(30.01f), 2) << "the frame that restarts still shows shape 3";
    EXPECT_EQ(phase.origin, 30.01f);
    EXPECT_EQ(phase.ShapeForFrame(30.03f), 0);
    EXPECT_EQ(phase.ShapeForFrame(41.0f), 1);
}

// Every version against the plain one, on random swarms with a target under some particles,
// over many frames, for counts that leave partial vector groups.
TEST(Particles, EveryVersionMatchesThePlainStepBitForBit) {
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> position(-40.0f, 560.0f);
    for (ParticleKernel kernel :
         {ParticleKernel::kPortable, ParticleKernel::kAvx2, ParticleKernel::kAvx512}) {
        if (!ParticleKernelAvailable(kernel))
            continue;
        for (int count : {1, 7, 12, 23, 200, 205}) {
            ParticleSet fast;
            fast.count = count;
            for (int i = 0; i < count; ++i) {
                fast.x.push_back(std::floor(position(random)));
                fast.y.push_back(std::floor(position(random) / 2));
                fast.vx.push_back(position(random) / 1000);
                fast.vy.push_back(position(random) / 1000);
            }
            std::vector<float> tx, ty;
            for (int j = 0; j < 700; ++j) {
                tx.push_back(static_cast<float>(random() % 512));
                ty.push_back(static_cast<float>(random() % 256));
            }
            tx[3] = fast.x[0]; // exactly on the first particle
            ty[3] = fast.y[0];
            ParticleSet plain = fast;
            for (int step = 0; step < 60; ++step) {
                MoveParticlesWith(kernel, count, fast.x.data(), fast.y.data(), fast.vx.data(),
                                  fast.vy.data(), tx.data(), ty.data(), 700);
                ReferenceMoveParticles(count, plain.x.data(), plain.y.data(), plain.vx.data(),
                                       plain.vy.data(), tx.data(), ty.data(), 700);
            }
            ASSERT_TRUE(SameBits(fast.x, plain.x) && SameBits(fast.y, plain.y) &&
                        SameBits(fast.vx, plain.vx) && SameBits(fast.vy, plain.vy))
                << "kernel " << static_cast<int>(kernel) << ", " << count << " particles";
        }
    }
    // The whole step, drawing included, as the scene runs it.
    ParticleRandom first, second;
    ParticleSet fast = InitParticles(kParticleCount, first);
    ParticleSet plain = InitParticles(kParticleCount, second);
    std::vector<uint32_t> shape(64000, 0);
    for (int p = 0; p < 64000; p += 37)
        shape[p] = 1;
    ShapeTargets targets = BuildShapeTargets(shape.data());
    std::vector<uint32_t> fastFrame(kFramePixels, 0), plainFrame(kFramePixels, 0);
    const std::vector<uint32_t> sprite(9 * 7, 0x102030);
    for (int step = 0; step < 30; ++step) {
        StepParticles(fastFrame.data(), fast.count, fast.x.data(), fast.y.data(), fast.vx.data(),
                      fast.vy.data(), targets.x.data(), targets.y.data(), targets.count,
                      sprite.data(), 9, 7);
        ReferenceStepParticles(plainFrame.data(), plain.count, plain.x.data(), plain.y.data(),
                               plain.vx.data(), plain.vy.data(), targets.x.data(), targets.y.data(),
                               targets.count, sprite.data(), 9, 7);
    }
    EXPECT_TRUE(fastFrame == plainFrame);
    EXPECT_TRUE(SameBits(fast.x, plain.x) && SameBits(fast.vy, plain.vy));
}

// Runs in a folder holding WriteParticleSceneFiles' files.
using ParticleSceneRun = SceneRun<RunParticleScene>;

TEST_F(ParticleSceneRun, ResetsTheClockOnceLoadedAndEndsWithTheFirstFrameAt35Seconds) {
    WriteParticleSceneFiles();
    EXPECT_EQ(RunFrom(100.0), -1); // whatever time came before
    // Frames at 0, 1/60, ... 35 s: the frame read at exactly 35 s is the last.
    EXPECT_EQ(headless::PresentCount(), 35 * 60 + 1);
    EXPECT_NEAR(static_cast<double>(SceneSeconds()), (35 * 60 + 1) / 60.0, 1e-9);
    // The logo is added on top at the frame's top-left corner.
    EXPECT_EQ(FrameAt(0, 0) & 0xFF0000, 0xFF0000u);
    EXPECT_EQ(headless::Display().At(64 + 7, 112 + 3) & 0xFF0000, 0xFF0000u);
    // After 5 s back on shape 1, the swarm sits on its line (row 128, columns 160..222).
    int onLine = 0;
    for (int x = 150; x < 240; ++x)
        onLine += FrameAt(x, 128) != 0;
    EXPECT_GT(onLine, 40);
}

TEST_F(ParticleSceneRun, RefusesAShapeImageThatIsNot320By200) {
    WriteParticleSceneFiles();
    WriteImage("data/particules/forme2.bmp", 320, 204, 1);
    EXPECT_EQ(RunFrom(0.0), kFatalExitCode);
    EXPECT_NE(std::string(LastFatalMessage()).find("data/particules/forme2.bmp"),
              std::string::npos);
    EXPECT_EQ(headless::PresentCount(), 0);
}

using ParticleSceneFrames = SceneFrames<RunParticleScene>;

// Frames on both sides of every change of shape, rebuilt from the scene's steps: the frame
// cleared, the swarm steered towards the shape of its phase and drawn, the logo added at (0, 0).
// The swarm moves once per presented frame, whatever the time between frames.
TEST_F(ParticleSceneFrames, AreRebuiltFromTheStepsAcrossEveryShapeChange) {
    const std::vector<double> times = {0.0,  1 / 60.0, 9.99,  10.0,  19.99,
                                       20.0, 30.0,     30.02, 30.04, 35.0};
    const std::vector<PresentedFrame> frames = RunAt(times);
    ASSERT_EQ(frames.size(), times.size());

    ParticleRandom random;
    ParticleSet swarm = InitParticles(kParticleCount, random);
    Surface shape1("data/particules/forme.bmp"), shape2("data/particules/forme2.bmp"),
        shape3("data/particules/forme3.bmp");
    const ShapeTargets shapes[3] = {BuildShapeTargets(shape1.data), BuildShapeTargets(shape2.data),
                                    BuildShapeTargets(shape3.data)};
    Surface sprite("data/particules/light2.bmp"), logo("data/klvlogo.bmp");
    float cycleStart = 0.0f;
    std::vector<uint32_t> expected(kFramePixels);
    for (const PresentedFrame& frame : frames) {
        const float t = static_cast<float>(ClockReading(frame.startTicks));
        const double elapsed = static_cast<double>(t) - cycleStart;
        const ShapeTargets& shape = shapes[elapsed < 10.0 ? 0 : elapsed < 20.0 ? 1 : 2];
        std::fill(expected.begin(), expected.end(), 0u);
        StepParticles(expected.data(), swarm.count, swarm.x.data(), swarm.y.data(), swarm.vx.data(),
                      swarm.vy.data(), shape.x.data(), shape.y.data(), shape.count, sprite.data,
                      sprite.width, sprite.height);
        if (elapsed > 30.0)
            cycleStart = t; // the next frame starts the cycle again with the first shape
        BlitAdditive(logo.data, logo.width, logo.height, expected.data(), 0, 0);
        ExpectSameFrame(expected, frame);
    }
}
