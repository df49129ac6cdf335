// The six scenes, in the order the show plays them. Each loads its own images and data, draws
// frames into the frame buffer (512 x 256, fx/framebuffer.h) and presents them until the scene
// clock reaches its end time, then releases what it loaded and returns.
#pragma once

#include <cstdint>

void RunParticleScene(uint32_t* frameBuffer);     // until 35 s; resets the scene clock
void RunObjectScene(uint32_t* frameBuffer);       // until 60 s
void RunBallScene(uint32_t* frameBuffer);         // until 75 s
void RunRippledPlaneScene(uint32_t* frameBuffer); // until 90 s
void RunPlanesScene(uint32_t* frameBuffer);       // until 122 s
void RunRotozoomScene(uint32_t* frameBuffer);     // until 132 s, then the end logo until 180 s
