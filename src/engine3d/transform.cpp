#include "engine3d/objet3d.h"

#include "base/numeric.h"
#include "base/vector_forms.h"
#include "engine3d/raster.h"
#include "engine3d/transform_forms.h"

#include <cmath>

namespace {

constexpr float kEnvMapScale = 120.0f;   // normal x, y of +-1 reach texels 7 and 247
constexpr float kEnvMapCentre = 127.0f;  // texel of a normal facing the camera
constexpr float kOneThird = 0.33333334f; // the float nearest 1/3 (0x3EAAAAAB)

} // namespace

void Objet3d::Render(const CameraMatrix& cameraMatrix, Vec3f cameraPosition,
                     uint32_t* frameBuffer) {
    TransformPoints(cameraMatrix, cameraPosition);
    CalcEnvCoords();
    CalcDepthKeys();
    SortFaces();
    // Farthest first, so that nearer faces paint over it: DrawFace for drawOrder[faceCount - 1]
    // down to drawOrder[0], with the faces' tests made all at once.
    DrawFacesBackToFront(*this, cameraPosition, frameBuffer);
}

namespace {

// The plain form: one point at a time.
void TransformPointsPlain(const TransformArrays& arrays, const float* m, float dx, float dy,
                          float dz) {
    for (int32_t i = 0; i < arrays.count; ++i) {
        // Object space to camera-relative world space, then camera space.
        const double qx = static_cast<double>(arrays.points[i * 3 + 0]) + dx;
        const double qy = static_cast<double>(arrays.points[i * 3 + 1]) + dy;
        const double qz = static_cast<double>(arrays.points[i * 3 + 2]) + dz;
        const float x = static_cast<float>(m[0] * qx + m[1] * qy + m[2] * qz);
        const float y = static_cast<float>(m[3] * qx + m[4] * qy + m[5] * qz);
        const float z = static_cast<float>(m[6] * qx + m[7] * qy + m[8] * qz);
        arrays.viewPoints[i * 3 + 0] = x;
        arrays.viewPoints[i * 3 + 1] = y;
        arrays.viewPoints[i * 3 + 2] = z;

        // Screen position. Points behind the camera come out mirrored; DrawFace's guard window
        // is the only screen-space test.
        if (z == 0.0f || std::isnan(z)) {
            arrays.screenX[i] = static_cast<int32_t>(kScreenCentreX);
            arrays.screenY[i] = static_cast<int32_t>(kScreenCentreY);
        } else {
            arrays.screenX[i] =
                TruncateToInt32(static_cast<double>(x) * kFocalLength / z + kScreenCentreX);
            arrays.screenY[i] =
                TruncateToInt32(static_cast<double>(y) * kFocalLength / z + kScreenCentreY);
        }

        // The point normal in camera space.
        const double nx = arrays.normals[i * 3 + 0];
        const double ny = arrays.normals[i * 3 + 1];
        const double nz = arrays.normals[i * 3 + 2];
        arrays.viewNormals[i * 3 + 0] = static_cast<float>(m[0] * nx + m[1] * ny + m[2] * nz);
        arrays.viewNormals[i * 3 + 1] = static_cast<float>(m[3] * nx + m[4] * ny + m[5] * nz);
        arrays.viewNormals[i * 3 + 2] = static_cast<float>(m[6] * nx + m[7] * ny + m[8] * nz);
    }
}

constexpr VectorForms<TransformFunction> transformPoints{TransformPointsPlain, nullptr, nullptr,
                                                         X86_FORM(TransformPointsAvx512)};

} // namespace

void Objet3d::TransformPoints(const CameraMatrix& cameraMatrix, Vec3f cameraPosition) {
    // World offset from the camera to the object's origin.
    const float dx = static_cast<float>(static_cast<double>(position[0]) - cameraPosition.x);
    const float dy = static_cast<float>(static_cast<double>(position[1]) - cameraPosition.y);
    const float dz = static_cast<float>(static_cast<double>(position[2]) - cameraPosition.z);
    const TransformArrays arrays{
        pointCount,        points.get(),  pointNormals.get(), viewPoints.get(),
        viewNormals.get(), screenX.get(), screenY.get(),
    };
    transformPoints.Current()(arrays, cameraMatrix.m, dx, dy, dz);
}

void Objet3d::CalcEnvCoords() {
    for (int32_t i = 0; i < pointCount; ++i) {
        const double nx = viewNormals[i * 3 + 0];
        const double ny = viewNormals[i * 3 + 1];
        envCoords[i * 2 + 0] = TruncateToInt32(nx * kEnvMapScale + kEnvMapCentre);
        envCoords[i * 2 + 1] = TruncateToInt32(ny * kEnvMapScale + kEnvMapCentre);
    }
}

void Objet3d::CalcDepthKeys() {
    for (int32_t f = 0; f < faceCount; ++f) {
        const int32_t a = faces[f * 3 + 0];
        const int32_t b = faces[f * 3 + 1];
        const int32_t c = faces[f * 3 + 2];
        const double sum = static_cast<double>(viewPoints[c * 3 + 2]) + viewPoints[b * 3 + 2] +
                           viewPoints[a * 3 + 2];
        depthKeys[f] = static_cast<float>(sum * kOneThird);
        drawOrder[f] = f;
    }
}
