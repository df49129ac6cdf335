#include "engine3d/raster.h"

#include "engine3d/objet3d.h"
#include "fx/framebuffer.h"

#include <utility>

namespace {

// A corner in whole units: column, row, texel column, texel row.
struct Corner {
    int32_t x, y, s, t;
};

// The two edges of one half of a triangle, positions and steps per row in 16.16.
struct EdgePair {
    int32_t xl, sl, tl, xr, sr, tr;
    int32_t dxl, dsl, dtl, dxr, dsr, dtr;

    // Edges from `from` (left) and `fromRight` down `rows` rows to `toLeft` and `toRight`.
    EdgePair(const Corner& fromLeft, const Corner& fromRight, const Corner& toLeft,
             const Corner& toRight, int32_t rows)
        : xl(fromLeft.x * 65536), sl(fromLeft.s * 65536), tl(fromLeft.t * 65536),
          xr(fromRight.x * 65536), sr(fromRight.s * 65536), tr(fromRight.t * 65536),
          dxl(((toLeft.x - fromLeft.x) * 65536) / rows),
          dsl(((toLeft.s - fromLeft.s) * 65536) / rows),
          dtl(((toLeft.t - fromLeft.t) * 65536) / rows),
          dxr(((toRight.x - fromRight.x) * 65536) / rows),
          dsr(((toRight.s - fromRight.s) * 65536) / rows),
          dtr(((toRight.t - fromRight.t) * 65536) / rows) {}

    // The values `rows` rows further down: the sum of that many steps, which never leaves the
    // edge, so the product cannot overflow 32 bits where the sum does not.
    void Advance(int32_t rows) {
        xl += dxl * rows;
        sl += dsl * rows;
        tl += dtl * rows;
        xr += dxr * rows;
        sr += dsr * rows;
        tr += dtr * rows;
    }
};

// One span from xs to xe (both included, already clipped to the row) starting at texture
// position (s, t) and stepping (ds, dt) per pixel, all 16.16.
inline void FillSpan(const uint32_t* texture, uint32_t* dst, int32_t count, int32_t s, int32_t t,
                     int32_t ds, int32_t dt) {
    // s and t move linearly, so they stay inside the texture along the whole span when they
    // are inside at both ends; then the per-pixel test can go.
    const int64_t sLast = s + static_cast<int64_t>(ds) * (count - 1);
    const int64_t tLast = t + static_cast<int64_t>(dt) * (count - 1);
    const bool inside = s >= 0 && s < kTextureCoordinateLimit && t >= 0 &&
                        t < kTextureCoordinateLimit && sLast >= 0 &&
                        sLast < kTextureCoordinateLimit && tLast >= 0 &&
                        tLast < kTextureCoordinateLimit;
    if (inside) {
        for (int32_t i = 0; i < count; ++i) {
            dst[i] = texture[((t >> 16) << 8) + (s >> 16)];
            s += ds;
            t += dt;
        }
    } else {
        constexpr uint32_t kLimit = kTextureCoordinateLimit; // negatives become large
        for (int32_t i = 0; i < count; ++i) {
            const bool texelInside =
                static_cast<uint32_t>(s) < kLimit && static_cast<uint32_t>(t) < kLimit;
            dst[i] = texelInside ? texture[((t >> 16) << 8) + (s >> 16)] : texture[0];
            s += ds;
            t += dt;
        }
    }
}

// Draws `rows` rows from row y on, stepping the edges after each row. Rows above and below
// the frame are passed over in one step; each span is clipped to the frame's columns before
// its pixel loop, with the texture position moved on by the pixels cut off at the left.
void DrawRows(const uint32_t* texture, uint32_t* frameBuffer, EdgePair e, int32_t y, int32_t rows) {
    if (y < 0) {
        const int32_t skipped = rows < -y ? rows : -y;
        e.Advance(skipped);
        y += skipped;
        rows -= skipped;
    }
    if (rows > kFrameHeight - y)
        rows = kFrameHeight - y;
    for (; rows > 0; --rows, ++y) {
        const int32_t w = (e.xr - e.xl) >> 16; // whole part of the span's width
        if (w > 0) {
            int32_t xs = e.xl >> 16;
            int32_t xe = e.xr >> 16;
            if (xs < kFrameWidth && xe >= 0) {
                const int32_t ds = (e.sr - e.sl) / w;
                const int32_t dt = (e.tr - e.tl) / w;
                int32_t s = e.sl;
                int32_t t = e.tl;
                if (xs < 0) {
                    // The position after -xs steps; the product may need 64 bits, the sum
                    // never leaves the span.
                    s = static_cast<int32_t>(s + static_cast<int64_t>(ds) * -xs);
                    t = static_cast<int32_t>(t + static_cast<int64_t>(dt) * -xs);
                    xs = 0;
                }
                if (xe >= kFrameWidth)
                    xe = kFrameWidth - 1;
                FillSpan(texture, frameBuffer + y * kFrameWidth + xs, xe - xs + 1, s, t, ds, dt);
            }
        }
        e.xl += e.dxl;
        e.sl += e.dsl;
        e.tl += e.dtl;
        e.xr += e.dxr;
        e.sr += e.dsr;
        e.tr += e.dtr;
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
    // Three compare-and-exchange steps; equal rows are never exchanged.
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
    const int32_t height = c2.y - c0.y;
    const int32_t upperRows = c1.y - c0.y;
    const Corner onLongEdge{c0.x + (c2.x - c0.x) * upperRows / height, c1.y,
                            c0.s + (c2.s - c0.s) * upperRows / height,
                            c0.t + (c2.t - c0.t) * upperRows / height};
    const bool longEdgeLeft = onLongEdge.x <= c1.x;
    const Corner& left = longEdgeLeft ? onLongEdge : c1;
    const Corner& right = longEdgeLeft ? c1 : onLongEdge;

    // Upper half: both edges start at corner 0.
    if (upperRows > 0)
        DrawRows(texture, frameBuffer, EdgePair(c0, c0, left, right, upperRows), c0.y, upperRows);
    // Lower half: the edges restart at the left and right points and meet at corner 2.
    const int32_t lowerRows = c2.y - c1.y;
    if (lowerRows > 0)
        DrawRows(texture, frameBuffer, EdgePair(left, right, c2, c2, lowerRows), c1.y, lowerRows);
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
