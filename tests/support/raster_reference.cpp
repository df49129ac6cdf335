#include "raster_reference.h"

#include <utility>

namespace {

struct Corner {
    int32_t x, y, s, t;
};

// One row from (xl, sl, tl) to (xr, sr, tr), all 16.16, both ends included.
void ReferenceSpan(const uint32_t* texture, uint32_t* frameBuffer, int32_t y, int32_t xl,
                   int32_t sl, int32_t tl, int32_t xr, int32_t sr, int32_t tr) {
    const int32_t w = (xr - xl) >> 16;
    if (w <= 0)
        return;
    const int32_t ds = (sr - sl) / w;
    const int32_t dt = (tr - tl) / w;
    const int32_t xs = xl >> 16;
    const int32_t xe = xr >> 16;
    if (xs > xe)
        return;
    int32_t s = sl;
    int32_t t = tl;
    for (int32_t x = xs; x <= xe; ++x) {
        if (0 <= y * 512 && y * 512 < 131072 && 0 <= x && x < 512) {
            uint32_t texel;
            if (0 <= s && s < 0xFF0000 && 0 <= t && t < 0xFF0000)
                texel = texture[(t >> 16) * 256 + (s >> 16)];
            else
                texel = texture[0];
            frameBuffer[y * 512 + x] = texel;
        }
        s = s + ds;
        t = t + dt;
    }
}

} // namespace

void DrawTexturedTriangleReference(const uint32_t* texture, uint32_t* frameBuffer, int32_t x0,
                                   int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                                   int32_t s0, int32_t t0, int32_t s1, int32_t t1, int32_t s2,
                                   int32_t t2) {
    Corner c0{x0, y0, s0, t0};
    Corner c1{x1, y1, s1, t1};
    Corner c2{x2, y2, s2, t2};
    if (c1.y > c2.y)
        std::swap(c1, c2);
    if (c0.y > c1.y)
        std::swap(c0, c1);
    if (c1.y > c2.y)
        std::swap(c1, c2);
    if (c0.y == c2.y)
        return;

    const int32_t H = c2.y - c0.y;
    const int32_t n = c1.y - c0.y;
    const int32_t xm = c0.x + (c2.x - c0.x) * n / H;
    const int32_t sm = c0.s + (c2.s - c0.s) * n / H;
    const int32_t tm = c0.t + (c2.t - c0.t) * n / H;
    Corner L;
    Corner R;
    if (xm <= c1.x) {
        L = {xm, c1.y, sm, tm};
        R = c1;
    } else {
        L = c1;
        R = {xm, c1.y, sm, tm};
    }

    if (n > 0) {
        const int32_t dxl = ((L.x - c0.x) * 65536) / n;
        const int32_t dsl = ((L.s - c0.s) * 65536) / n;
        const int32_t dtl = ((L.t - c0.t) * 65536) / n;
        const int32_t dxr = ((R.x - c0.x) * 65536) / n;
        const int32_t dsr = ((R.s - c0.s) * 65536) / n;
        const int32_t dtr = ((R.t - c0.t) * 65536) / n;
        int32_t xl = c0.x * 65536, sl = c0.s * 65536, tl = c0.t * 65536;
        int32_t xr = c0.x * 65536, sr = c0.s * 65536, tr = c0.t * 65536;
        for (int32_t y = c0.y; y < c1.y; ++y) {
            ReferenceSpan(texture, frameBuffer, y, xl, sl, tl, xr, sr, tr);
            xl += dxl;
            sl += dsl;
            tl += dtl;
            xr += dxr;
            sr += dsr;
            tr += dtr;
        }
    }
    if (c2.y > c1.y) {
        const int32_t m = c2.y - c1.y;
        const int32_t dxl = ((c2.x - L.x) * 65536) / m;
        const int32_t dsl = ((c2.s - L.s) * 65536) / m;
        const int32_t dtl = ((c2.t - L.t) * 65536) / m;
        const int32_t dxr = ((c2.x - R.x) * 65536) / m;
        const int32_t dsr = ((c2.s - R.s) * 65536) / m;
        const int32_t dtr = ((c2.t - R.t) * 65536) / m;
        int32_t xl = L.x * 65536, sl = L.s * 65536, tl = L.t * 65536;
        int32_t xr = R.x * 65536, sr = R.s * 65536, tr = R.t * 65536;
        for (int32_t y = c1.y; y < c2.y; ++y) {
            ReferenceSpan(texture, frameBuffer, y, xl, sl, tl, xr, sr, tr);
            xl += dxl;
            sl += dsl;
            tl += dtl;
            xr += dxr;
            sr += dsr;
            tr += dtr;
        }
    }
}
