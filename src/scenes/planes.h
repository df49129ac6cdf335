// The planes and cylinder scene: a flight between a textured floor and ceiling past a textured
// column.
//
// World space: the floor and ceiling are the planes y = -800 and y = +800, the column is the
// cylinder x^2 + y^2 = 400^2 around the z axis, infinite in z. The camera travels along +z at
// 1200 units per second, weaves around the column and rolls, always aiming at a point within
// 100 units of the column's axis. Each frame the planes are cast for every point of the block
// grid (fx/blockgrid.h), then the cylinder is cast and written only where it is nearer, and the
// block mapper fills every pixel. Distance fog (fog level = horizontal distance / 20, at most
// 255) doubles as the depth that decides between the two.
#pragma once

#include "base/framebuffer.h"

#include <cstdint>

// The camera of one frame; every value rounded to float.
struct PlanesCamera {
    float m, g, e, q; // x swing, height, z offset and aim height
    float roll;       // radians
    float px, py, pz; // position (m, g, 200 sigma + e)
    float fx, fy, fz; // unit view direction, towards (0, q, 200 sigma)
};

// The camera at scene-clock time t (seconds), with the scene's own time sigma = 6 t. Ends the
// process through FatalError when the camera sits on its aim point.
PlanesCamera PlanesCameraAt(double t);

// The unit view direction from the camera at (m, g, 200 sigma + e) towards (0, q, 200 sigma).
// Ends the process through FatalError ("camera erreur: position = vis\xE9e!!\n") when the two
// points are the same.
void PlanesViewDirection(float m, float g, float e, float q, float* fx, float* fy, float* fz);

// What one ray finds on the planes y = +a (dy > 0) and y = -a (dy < 0).
struct PlanesHit {
    int32_t u, v;  // texture column and row, 16.16 (10240 per world unit)
    int32_t level; // fog level 0..255; 255 with u = v = 0x7F00 for a ray with dy = 0
};
PlanesHit CastPlanesRay(float a, float px, float py, float pz, float dx, float dy, float dz);

// What one ray finds on the cylinder of radius a around the z axis.
struct CylinderHit {
    bool hit = false; // false: the ray misses, grazes, runs along the axis, or the wall is behind
    float hx = 0.0f;  // the hit point (hy unrounded)
    double hy = 0.0;
    float hz = 0.0f;
    int32_t u = 0;     // texture column, 16.16: (u >> 16) & 255 = |angle| / pi * 128
    int32_t v = 0;     // texture row, 16.16 (6400 per world unit)
    int32_t level = 0; // fog level 0..255
};
// The camera may be inside the column: the ray then meets the wall from within.
CylinderHit CastCylinderRay(float a, float px, float py, float pz, float dx, float dy, float dz);

// Texture column (16.16) of the point (hx, hy) on the column: the angle around the axis from
// the +x side, 0..pi, in 2^23 steps of the float32 pi, so the half-turn over +y and the
// half-turn over -y show the same 128 texel columns mirrored. An angle of pi/2 gives column 63.
int32_t CylinderTextureColumn(double hy, double hx);

// Writes u, v and light of all 65 x 33 grid points from the planes y = +a and y = -a, for the
// camera at (px, py, pz) with unit view direction (fx, fy, fz) and roll (radians).
void FillPlanes(float a, float px, float py, float pz, float fx, float fy, float fz, double roll);

// Overwrites the grid points where the cylinder of radius a is strictly nearer (a lower fog
// level) than what the grid holds; the other points keep their values.
void FillCylinder(float a, float px, float py, float pz, float fx, float fy, float fz, double roll);

// FillPlanes and FillCylinder each keep their own camera axes from one call to the next
// (scenes/raycamera.h).

// Runs the scene until the scene clock reaches 122 s. Reads "data/zoom/texture1.bmp", which
// must be 256 x 256 (anything else ends the process through FatalError).
void RunPlanesScene(FrameBuffer frameBuffer);
