// Plain version of the particle step, written line by line like its rule with none of the
// vector work of src/scenes/particles.cpp. Tests check that the two agree bit for bit, and the
// particle benchmark times them side by side.
#pragma once

#include "base/framebuffer.h"

#include <cstdint>

// Steering, speed and move of every particle, in index order (MoveParticles).
void ReferenceMoveParticles(int32_t count, float* x, float* y, float* vx, float* vy,
                            const float* targetsX, const float* targetsY, int32_t targetCount);

// ReferenceMoveParticles, then the sprite added at each particle's clamped position
// (StepParticles).
void ReferenceStepParticles(FrameBuffer frame, int32_t count, float* x, float* y, float* vx,
                            float* vy, const float* targetsX, const float* targetsY,
                            int32_t targetCount, const uint32_t* sprite, int32_t spriteWidth,
                            int32_t spriteHeight);
