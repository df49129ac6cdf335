#include "scenes/ball.h"

#include "assets/inifile.h"
#include "assets/surface.h"
#include "base/framebuffer.h"
#include "base/numeric.h"
#include "base/process.h"
#include "fx/blit.h"
#include "fx/blockgrid.h"
#include "fx/radialblur.h"
#include "scenes/raycamera.h"
#include "scenes/scene_assets.h"
#include "scenes/scenes.h"
#include "shell/clock.h"
#include "shell/display.h"

#include <cmath>
#include <cstring>
#include <string>

namespace {

const char* const kParameterPath = "data/boule/boule.ini";
constexpr double kEndTime = 75.0; // scene-clock seconds
constexpr int32_t kStripFrames = 30;

constexpr float kFocalLength = 256.0f; // pixels
constexpr float kBallRadius = 5000.0f;

// The axes of the previous frame stand in for directions that leave them undefined.
RayCameraAxes ballAxes;

double Dot(const float a[3], Vec3f b) {
    return static_cast<double>(a[0]) * b.x + static_cast<double>(a[1]) * b.y +
           static_cast<double>(a[2]) * b.z;
}

// The image path the parameter file gives for `key`; a missing key is fatal like a missing
// image.
const char* ImagePath(const IniFile& parameters, const char* key) {
    const char* path = parameters.FindText(key);
    if (!path) {
        std::string message = std::string("Impossible de charger l'Surface : ") + key +
                              " absent de " + kParameterPath + " !!\n";
        FatalError(message.c_str());
    }
    return path;
}

} // namespace

BallCamera BallCameraAt(double a) {
    BallCamera camera;
    const float swing = static_cast<float>(5600.0 * std::cos(0.3 * a));
    camera.eye = {swing, static_cast<float>(5600.0 * std::sin(0.3 * a)), swing};
    camera.target = {static_cast<float>(2000.0 * std::cos(0.5 * a)),
                     static_cast<float>(2000.0 * std::sin(0.63 * a)),
                     static_cast<float>(2000.0 * std::sin(0.3 * a))};
    camera.roll = static_cast<float>(6.28 * std::sin(0.03 * a) * std::cos(0.05 * a));
    return camera;
}

Vec3f BallViewDirection(const BallCamera& camera) {
    const float dx = static_cast<float>(static_cast<double>(camera.target.x) - camera.eye.x);
    const float dy = static_cast<float>(static_cast<double>(camera.target.y) - camera.eye.y);
    const float dz = static_cast<float>(static_cast<double>(camera.target.z) - camera.eye.z);
    const double length = std::sqrt(static_cast<double>(dx) * dx + static_cast<double>(dy) * dy +
                                    static_cast<double>(dz) * dz);
    if (length == 0.0)
        FatalError("camera erreur: position = vis\xE9"
                   "e!!\n");
    return {static_cast<float>(dx / length), static_cast<float>(dy / length),
            static_cast<float>(dz / length)};
}

void ComputeBallGrid(float f, float R, Vec3f eye, Vec3f direction, double roll, int32_t* centreX,
                     int32_t* centreY) {
    ballAxes.Update(direction.x, direction.y, direction.z, roll);
    const float* right = ballAxes.right;
    const float* down = ballAxes.down;
    const float* forward = ballAxes.forward;

    // The world origin seen from the eye, in camera space, projected (offsets 255 and 127).
    const double depth = Dot(forward, eye);
    *centreX = TruncateToInt32(f * Dot(right, eye) / depth + 255.0);
    *centreY = TruncateToInt32(f * Dot(down, eye) / depth + 127.0);

    const double pi = static_cast<float>(4.0 * std::atan(1.0)); // pi as a float: 3.1415927
    const double eyeX = eye.x, eyeY = eye.y, eyeZ = eye.z;
    // |E|^2 - R^2: the constant term of the ray-sphere quadratic.
    const double c0 = eyeX * eyeX + eyeY * eyeY + eyeZ * eyeZ - static_cast<double>(R) * R;

    ForEachGridRay(
        ballAxes, forward[0], forward[1], forward[2], f, [&](int index, const float* ray) {
            const float dx = ray[0], dy = ray[1], dz = ray[2];

            int32_t u = kBallMissCoordinate; // 16.16 texel column
            int32_t v = kBallMissCoordinate; // 16.16 texel row
            int32_t light = kEmptyLight;     // 8.8
            const double qa = static_cast<double>(dx) * dx + static_cast<double>(dy) * dy +
                              static_cast<double>(dz) * dz;
            const double qb = 2.0 * (dx * eyeX + dy * eyeY + dz * eyeZ);
            const double disc = qb * qb - 4.0 * qa * c0;
            if (disc > 0.0) { // a ray that only grazes the ball misses it
                const double root = std::sqrt(disc);
                double t = (-qb - root) / (2.0 * qa);
                if (t < 0.0)
                    t = (-qb + root) / (2.0 * qa);
                if (t > 0.0) {
                    const double hitX = eyeX + t * dx;
                    const double hitY = eyeY + t * dy;
                    const double hitZ = eyeZ + t * dz;
                    // 2^24 / pi: half a turn of longitude spans the 256 texture columns.
                    u = TruncateToInt32(std::fabs(std::atan2(hitY, hitX)) * 16777216.0 / pi);
                    // 150 * 65536 / R: pole to pole spans 300 texel rows.
                    v = TruncateToInt32(hitZ * 9830400.0 / R);
                    light = 0;
                }
            }
            blockGrid.u[index] = u;
            blockGrid.v[index] = v;
            blockGrid.light[index] = light;
        });
}

void ClampBallBlurCentre(int32_t* x, int32_t* y) {
    *x = *x < 3 ? 3 : (*x > 509 ? 509 : *x);
    *y = *y < 3 ? 3 : (*y > 251 ? 251 : *y);
}

int32_t BallAnimationFrame(double animationFactor, double a) {
    const int32_t n = TruncateToInt32(animationFactor * a);
    const int32_t frame = n % kStripFrames;
    return frame < 0 ? frame + kStripFrames : frame;
}

void RunBallScene(uint32_t* frameBuffer) {
    IniFile parameters(kParameterPath);
    const char* texturePath = ImagePath(parameters, "[boule_text]");
    Surface texture(texturePath);
    // The block mapper reads its texture as 256 rows of 256 texels.
    RequireImageSize(texture, texturePath, kTextureSize, kTextureSize);
    Surface strip(ImagePath(parameters, "[anim_octet]"));
    Surface logo(ImagePath(parameters, "[boule_logo]")); // loaded with the scene, not drawn

    if (SceneSeconds() < kEndTime) {
        const int32_t frameHeight = strip.height / kStripFrames; // under 30 rows: nothing shows
        float t0;
        do {
            t0 = static_cast<float>(SceneSeconds());
            // Both factors are looked up again every frame.
            const double speed = parameters.FindNumber("[boule_vitesse]");
            const double a = static_cast<double>(SceneSeconds()) * speed;
            const BallCamera camera = BallCameraAt(a);
            const Vec3f direction = BallViewDirection(camera);
            int32_t centreX;
            int32_t centreY;
            ComputeBallGrid(kFocalLength, kBallRadius, camera.eye, direction, camera.roll, &centreX,
                            &centreY);
            std::memset(frameBuffer, 0, kFramePixels * sizeof(uint32_t));
            MapGridMasked(texture.data, frameBuffer);
            ClampBallBlurCentre(&centreX, &centreY);
            RadialBlur(frameBuffer, centreX, centreY);

            const int32_t frame = BallAnimationFrame(parameters.FindNumber("[anim_speed]"), a);
            const uint32_t* source =
                strip.data + static_cast<size_t>(frame) * frameHeight * strip.width;
            BlitAdditive(source, strip.width, frameHeight, frameBuffer, 0, 0);
            BlitAdditive(source, strip.width, frameHeight, frameBuffer, 384,
                         kFrameHeight - frameHeight);
            BlitAdditive(source, strip.width, frameHeight, frameBuffer, 448,
                         kFrameHeight - frameHeight);
            PresentFrame(frameBuffer);
        } while (t0 < kEndTime);
    }
    // Released here in reverse order: logo, strip, texture, then the parameter file.
}
