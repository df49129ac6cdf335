#include "engine3d/objet3d.h"

#include "base/cpu.h"
#include "engine3d/raster.h"
#include "base/numeric.h"

#include <cmath>

// The AVX-512 form of TransformPoints, chosen at run time from the vector level.
#if defined(DEMO_X86_VECTORS)
#include <immintrin.h>
#endif

namespace {

constexpr float kFocalLength = 256.0f;   // pixels; 90 degrees over the 512 columns
constexpr float kScreenCentreX = 256.0f; // column of the view axis
constexpr float kScreenCentreY = 128.0f; // row of the view axis
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

// One point of TransformPoints: camera space, screen position and normal.
inline void TransformPoint(Objet3d& object, const float* m, float dx, float dy, float dz,
                           int32_t i) {
    // Object space to camera-relative world space, then camera space.
    const double qx = static_cast<double>(object.points[i * 3 + 0]) + dx;
    const double qy = static_cast<double>(object.points[i * 3 + 1]) + dy;
    const double qz = static_cast<double>(object.points[i * 3 + 2]) + dz;
    const float x = static_cast<float>(m[0] * qx + m[1] * qy + m[2] * qz);
    const float y = static_cast<float>(m[3] * qx + m[4] * qy + m[5] * qz);
    const float z = static_cast<float>(m[6] * qx + m[7] * qy + m[8] * qz);
    object.viewPoints[i * 3 + 0] = x;
    object.viewPoints[i * 3 + 1] = y;
    object.viewPoints[i * 3 + 2] = z;

    // Screen position. Points behind the camera come out mirrored; DrawFace's guard window
    // is the only screen-space test.
    if (z == 0.0f || std::isnan(z)) {
        object.screenX[i] = static_cast<int32_t>(kScreenCentreX);
        object.screenY[i] = static_cast<int32_t>(kScreenCentreY);
    } else {
        object.screenX[i] =
            TruncateToInt32(static_cast<double>(x) * kFocalLength / z + kScreenCentreX);
        object.screenY[i] =
            TruncateToInt32(static_cast<double>(y) * kFocalLength / z + kScreenCentreY);
    }

    // The point normal in camera space.
    const double nx = object.pointNormals[i * 3 + 0];
    const double ny = object.pointNormals[i * 3 + 1];
    const double nz = object.pointNormals[i * 3 + 2];
    object.viewNormals[i * 3 + 0] = static_cast<float>(m[0] * nx + m[1] * ny + m[2] * nz);
    object.viewNormals[i * 3 + 1] = static_cast<float>(m[3] * nx + m[4] * ny + m[5] * nz);
    object.viewNormals[i * 3 + 2] = static_cast<float>(m[6] * nx + m[7] * ny + m[8] * nz);
}

#if defined(DEMO_X86_VECTORS)

// Eight points at a time with AVX-512 (F, DQ and VL): the same double operations in the same order
// as TransformPoint, lane by lane. Truncation through a 64-bit integer gives the x86 "integer
// indefinite" for NaN and values out of range, whose low 32 bits are 0, as TruncateToInt32
// does. (Sampled over the first two scenes: one point at a time 4.3% of the work, this 0.8%.)
#define TRANSFORM_TARGET __attribute__((target("avx512f,avx512dq,avx512vl")))
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
// GCC 12 warns about the undefined start values inside its own AVX-512 intrinsics.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

// x, y and z of eight consecutive vectors of three floats, as doubles.
struct Columns {
    __m512d x, y, z;
};

TRANSFORM_TARGET inline Columns LoadColumns(const float* xyz) {
    const __m512 first = _mm512_loadu_ps(xyz);
    const __m512 second = _mm512_maskz_loadu_ps(0xFF, xyz + 16);
    const __m512i xs = _mm512_setr_epi32(0, 3, 6, 9, 12, 15, 18, 21, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m512i ys = _mm512_setr_epi32(1, 4, 7, 10, 13, 16, 19, 22, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m512i zs = _mm512_setr_epi32(2, 5, 8, 11, 14, 17, 20, 23, 0, 0, 0, 0, 0, 0, 0, 0);
    return {_mm512_cvtps_pd(_mm512_castps512_ps256(_mm512_permutex2var_ps(first, xs, second))),
            _mm512_cvtps_pd(_mm512_castps512_ps256(_mm512_permutex2var_ps(first, ys, second))),
            _mm512_cvtps_pd(_mm512_castps512_ps256(_mm512_permutex2var_ps(first, zs, second)))};
}

// Row r of the camera matrix times the columns, rounded to float.
TRANSFORM_TARGET inline __m256 Row(const float* m, int r, const Columns& c) {
    const __m512d sum =
        _mm512_add_pd(_mm512_add_pd(_mm512_mul_pd(_mm512_set1_pd(m[r * 3 + 0]), c.x),
                                    _mm512_mul_pd(_mm512_set1_pd(m[r * 3 + 1]), c.y)),
                      _mm512_mul_pd(_mm512_set1_pd(m[r * 3 + 2]), c.z));
    return _mm512_cvtpd_ps(sum);
}

// Stores eight x, y, z triples.
TRANSFORM_TARGET inline void StoreTriples(float* xyz, __m256 x, __m256 y, __m256 z) {
    const __m512 xy = _mm512_insertf32x8(_mm512_castps256_ps512(x), y, 1);
    const __m512 zz = _mm512_castps256_ps512(z);
    const __m512i low = _mm512_setr_epi32(0, 8, 16, 1, 9, 17, 2, 10, 18, 3, 11, 19, 4, 12, 20, 5);
    const __m512i high = _mm512_setr_epi32(13, 21, 6, 14, 22, 7, 15, 23, 0, 0, 0, 0, 0, 0, 0, 0);
    _mm512_storeu_ps(xyz, _mm512_permutex2var_ps(xy, low, zz));
    _mm512_mask_storeu_ps(xyz + 16, 0xFF, _mm512_permutex2var_ps(xy, high, zz));
}

// The screen coordinate of eight points: value * 256 / z + centre, truncated; the centre
// where z is 0 or not a number.
TRANSFORM_TARGET inline __m256i Project(__m256 value, __m512d z, __mmask8 onCentre, double centre) {
    const __m512d v = _mm512_add_pd(
        _mm512_div_pd(_mm512_mul_pd(_mm512_cvtps_pd(value), _mm512_set1_pd(kFocalLength)), z),
        _mm512_set1_pd(centre));
    const __m256i truncated = _mm512_cvtepi64_epi32(_mm512_cvttpd_epi64(v));
    return _mm256_mask_blend_epi32(onCentre, truncated,
                                   _mm256_set1_epi32(static_cast<int32_t>(centre)));
}

TRANSFORM_TARGET void TransformPointsAvx512(Objet3d& object, const float* m, float dx, float dy,
                                            float dz, int32_t count) {
    const __m512d offsetX = _mm512_set1_pd(dx), offsetY = _mm512_set1_pd(dy),
                  offsetZ = _mm512_set1_pd(dz);
    for (int32_t i = 0; i + 8 <= count; i += 8) {
        Columns q = LoadColumns(&object.points[i * 3]);
        q.x = _mm512_add_pd(q.x, offsetX);
        q.y = _mm512_add_pd(q.y, offsetY);
        q.z = _mm512_add_pd(q.z, offsetZ);
        const __m256 x = Row(m, 0, q), y = Row(m, 1, q), z = Row(m, 2, q);
        StoreTriples(&object.viewPoints[i * 3], x, y, z);
        const __m512d zd = _mm512_cvtps_pd(z);
        const __mmask8 onCentre = _mm512_cmp_pd_mask(zd, _mm512_setzero_pd(), _CMP_EQ_UQ);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(&object.screenX[i]),
                            Project(x, zd, onCentre, kScreenCentreX));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(&object.screenY[i]),
                            Project(y, zd, onCentre, kScreenCentreY));
        const Columns n = LoadColumns(&object.pointNormals[i * 3]);
        StoreTriples(&object.viewNormals[i * 3], Row(m, 0, n), Row(m, 1, n), Row(m, 2, n));
    }
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#endif // DEMO_X86_VECTORS

} // namespace

void Objet3d::TransformPoints(const CameraMatrix& cameraMatrix, Vec3f cameraPosition) {
    const float* m = cameraMatrix.m;
    // World offset from the camera to the object's origin.
    const float dx = static_cast<float>(static_cast<double>(position[0]) - cameraPosition.x);
    const float dy = static_cast<float>(static_cast<double>(position[1]) - cameraPosition.y);
    const float dz = static_cast<float>(static_cast<double>(position[2]) - cameraPosition.z);
    int32_t i = 0;
#if defined(DEMO_X86_VECTORS)
    if (CurrentVectorLevel() >= VectorLevel::kAvx512) {
        TransformPointsAvx512(*this, m, dx, dy, dz, pointCount);
        i = pointCount / 8 * 8;
    }
#endif
    for (; i < pointCount; ++i)
        TransformPoint(*this, m, dx, dy, dz, i);
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
