// The six scenes, in the order the show plays them. Each loads its own images and data, draws
// frames into the frame buffer (512 x 256, base/framebuffer.h) and presents them until the scene
// clock reaches its end time, then releases what it loaded and returns.
#pragma once

#include <cstdint>

void RunParticleScene(uint32_t* frameBuffer);     // until 35 s; resets the scene clock
void RunObjectScene(uint32_t* frameBuffer);       // until 60 s
void RunBallScene(uint32_t* frameBuffer);         // until 75 s
void RunRippledPlaneScene(uint32_t* frameBuffer); // until 90 s
void RunPlanesScene(uint32_t* frameBuffer);       // until 122 s
void RunRotozoomScene(uint32_t* frameBuffer);     // until 132 s, then the end logo until 180 s

// The show's end on the scene clock: the end logo's last moment.
constexpr double kShowEnd = 180.0;

// The parts of the show and the scene-clock time each one ends at, for reports per scene.
struct ShowPart {
    const char* name;
    double end;
};
constexpr ShowPart kShowParts[] = {
    {"1 particle swarm", 35.0}, {"2 mirrored object", 60.0},   {"3 ball", 75.0},
    {"4 rippled plane", 90.0},  {"5 planes, cylinder", 122.0}, {"6 rotozoom", 132.0},
    {"6 end logo", kShowEnd},
};
constexpr int kShowPartCount = sizeof(kShowParts) / sizeof(kShowParts[0]);

// The part that a frame drawn with the clock reading t belongs to: the first whose end is at or
// after t (the last part after the show's end).
inline int ShowPartOf(double t) {
    for (int i = 0; i < kShowPartCount; i++)
        if (t <= kShowParts[i].end)
            return i;
    return kShowPartCount - 1;
}
