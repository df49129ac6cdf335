// The particle scene: two hundred additive sprites that steer towards the lit pixels of a shape
// image, re-forming into the next of three shapes every 10 seconds, under the group logo.
//
// Particle positions are frame-buffer pixels (x to the right, y downward) and velocities are
// pixels per frame, all stored as float; the steering sums are worked out in double. The motion
// advances a fixed distance per presented frame, so it depends on the frame rate, not on time.
#pragma once

#include "base/framebuffer.h"

#include <cstdint>
#include <vector>

constexpr int32_t kParticleCount = 200;

// Shape images are 320 x 200 and are stretched onto the 512 x 256 frame.
constexpr int32_t kShapeWidth = 320;
constexpr int32_t kShapeHeight = 200;

// The C runtime's rand(): a 32-bit linear congruential generator, state 1 at the start.
class ParticleRandom {
  public:
    // state = state * 214013 + 2531011 (mod 2^32); returns bits 16-30 of the new state, 0..32767.
    int32_t Next() {
        state = state * 214013u + 2531011u;
        return static_cast<int32_t>((state >> 16) & 0x7FFF);
    }
    uint32_t state = 1;
};

// Four parallel arrays of `count` floats: particle i is element i of each.
struct ParticleSet {
    int32_t count = 0;
    std::vector<float> x, y;   // position, frame-buffer pixels
    std::vector<float> vx, vy; // velocity, pixels per frame
};

// The target points of one shape: `count` frame-buffer positions (whole numbers), one per lit
// pixel of the image, in row-major order of the pixels.
struct ShapeTargets {
    int32_t count = 0;
    std::vector<float> x, y;
};

// Creates `count` particles from four draws each of `random`: x in 0..511, y in 200..239 (a
// band near the bottom of the frame) and a random direction of length 0.4 pixels per frame.
ParticleSet InitParticles(int32_t count, ParticleRandom& random);

// Reads the first 320 x 200 pixels of `pixels` (rows of 320 words, top row first) and makes a
// target of every pixel whose word is not 0, at (column * 512 / 320, row * 256 / 200), integer
// division. The caller makes sure the image is 320 x 200.
ShapeTargets BuildShapeTargets(const uint32_t* pixels);

// Steps 1-4 of one frame for every particle, in index order: the pull towards the targets,
// each weighted by 1 / distance^4; a push of length 0.7 along the pull; the velocity rescaled
// to length 1/0.7; the move. A target exactly under the particle is left out of the pull, and
// a particle feeling no pull at all keeps its velocity. Uses the AVX-512 or AVX2 version at
// those vector levels (base/cpu.h); every version gives the same bits.
void MoveParticles(int32_t count, float* x, float* y, float* vx, float* vy, const float* targetsX,
                   const float* targetsY, int32_t targetCount);

// The versions of MoveParticles, for tests and benchmarks: one for any processor, one that
// works on four particles per AVX2 register, and one on eight per AVX-512 register. All give
// the same bits.
enum class ParticleKernel { kPortable, kAvx2, kAvx512 };
// Whether this build and this processor can run the version.
bool ParticleKernelAvailable(ParticleKernel kernel);
// MoveParticles with the given version (which must be available): the vector level of the
// version is in use for the call, and the one in use before is put back.
void MoveParticlesWith(ParticleKernel kernel, int32_t count, float* x, float* y, float* vx,
                       float* vy, const float* targetsX, const float* targetsY,
                       int32_t targetCount);

// The screen position a particle is drawn at: its coordinate truncated toward zero, then
// clamped to 0..limit (511 for x, 255 for y). NaN and out-of-range values clamp like 0.
int32_t ParticleDrawPosition(float coordinate, int32_t limit);

// One frame of the swarm: MoveParticles, then the sprite (rows of spriteWidth words) added onto
// the frame at each particle's draw position, in index order.
void StepParticles(FrameBuffer frame, int32_t count, float* x, float* y, float* vx, float* vy,
                   const float* targetsX, const float* targetsY, int32_t targetCount,
                   const uint32_t* sprite, int32_t spriteWidth, int32_t spriteHeight);

// Which shape (0, 1 or 2) a frame uses, for `elapsed` seconds since the start of the cycle:
// the first below 10 s, the second below 20 s, the third from there on.
int ParticleShapeForPhase(double elapsed);

// The shape cycle: the start of the cycle moves to the frame's time once more than 30 s of it
// have passed (that frame has still used the third shape).
struct ParticlePhase {
    float origin = 0.0f; // start of the current cycle, scene-clock seconds
    // The shape for the frame read at time t; restarts the cycle after it when due.
    int ShapeForFrame(float t);
};
