// The 3D transform's forms: each moves `count` points into camera space, projects them and turns
// their normals into camera space, as Objet3d::TransformPoints describes. The plain form is in
// transform.cpp, the AVX-512 one in transform_avx512.cpp; both give the same bits.
#pragma once

#include <cstdint>

// An object's arrays that the transform reads and writes (Objet3d's, as plain pointers): x, y, z
// per point in `points`, `normals`, `viewPoints` and `viewNormals`, one entry per point in
// `screenX` and `screenY`.
struct TransformArrays {
    int32_t count;
    const float* points;  // object space
    const float* normals; // object space
    float* viewPoints;    // camera space
    float* viewNormals;   // camera space
    int32_t* screenX;     // frame-buffer column
    int32_t* screenY;     // frame-buffer row
};

// `m` is the camera matrix, row by row; (dx, dy, dz) is the object's origin seen from the camera,
// in world space.
using TransformFunction = void (*)(const TransformArrays& arrays, const float* m, float dx,
                                   float dy, float dz);

void TransformPointsAvx512(const TransformArrays& arrays, const float* m, float dx, float dy,
                           float dz);

// The projection: column x * 256 / z + 256, row y * 256 / z + 128.
constexpr float kFocalLength = 256.0f;   // pixels; 90 degrees over the 512 columns
constexpr float kScreenCentreX = 256.0f; // column of the view axis
constexpr float kScreenCentreY = 128.0f; // row of the view axis
