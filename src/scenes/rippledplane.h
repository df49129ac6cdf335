// The rippled plane scene: a textured ceiling with a travelling ripple relief, seen from a
// camera that circles below it and sways its aim, fading to white with distance.
//
// World space: y is up the ceiling's normal. The ceiling is the plane y = +a, the floor y = -a
// (a = 1000 in the scene); the camera flies at height 320 and looks mostly along +y. The ripple
// h(x, z) = 100 sin(tau + z w) cos(tau + x w), w = 1/330, is not drawn as geometry: it only
// moves where each ray's hit point is taken, by one secant step along the ray back towards the
// camera. One ray is cast per point of the block grid (fx/blockgrid.h); the block mapper then
// fills every pixel.
#pragma once

#include "base/framebuffer.h"

#include <cstdint>

// The camera of one frame.
struct RippledPlaneCamera {
    float px, py, pz; // position, world space
    float fx, fy, fz; // unit view direction, world space
};

// The camera at scene-clock time t (seconds): it circles at radius 1000 and height 320 and
// looks at the point (1000 cos(0.13 t), 5000, 1000 sin(0.11 t)).
RippledPlaneCamera RippledPlaneCameraAt(double t);

// What one ray finds, with the steps on the way (for tests).
struct RippledPlaneHit {
    float hx = 0.0f;          // flat hit on the plane, x (rounded to float)
    double hz = 0.0;          // flat hit, z
    double h1 = 0.0;          // relief height at the flat hit
    double s = 0.0;           // h1 / camera height: the first secant trial
    double h2 = 0.0;          // relief height at the trial point
    float q = 0.0f;           // secant step, as a fraction of the way back to the camera
    double hxCorrected = 0.0; // corrected hit, x and z
    double hzCorrected = 0.0;
    int32_t u = 0;     // texture column, 16.16 (10240 per world unit: one texel is 6.4 units)
    int32_t v = 0;     // texture row, 16.16
    int32_t level = 0; // fog level 0..255 (grid light is level * 256)
};

// Casts one ray from the camera at (px, py, pz) along the unit direction (dx, dy, dz) against
// the planes y = +a (dy > 0) and y = -a (dy < 0), corrected for the relief at time tau. A ray
// with dy = 0 gets u = v = 0x7F00 and fog level 255. The camera must not be at height 0.
RippledPlaneHit CastRippledPlaneRay(float a, float px, float py, float pz, float dx, float dy,
                                    float dz, float tau);

// Casts the rays of all 65 x 33 grid points for the camera at (px, py, pz) with unit view
// direction (fx, fy, fz) and the roll angle (radians), and writes u, v and light into
// blockGrid. Keeps its own camera axes from one call to the next (scenes/raycamera.h).
void FillRippledPlane(float a, float px, float py, float pz, float fx, float fy, float fz,
                      double roll, float tau);

// The values and conversions below are shared with the planes and cylinder scene.

// Grid texture coordinates and fog level of a ray that never meets a plane (it runs level).
constexpr int32_t kNoHitCoordinate = 0x7F00;
constexpr int32_t kNoHitLevel = 255;

// Texture coordinate (16.16) of a world coordinate on the planes: 10240 per unit, truncated
// toward zero and kept to its low 32 bits, so the texture repeats every 1638.4 units even far
// beyond the 32-bit range.
int32_t PlaneTextureCoordinate(double world);

// Fog level of a point at horizontal distance d from the camera: d / 20, truncated, at most 255
// (white from 5100 units on). A NaN distance gives 0.
int32_t FogLevel(double distance);

// Runs the scene until the scene clock reaches 90 s. Reads "data/boule/tex7c.bmp", which must
// be a 24-bit BMP of 256 x 256 pixels: anything else ends the process through FatalError.
void RunRippledPlaneScene(FrameBuffer frameBuffer);
