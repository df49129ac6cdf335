#include "scenes/planes.h"

#include "assets/surface.h"
#include "base/numeric.h"
#include "base/process.h"
#include "fx/blockgrid.h"
#include "scenes/raycamera.h"
#include "scenes/rippledplane.h"
#include "scenes/scene_assets.h"
#include "scenes/scenes.h"
#include "shell/clock.h"
#include "shell/display.h"

#include <cmath>

namespace {

constexpr const char* kTexturePath = "data/zoom/texture1.bmp";
constexpr float kEndTime = 122.0f;
constexpr float kPlaneDistance = 800.0f;
constexpr float kColumnRadius = 400.0f;

// The screen axes of each fill's camera, kept from one frame to the next.
RayCameraAxes planesAxes;
RayCameraAxes cylinderAxes;

} // namespace

void PlanesViewDirection(float m, float g, float e, float q, float* fx, float* fy, float* fz) {
    // The view vector and its length are stored as float, like every value of this camera.
    const float wx = -m;
    const float wy = static_cast<float>(static_cast<double>(q) - g);
    const float wz = -e;
    const float length =
        static_cast<float>(std::sqrt(static_cast<double>(wx) * wx + static_cast<double>(wy) * wy +
                                     static_cast<double>(wz) * wz));
    if (length == 0.0f)
        FatalError("camera erreur: position = vis\xE9"
                   "e!!\n");
    *fx = static_cast<float>(static_cast<double>(wx) / length);
    *fy = static_cast<float>(static_cast<double>(wy) / length);
    *fz = static_cast<float>(static_cast<double>(wz) / length);
}

PlanesCamera PlanesCameraAt(double t) {
    const double sigma = t * 6.0;
    PlanesCamera camera;
    camera.m = static_cast<float>(1500.0 * std::cos(0.05 * sigma));
    camera.g = static_cast<float>(780.0 * std::sin(0.07 * sigma));
    camera.e = static_cast<float>(1500.0 * std::sin(0.03 * sigma));
    camera.q = static_cast<float>(100.0 * std::cos(0.2 * sigma));
    camera.roll = static_cast<float>(6.28 * std::sin(0.03 * sigma) * std::cos(0.02 * sigma));
    camera.px = camera.m;
    camera.py = camera.g;
    camera.pz = static_cast<float>(200.0 * sigma + camera.e);
    PlanesViewDirection(camera.m, camera.g, camera.e, camera.q, &camera.fx, &camera.fy, &camera.fz);
    return camera;
}

PlanesHit CastPlanesRay(float a, float px, float py, float pz, float dx, float dy, float dz) {
    if (dy == 0.0f)
        return {kNoHitCoordinate, kNoHitCoordinate, kNoHitLevel};
    const double plane = dy > 0.0f ? a : -a;
    const double distance = (plane - py) / dy;
    const float hx = static_cast<float>(px + distance * dx);
    const double hz = pz + distance * dz;
    const double ex = static_cast<double>(hx) - px;
    const double ez = hz - pz;
    return {PlaneTextureCoordinate(hx), PlaneTextureCoordinate(hz),
            FogLevel(std::sqrt(ex * ex + ez * ez))};
}

int32_t CylinderTextureColumn(double hy, double hx) {
    // pi rounded to float is slightly above pi, so a whole half-turn stays below 2^24.
    const float pi = static_cast<float>(4.0 * std::atan(1.0));
    return TruncateToInt32(std::fabs(std::atan2(hy, hx)) * 16777216.0 / pi) / 2;
}

CylinderHit CastCylinderRay(float a, float px, float py, float pz, float dx, float dy, float dz) {
    CylinderHit hit;
    // |(px, py) + lambda (dx, dy)|^2 = a^2: qa lambda^2 + qb lambda + k = 0.
    const double k =
        static_cast<double>(px) * px + static_cast<double>(py) * py - static_cast<double>(a) * a;
    const double qa = static_cast<double>(dx) * dx + static_cast<double>(dy) * dy;
    const float qb =
        static_cast<float>(2.0 * (static_cast<double>(dx) * px + static_cast<double>(dy) * py));
    const double disc = static_cast<double>(qb) * qb - 4.0 * qa * k;
    if (!(disc > 0.0))
        return hit; // misses, grazes, or runs along the axis (qa = qb = 0)
    const float twoQa = static_cast<float>(2.0 * qa);
    if (twoQa == 0.0f)
        return hit; // so nearly along the axis that 2 qa rounds to zero in float: no hit
    const double root = std::sqrt(disc);
    double lambda = (-static_cast<double>(qb) - root) / twoQa;
    if (lambda < 0.0)
        lambda = (-static_cast<double>(qb) + root) / twoQa; // the camera is inside the column
    if (!(lambda > 0.0))
        return hit; // the column is behind the camera
    hit.hit = true;
    hit.hx = static_cast<float>(px + lambda * dx);
    hit.hz = static_cast<float>(pz + lambda * dz);
    hit.hy = py + lambda * dy;
    hit.u = CylinderTextureColumn(hit.hy, hit.hx);
    const double ex = static_cast<double>(hit.hx) - px;
    const double ez = static_cast<double>(hit.hz) - pz;
    hit.level = FogLevel(std::sqrt(ex * ex + ez * ez));
    hit.v = TruncateToInt32(hit.hz * 6400.0);
    return hit;
}

void FillPlanes(float a, float px, float py, float pz, float fx, float fy, float fz, double roll) {
    planesAxes.Update(fx, fy, fz, roll);
    ForEachGridRay(planesAxes, fx, fy, fz, 256.0, [&](int index, const float* ray) {
        const PlanesHit hit = CastPlanesRay(a, px, py, pz, ray[0], ray[1], ray[2]);
        blockGrid.u[index] = hit.u;
        blockGrid.v[index] = hit.v;
        blockGrid.light[index] = hit.level * 256; // 8.8
    });
}

void FillCylinder(float a, float px, float py, float pz, float fx, float fy, float fz,
                  double roll) {
    cylinderAxes.Update(fx, fy, fz, roll);
    ForEachGridRay(cylinderAxes, fx, fy, fz, 256.0, [&](int index, const float* ray) {
        const CylinderHit hit = CastCylinderRay(a, px, py, pz, ray[0], ray[1], ray[2]);
        // The fog level is the depth: the column replaces the plane only where it is nearer by
        // at least one level; on equal levels the plane stays.
        if (hit.hit && blockGrid.light[index] > hit.level * 256) {
            blockGrid.v[index] = hit.v;
            blockGrid.light[index] = hit.level * 256;
            blockGrid.u[index] = hit.u;
        }
    });
}

void RunPlanesScene(FrameBuffer frameBuffer) {
    Surface texture(kTexturePath);
    RequireImageSize(texture, kTexturePath, kTextureSize, kTextureSize);
    DrawFramesUntil(kEndTime, [&](double t, float) {
        const PlanesCamera camera = PlanesCameraAt(t);
        FillPlanes(kPlaneDistance, camera.px, camera.py, camera.pz, camera.fx, camera.fy, camera.fz,
                   camera.roll);
        FillCylinder(kColumnRadius, camera.px, camera.py, camera.pz, camera.fx, camera.fy,
                     camera.fz, camera.roll);
        MapGrid(texture.data, frameBuffer); // writes every pixel: no clearing needed
        PresentFrame(frameBuffer);
    });
}
