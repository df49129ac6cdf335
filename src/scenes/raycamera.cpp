#include "scenes/raycamera.h"

#include "engine3d/camera.h"

#include <cmath>

void RayCameraAxes::Update(float fx, float fy, float fz, double roll) {
    float u[3], v[3];
    if (!CameraPerpendicularAxes(fx, fy, fz, u, v))
        return; // straight along z: the previous frame's axes stand
    CameraCorrectionInputs(u, v, &correctionY_, &correctionX_); // k = 0 keeps the previous ones
    const double theta = std::atan2(correctionY_, correctionX_) + roll;
    CameraScreenAxes(u, v, theta, right, down);
    forward[0] = fx;
    forward[1] = fy;
    forward[2] = fz;
}

void RayCameraAxes::GridRay(float fx, float fy, float fz, double focal, int c, int r,
                            float ray[3]) const {
    const double rowOffset = 8 * r - 128; // screen centre (256, 128)
    const double columnOffset = 8 * c - 256;
    const double x = focal * fx + rowOffset * down[0] + columnOffset * right[0];
    const double y = focal * fy + rowOffset * down[1] + columnOffset * right[1];
    const double z = focal * fz + rowOffset * down[2] + columnOffset * right[2];
    const double length = std::sqrt(x * x + y * y + z * z);
    ray[0] = static_cast<float>(x / length);
    ray[1] = static_cast<float>(y / length);
    ray[2] = static_cast<float>(z / length);
}
