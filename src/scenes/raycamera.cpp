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
