#include "scenes/object.h"

#include "assets/surface.h"
#include "engine3d/objet3d.h"
#include "fx/blit.h"
#include "base/framebuffer.h"
#include "base/numeric.h"
#include "fx/radialblur.h"
#include "scenes/scenes.h"
#include "shell/clock.h"
#include "shell/display.h"
#include "base/process.h"

#include <cmath>
#include <cstring>

namespace {

const char* const kMeshPath = "data/3d/u_mec.lwo";
const char* const kEnvMapPath = "data/3d/env_neg.bmp";
const char* const kStripPath = "data/boule/anim_cercle2.bmp";

constexpr double kEndTime = 60.0; // scene-clock seconds
constexpr int32_t kStripFrames = 4;
constexpr int32_t kAnimationSlots = 3;
constexpr int32_t kAnimationGap = 5; // pixels between the slots

} // namespace

ObjectCamera ObjectCameraAt(double t) {
    const Vec3f position = {static_cast<float>(std::sin(t) * -20.0),
                            static_cast<float>(60.0 - std::sin(t * 1.3) * 20.0),
                            static_cast<float>(std::cos(t) * -20.0)};
    return ObjectCameraFrom(position);
}

ObjectCamera ObjectCameraFrom(Vec3f position) {
    ObjectCamera camera;
    camera.position = position;
    // From the camera to the point it looks at, (0, 60, 0).
    const float dx = -position.x;
    const float dy = static_cast<float>(60.0f - static_cast<double>(position.y));
    const float dz = -position.z;
    camera.length =
        static_cast<float>(std::sqrt(static_cast<double>(dx) * dx + static_cast<double>(dy) * dy +
                                     static_cast<double>(dz) * dz));
    if (camera.length == 0.0f) {
        Trace("cam = visee!!! dommage: norme = 0");
        EndProcess(1);
    }
    camera.direction.x = static_cast<float>(static_cast<double>(dx) / camera.length);
    camera.direction.y = static_cast<float>(static_cast<double>(dy) / camera.length);
    camera.direction.z = static_cast<float>(static_cast<double>(dz) / camera.length);
    return camera;
}

int32_t ObjectAnimationIndex(double t) {
    return TruncateToInt32(t * 4.0);
}

int32_t ObjectAnimationFrame(int32_t index, int32_t slot) {
    // The remainder is taken non-negative so that no index can select a frame before the strip.
    const int32_t frame = static_cast<int32_t>((static_cast<int64_t>(index) + slot) % kStripFrames);
    return frame < 0 ? frame + kStripFrames : frame;
}

void RunObjectScene(uint32_t* frameBuffer) {
    Objet3d mesh;
    mesh.LoadLWO(kMeshPath);
    mesh.CalcNormalesFaces();
    mesh.CalcNormalesPoints();
    mesh.LoadEnvMap(kEnvMapPath); // a map other than 256 x 256 is refused there
    mesh.SetPosition(0.0f, 0.0f, 0.0f);
    Surface strip(kStripPath);

    if (SceneSeconds() < kEndTime) {
        const int32_t width = strip.width;
        const int32_t frameHeight =
            strip.height / kStripFrames; // a strip under 4 rows shows nothing
        double t;
        do {
            t = static_cast<double>(SceneSeconds());
            const int32_t index = ObjectAnimationIndex(t);
            const ObjectCamera camera = ObjectCameraAt(t);
            CameraMatrix matrix;
            BuildCameraMatrix(matrix, camera.direction.x, camera.direction.y, camera.direction.z,
                              0.0);
            std::memset(frameBuffer, 0, kFramePixels * sizeof(uint32_t));
            mesh.Render(matrix, camera.position, frameBuffer);
            RadialBlur(frameBuffer, kFrameWidth / 2, kFrameHeight / 2);
            for (int32_t slot = 0; slot < kAnimationSlots; ++slot) {
                const int32_t frame = ObjectAnimationFrame(index, slot);
                const uint32_t* source =
                    strip.data + static_cast<size_t>(frame) * frameHeight * width;
                BlitAdditive(source, width, frameHeight, frameBuffer,
                             slot * (width + kAnimationGap), kFrameHeight - frameHeight);
            }
            PresentFrame(frameBuffer);
        } while (t < kEndTime);
    }
    // The strip is released here, then the mesh.
}
