#include "particles_reference.h"

#include "base/numeric.h"
#include "fx/blit.h"

#include <cmath>

void ReferenceMoveParticles(int32_t count, float* x, float* y, float* vx, float* vy,
                            const float* targetsX, const float* targetsY, int32_t targetCount) {
    for (int32_t i = 0; i < count; ++i) {
        // Attraction: every target pulls with weight 1 / d^4; one under the particle is skipped.
        double fx = 0.0;
        double fy = 0.0;
        for (int32_t j = 0; j < targetCount; ++j) {
            double dx = static_cast<double>(targetsX[j]) - static_cast<double>(x[i]);
            double dy = static_cast<double>(targetsY[j]) - static_cast<double>(y[i]);
            double d2 = dx * dx + dy * dy;
            if (d2 == 0.0)
                continue;
            double w = 1.0 / (d2 * d2);
            fx = fx + w * dx;
            fy = fy + w * dy;
        }
        // Steering: a push of 0.7 along the pull, when there is one.
        double l = std::sqrt(fx * fx + fy * fy);
        if (l != 0.0) {
            vx[i] = static_cast<float>(static_cast<double>(vx[i]) + 0.7 * fx / l);
            vy[i] = static_cast<float>(static_cast<double>(vy[i]) + 0.7 * fy / l);
        }
        // Constant speed 1 / 0.7.
        double s = std::sqrt(static_cast<double>(vx[i]) * static_cast<double>(vx[i]) +
                             static_cast<double>(vy[i]) * static_cast<double>(vy[i])) *
                   0.7;
        if (s != 0.0) {
            vx[i] = static_cast<float>(static_cast<double>(vx[i]) / s);
            vy[i] = static_cast<float>(static_cast<double>(vy[i]) / s);
        }
        // Move.
        x[i] = static_cast<float>(static_cast<double>(x[i]) + static_cast<double>(vx[i]));
        y[i] = static_cast<float>(static_cast<double>(y[i]) + static_cast<double>(vy[i]));
    }
}

void ReferenceStepParticles(FrameBuffer frame, int32_t count, float* x, float* y, float* vx,
                            float* vy, const float* targetsX, const float* targetsY,
                            int32_t targetCount, const uint32_t* sprite, int32_t spriteWidth,
                            int32_t spriteHeight) {
    ReferenceMoveParticles(count, x, y, vx, vy, targetsX, targetsY, targetCount);
    for (int32_t i = 0; i < count; ++i) {
        int32_t px = TruncateToInt32(x[i]);
        int32_t py = TruncateToInt32(y[i]);
        if (px < 0)
            px = 0;
        if (px > 511)
            px = 511;
        if (py < 0)
            py = 0;
        if (py > 255)
            py = 255;
        BlitAdditive(sprite, spriteWidth, spriteHeight, frame, px, py);
    }
}
