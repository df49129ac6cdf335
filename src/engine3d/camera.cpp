#include "engine3d/camera.h"

#include <cmath>

bool CameraPerpendicularAxes(float a, float b, float c, float u[3], float v[3]) {
    const double h = std::sqrt(static_cast<double>(a) * a + static_cast<double>(b) * b);
    if (h == 0.0)
        return false;
    u[0] = static_cast<float>(static_cast<double>(a) * c / h);
    u[1] = static_cast<float>(static_cast<double>(b) * c / h);
    u[2] = static_cast<float>(-h);
    v[0] = static_cast<float>(-static_cast<double>(b) / h);
    v[1] = static_cast<float>(static_cast<double>(a) / h);
    v[2] = 0.0f;
    return true;
}

bool CameraCorrectionInputs(const float u[3], const float v[3], double* y, double* x) {
    const double vy = v[1];
    const double uy = u[1];
    const double k = std::sqrt(vy * vy + uy * uy);
    if (k == 0.0)
        return false;
    *y = uy;
    *x = vy / k;
    return true;
}

void CameraScreenAxes(const float u[3], const float v[3], double theta, float row0[3],
                      float row1[3]) {
    const double cosTheta = std::cos(theta);
    const double sinTheta = std::sin(theta);
    row0[0] = static_cast<float>(u[0] * cosTheta - v[0] * sinTheta);
    row0[1] = static_cast<float>(u[1] * cosTheta - v[1] * sinTheta);
    row0[2] = static_cast<float>(u[2] * cosTheta);
    row1[0] = static_cast<float>(u[0] * sinTheta + v[0] * cosTheta);
    row1[1] = static_cast<float>(u[1] * sinTheta + v[1] * cosTheta);
    row1[2] = static_cast<float>(u[2] * sinTheta);
}

void BuildCameraMatrix(CameraMatrix& matrix, float dirX, float dirY, float dirZ, double roll) {
    float u[3];
    float v[3];
    if (!CameraPerpendicularAxes(dirX, dirY, dirZ, u, v)) {
        // Straight along z: the limit of U and V as the direction tips towards +x.
        u[0] = dirZ < 0.0f ? -1.0f : 1.0f;
        u[1] = 0.0f;
        u[2] = 0.0f;
        v[0] = 0.0f;
        v[1] = 1.0f;
        v[2] = 0.0f;
    }
    double y;
    double x;
    if (!CameraCorrectionInputs(u, v, &y, &x)) {
        // Straight up or down: no level to keep.
        y = roll;
        x = roll;
    }
    const double theta = roll + std::atan2(y, x);
    CameraScreenAxes(u, v, theta, &matrix.m[0], &matrix.m[3]);
    matrix.m[6] = dirX;
    matrix.m[7] = dirY;
    matrix.m[8] = dirZ;
}
