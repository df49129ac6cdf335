#include "engine3d/raster.h"

#include "engine3d/objet3d.h"
#include "base/framebuffer.h"

#include <cmath>
#include <utility>
#include <vector>

namespace {

// A corner in whole units: column, row, texel column, texel row.
struct Corner {
    int32_t x, y, s, t;
};

// Integer division truncating toward zero, made with a multiplication, for the fifteen
// divisions of a triangle's set-up that share three divisors (about 9% of the time of a frame
// of small mesh triangles; doing the same for the two divisions per row, with a table of
// reciprocals, was 10% slower than the hardware division and was dropped).
//
// For d > 0, a / d = q + f with q the truncated quotient; evaluating (|a| + 0.5) / d instead
// puts the fraction in [0.5 / d, 1 - 0.5 / d], away from both integers, and two double
// roundings (1 / d, then the product) move a value below 2^31 by less than 2^-21, which is
// under 0.5 / d for every d below 2^20. So truncating the double gives q exactly. Larger
// divisors, which the guard window never produces, take the integer division.
constexpr int32_t kReciprocalLimit = 1 << 20;

struct Divisor {
    int32_t d;
    double reciprocal;
    explicit Divisor(int32_t divisor) : d(divisor), reciprocal(1.0 / divisor) {}
    int32_t Divide(int32_t a) const {
        if (d >= kReciprocalLimit)
            return a / d;
        const double q = (std::fabs(static_cast<double>(a)) + 0.5) * reciprocal;
        return static_cast<int32_t>(a < 0 ? -q : q);
    }
};

// One span of `count` pixels from dst on (already clipped to the row), starting at texture
// position (s, t) and stepping (ds, dt) per pixel, all 16.16.
inline void FillSpan(const uint32_t* texture, uint32_t* dst, int32_t count, int32_t s, int32_t t,
                     int32_t ds, int32_t dt) {
    constexpr uint32_t kLimit = kTextureCoordinateLimit; // negatives become large
    uint32_t* const end = dst + count;
    if (count >= 4) {
        // s and t move linearly, so they stay inside the texture along the whole span when
        // they are inside at both ends; then the per-pixel test can go.
        const int64_t sLast = s + static_cast<int64_t>(ds) * (count - 1);
        const int64_t tLast = t + static_cast<int64_t>(dt) * (count - 1);
        if (static_cast<uint32_t>(s) < kLimit && static_cast<uint32_t>(t) < kLimit &&
            static_cast<uint64_t>(sLast) < kLimit && static_cast<uint64_t>(tLast) < kLimit) {
            // Four pixels at a time: the four texel indices in one vector.
            typedef int32_t Int4 __attribute__((vector_size(16)));
            Int4 sv = {s, s + ds, s + 2 * ds, s + 3 * ds};
            Int4 tv = {t, t + dt, t + 2 * dt, t + 3 * dt};
            const Int4 ds4 = {4 * ds, 4 * ds, 4 * ds, 4 * ds};
            const Int4 dt4 = {4 * dt, 4 * dt, 4 * dt, 4 * dt};
            for (; end - dst >= 4; dst += 4) {
                const Int4 index = ((tv >> 16) << 8) + (sv >> 16);
                dst[0] = texture[index[0]];
                dst[1] = texture[index[1]];
                dst[2] = texture[index[2]];
                dst[3] = texture[index[3]];
                sv += ds4;
                tv += dt4;
            }
            s = sv[0];
            t = tv[0];
        }
    }
    for (; dst < end; ++dst) {
        const bool texelInside =
            static_cast<uint32_t>(s) < kLimit && static_cast<uint32_t>(t) < kLimit;
        *dst = texelInside ? texture[((t >> 16) << 8) + (s >> 16)] : texture[0];
        s += ds;
        t += dt;
    }
}

// Draws `rows` rows from row y on, the left edge starting at (xl, sl, tl) and the right edge
// at (xr, sr, tr), each moving by (dxl, dsl, dtl) and (dxr, dsr, dtr) per row (all 16.16).
// Rows above and below the frame are passed over in one step; each span is clipped to the
// frame's columns before its pixel loop, with the texture position moved on by the pixels cut
// off at the left. Always inlined: the values then stay in registers (passed in a struct,
// they went through memory and cost a quarter of the time).
__attribute__((always_inline)) inline void DrawRows(const uint32_t* texture, uint32_t* frameBuffer,
                                                    int32_t y, int32_t rows, int32_t xl, int32_t sl,
                                                    int32_t tl, int32_t xr, int32_t sr, int32_t tr,
                                                    int32_t dxl, int32_t dsl, int32_t dtl,
                                                    int32_t dxr, int32_t dsr, int32_t dtr) {
    if (y < 0) {
        // The values that many steps further down. The sum never leaves the edge, so the
        // product cannot overflow where the repeated sum does not.
        const int32_t skipped = rows < -y ? rows : -y;
        xl += dxl * skipped;
        sl += dsl * skipped;
        tl += dtl * skipped;
        xr += dxr * skipped;
        sr += dsr * skipped;
        tr += dtr * skipped;
        y += skipped;
        rows -= skipped;
    }
    if (rows > kFrameHeight - y)
        rows = kFrameHeight - y;
    if (rows <= 0)
        return;
    uint32_t* row = frameBuffer + y * kFrameWidth;
    for (; rows > 0; --rows, row += kFrameWidth) {
        const int32_t w = (xr - xl) >> 16; // whole part of the span's width
        if (w > 0) {
            int32_t xs = xl >> 16;
            int32_t xe = xr >> 16;
            if (xs < kFrameWidth && xe >= 0) {
                const int32_t ds = (sr - sl) / w;
                const int32_t dt = (tr - tl) / w;
                int32_t s = sl;
                int32_t t = tl;
                if (xs < 0) {
                    // The position after -xs steps; the product may need 64 bits, the sum
                    // never leaves the span.
                    s = static_cast<int32_t>(s + static_cast<int64_t>(ds) * -xs);
                    t = static_cast<int32_t>(t + static_cast<int64_t>(dt) * -xs);
                    xs = 0;
                }
                if (xe >= kFrameWidth)
                    xe = kFrameWidth - 1;
                FillSpan(texture, row + xs, xe - xs + 1, s, t, ds, dt);
            }
        }
        xl += dxl;
        sl += dsl;
        tl += dtl;
        xr += dxr;
        sr += dsr;
        tr += dtr;
    }
}

// The guard window: corners farther than 150 pixels outside the frame drop the whole face.
constexpr int32_t kGuardBorder = 150;

inline bool InsideGuardWindow(int32_t x, int32_t y) {
    return x > -kGuardBorder && x < kFrameWidth + kGuardBorder && y > -kGuardBorder &&
           y < kFrameHeight + kGuardBorder;
}

} // namespace

void DrawTexturedTriangle(const uint32_t* texture, uint32_t* frameBuffer, int32_t x0, int32_t y0,
                          int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t s0, int32_t t0,
                          int32_t s1, int32_t t1, int32_t s2, int32_t t2) {
    Corner c0{x0, y0, s0, t0};
    Corner c1{x1, y1, s1, t1};
    Corner c2{x2, y2, s2, t2};
    // Three compare-and-exchange steps; equal rows are never exchanged. (Exchanges written
    // without branches measured the same.)
    if (c1.y > c2.y)
        std::swap(c1, c2);
    if (c0.y > c1.y)
        std::swap(c0, c1);
    if (c1.y > c2.y)
        std::swap(c1, c2);
    if (c0.y == c2.y)
        return;

    // The point of the long edge (corner 0 to corner 2) on the middle corner's row, in whole
    // units, and which of it and the middle corner lies left.
    const Divisor height(c2.y - c0.y);
    const int32_t upperRows = c1.y - c0.y;
    const Corner onLongEdge{c0.x + height.Divide((c2.x - c0.x) * upperRows), c1.y,
                            c0.s + height.Divide((c2.s - c0.s) * upperRows),
                            c0.t + height.Divide((c2.t - c0.t) * upperRows)};
    const bool longEdgeLeft = onLongEdge.x <= c1.x;
    const Corner& left = longEdgeLeft ? onLongEdge : c1;
    const Corner& right = longEdgeLeft ? c1 : onLongEdge;

    // Upper half: both edges start at corner 0.
    if (upperRows > 0) {
        const Divisor n(upperRows);
        DrawRows(texture, frameBuffer, c0.y, upperRows, c0.x * 65536, c0.s * 65536, c0.t * 65536,
                 c0.x * 65536, c0.s * 65536, c0.t * 65536, n.Divide((left.x - c0.x) * 65536),
                 n.Divide((left.s - c0.s) * 65536), n.Divide((left.t - c0.t) * 65536),
                 n.Divide((right.x - c0.x) * 65536), n.Divide((right.s - c0.s) * 65536),
                 n.Divide((right.t - c0.t) * 65536));
    }
    // Lower half: the edges restart at the left and right points and meet at corner 2.
    const int32_t lowerRows = c2.y - c1.y;
    if (lowerRows > 0) {
        const Divisor m(lowerRows);
        DrawRows(texture, frameBuffer, c1.y, lowerRows, left.x * 65536, left.s * 65536,
                 left.t * 65536, right.x * 65536, right.s * 65536, right.t * 65536,
                 m.Divide((c2.x - left.x) * 65536), m.Divide((c2.s - left.s) * 65536),
                 m.Divide((c2.t - left.t) * 65536), m.Divide((c2.x - right.x) * 65536),
                 m.Divide((c2.s - right.s) * 65536), m.Divide((c2.t - right.t) * 65536));
    }
}

namespace {

// A point's screen position and environment-map coordinates side by side, so that a corner
// is one load in the passes below instead of three from three arrays.
struct ScreenCorner {
    int32_t x, y, s, t;
};

// DrawFacesBackToFront's work arrays, kept from call to call.
std::vector<ScreenCorner> cornersScratch;
std::vector<int32_t> facesToDraw;
std::vector<uint8_t> drawnScratch;

// Whether DrawFace draws the face: every corner inside the guard window, and the normal not
// turned away from the camera (the same double arithmetic as DrawFace).
inline bool FaceDrawn(const Objet3d& object, const ScreenCorner* corners, Vec3f cameraPosition,
                      int32_t face) {
    const int32_t a = object.faces[face * 3 + 0];
    const int32_t b = object.faces[face * 3 + 1];
    const int32_t c = object.faces[face * 3 + 2];
    // Bitwise on purpose: all three tests, no branch.
    const bool inside = static_cast<int>(InsideGuardWindow(corners[a].x, corners[a].y)) &
                        static_cast<int>(InsideGuardWindow(corners[b].x, corners[b].y)) &
                        static_cast<int>(InsideGuardWindow(corners[c].x, corners[c].y));
    const float* p = &object.points[a * 3];
    const float* n = &object.faceNormals[face * 3];
    const double ex = static_cast<double>(p[0]) - cameraPosition.x;
    const double ey = static_cast<double>(p[1]) - cameraPosition.y;
    const double ez = static_cast<double>(p[2]) - cameraPosition.z;
    return static_cast<int>(inside) & static_cast<int>(!(ex * n[0] + ey * n[1] + ez * n[2] > 0.0));
}

} // namespace

// About half the faces turn their back to the camera, in no order the processor can guess:
// tested face by face in depth order, the tests cost a third as much as drawing (DrawFace was
// 7% of the whole show). Here they run in face order without branches, and the depth-order
// walk only writes each face into the list and moves on when it passes.
void DrawFacesBackToFront(const Objet3d& object, Vec3f cameraPosition, uint32_t* frameBuffer) {
    const int32_t count = object.faceCount;
    cornersScratch.resize(static_cast<size_t>(object.pointCount));
    ScreenCorner* corners = cornersScratch.data();
    for (int32_t i = 0; i < object.pointCount; ++i)
        corners[i] = {object.screenX[i], object.screenY[i], object.envCoords[i * 2],
                      object.envCoords[i * 2 + 1]};
    facesToDraw.resize(static_cast<size_t>(count));
    int32_t* list = facesToDraw.data();
    // Which faces are drawn, by face number first...
    std::vector<uint8_t>& drawn = drawnScratch;
    drawn.resize(static_cast<size_t>(count));
    for (int32_t f = 0; f < count; ++f)
        drawn[f] = FaceDrawn(object, corners, cameraPosition, f);
    // ... then in depth order, farthest first.
    int32_t n = 0;
    for (int32_t i = count - 1; i >= 0; --i) {
        const int32_t f = object.drawOrder[i];
        list[n] = f;
        n += drawn[f];
    }
    const uint32_t* texture = object.envMap.data;
    for (int32_t k = 0; k < n; ++k) {
        const int32_t* corner = &object.faces[list[k] * 3];
        const ScreenCorner& a = corners[corner[0]];
        const ScreenCorner& b = corners[corner[1]];
        const ScreenCorner& c = corners[corner[2]];
        DrawTexturedTriangle(texture, frameBuffer, a.x, a.y, b.x, b.y, c.x, c.y, a.s, a.t, b.s, b.t,
                             c.s, c.t);
    }
}

void Objet3d::DrawFace(Vec3f cameraPosition, uint32_t* frameBuffer, int32_t face) {
    const int32_t a = faces[face * 3 + 0];
    const int32_t b = faces[face * 3 + 1];
    const int32_t c = faces[face * 3 + 2];
    if (!InsideGuardWindow(screenX[a], screenY[a]) || !InsideGuardWindow(screenX[b], screenY[b]) ||
        !InsideGuardWindow(screenX[c], screenY[c]))
        return;

    // Back faces: the normal points away from the camera. The test uses the first corner in
    // object space, without the object's position.
    const float* p = &points[a * 3];
    const float* n = &faceNormals[face * 3];
    const double ex = static_cast<double>(p[0]) - cameraPosition.x;
    const double ey = static_cast<double>(p[1]) - cameraPosition.y;
    const double ez = static_cast<double>(p[2]) - cameraPosition.z;
    if (ex * n[0] + ey * n[1] + ez * n[2] > 0.0)
        return;

    DrawTexturedTriangle(envMap.data, frameBuffer, screenX[a], screenY[a], screenX[b], screenY[b],
                         screenX[c], screenY[c], envCoords[a * 2], envCoords[a * 2 + 1],
                         envCoords[b * 2], envCoords[b * 2 + 1], envCoords[c * 2],
                         envCoords[c * 2 + 1]);
}
