#include "scenes/rippledplane.h"

#include "assets/bmp.h"
#include "base/numeric.h"
#include "base/process.h"
#include "fx/blockgrid.h"
#include "scenes/raycamera.h"
#include "scenes/scenes.h"
#include "shell/clock.h"
#include "shell/display.h"

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

constexpr const char* kTexturePath = "data/boule/tex7c.bmp";
constexpr float kEndTime = 90.0f;
constexpr float kPlaneDistance = 1000.0f;
constexpr float kCameraHeight = 320.0f;

// Spatial frequency of the relief: the double nearest to 1/330 (one wave every 2073 units).
constexpr double kRippleFrequency = 0.0030303030303030303;
constexpr double kRippleHeight = 100.0;

// The screen axes of this scene's camera, kept from one frame to the next.
RayCameraAxes rippleAxes;

// Reads the texture into `texture` (256 x 256 words). Anything but a readable 24-bit BMP of
// 256 x 256 pixels ends the process: the scene would otherwise draw pixels that were never read.
void LoadRippleTexture(uint32_t* texture) {
    uint8_t* pixels = nullptr;
    uint8_t* palette = nullptr;
    int width = 0, height = 0, bpp = 0;
    const int result = ReadBMP(kTexturePath, &pixels, &width, &height, &bpp, &palette);
    if (result == kBmpOk && bpp == 24 && width == kTextureSize && height == kTextureSize) {
        UnpackBGR24(pixels, texture, width * height);
        std::free(pixels);
        return;
    }
    std::free(pixels);
    std::free(palette);
    FatalError(
        "Impossible de charger la texture : data/boule/tex7c.bmp (BMP 24 bits 256x256) !!\n");
}

} // namespace

int32_t PlaneTextureCoordinate(double world) {
    return TruncateToInt32(world * 10240.0);
}

int32_t FogLevel(double distance) {
    // Clamped before the conversion: a ray grazing a plane can hit it more than 2^31 / 0.05
    // units away, where the 32-bit truncation would wrap to a dark (or negative) level.
    const double level = distance * 0.05;
    if (level > 255.0)
        return 255;
    return TruncateToInt32(level);
}

RippledPlaneCamera RippledPlaneCameraAt(double t) {
    const float tf = static_cast<float>(t);
    RippledPlaneCamera camera;
    camera.px = static_cast<float>(1000.0 * std::cos(0.3 * t));
    camera.py = kCameraHeight;
    camera.pz = static_cast<float>(1000.0 * std::sin(0.3 * t));
    // Aim at (1000 cos(0.13 t), 5000, 1000 sin(0.11 t)): 4680 above the camera.
    const double ax = 1000.0 * std::cos(0.13 * tf) - camera.px;
    const double az = 1000.0 * std::sin(0.11 * tf) - camera.pz;
    const float n = static_cast<float>(std::sqrt(ax * ax + az * az + 21902400.0)); // 4680^2
    camera.fx = static_cast<float>(ax / n);
    camera.fy = static_cast<float>(4680.0 / n);
    camera.fz = static_cast<float>(az / n);
    return camera;
}

RippledPlaneHit CastRippledPlaneRay(float a, float px, float py, float pz, float dx, float dy,
                                    float dz, float tau) {
    RippledPlaneHit hit;
    if (dy == 0.0f) {
        hit.u = kNoHitCoordinate;
        hit.v = kNoHitCoordinate;
        hit.level = kNoHitLevel;
        return hit;
    }
    // Flat hit: the ceiling for a rising ray, the floor for a falling one.
    const double plane = dy > 0.0f ? a : -a;
    const double distance = (plane - py) / dy;
    hit.hx = static_cast<float>(px + distance * dx);
    hit.hz = pz + distance * dz;

    // One secant step for the relief. Moving back from the flat hit towards the camera by the
    // fraction lambda of the way (bx, bz), the ray drops lambda * py; the corrected hit is where
    // that drop equals the relief, h(lambda) = lambda * py, found from h(0) = h1 and h(s) = h2.
    const double w = kRippleFrequency;
    hit.h1 = kRippleHeight * std::sin(tau + hit.hz * w) * std::cos(tau + hit.hx * w);
    hit.s = hit.h1 / py;
    const float bx = static_cast<float>(static_cast<double>(px) - hit.hx);
    const float bz = static_cast<float>(static_cast<double>(pz) - hit.hz);
    hit.h2 = kRippleHeight * std::cos(tau + (hit.hx + hit.s * bx) * w) *
             std::sin(tau + (hit.hz + hit.s * bz) * w);
    const double denominator = hit.h2 - 2.0 * hit.h1;
    // A zero denominator (h1 = h2 = 0: the flat hit lies on a node of the relief) keeps the
    // flat hit.
    hit.q = denominator == 0.0 ? 0.0f : static_cast<float>(-hit.s * hit.h1 / denominator);
    hit.hxCorrected = hit.hx + hit.q * static_cast<double>(bx);
    hit.hzCorrected = hit.hz + hit.q * static_cast<double>(bz);

    hit.u = PlaneTextureCoordinate(hit.hxCorrected);
    hit.v = PlaneTextureCoordinate(hit.hzCorrected);
    const double ex = hit.hxCorrected - px;
    const double ez = hit.hzCorrected - pz;
    hit.level = FogLevel(std::sqrt(ex * ex + ez * ez));
    return hit;
}

void FillRippledPlane(float a, float px, float py, float pz, float fx, float fy, float fz,
                      double roll, float tau) {
    rippleAxes.Update(fx, fy, fz, roll);
    ForEachGridRay(rippleAxes, fx, fy, fz, 256.0, [&](int index, const float* ray) {
        const RippledPlaneHit hit = CastRippledPlaneRay(a, px, py, pz, ray[0], ray[1], ray[2], tau);
        blockGrid.u[index] = hit.u;
        blockGrid.v[index] = hit.v;
        blockGrid.light[index] = hit.level * 256; // 8.8
    });
}

void RunRippledPlaneScene(FrameBuffer frameBuffer) {
    std::vector<uint32_t> texture(kTextureSize * kTextureSize);
    LoadRippleTexture(texture.data());
    DrawFramesUntil(kEndTime, [&](double t, float tf) {
        const RippledPlaneCamera camera = RippledPlaneCameraAt(t);
        FillRippledPlane(kPlaneDistance, camera.px, kCameraHeight, camera.pz, camera.fx, camera.fy,
                         camera.fz, 0.0, tf);
        MapGrid(texture.data(), frameBuffer); // writes every pixel: no clearing needed
        PresentFrame(frameBuffer);
    });
}
