#include "fx/radialblur.h"

#include "base/vector_forms.h"
#include "fx/radialblur_forms.h"

#include <algorithm>

namespace {

// The error of rounding 2^48 / major up, below minor / 2^32 < 1 / 2^23, is smaller than the
// distance 1 / major from any fraction k / major to the next integer, so the floor is exact.
constexpr RadialBlurReciprocals MakeReciprocals() {
    RadialBlurReciprocals table{};
    for (uint64_t major = 1; major < 512; ++major)
        table.of[major] = ((uint64_t{1} << 48) + major - 1) / major;
    return table;
}

} // namespace

constexpr RadialBlurReciprocals radialBlurReciprocals = MakeReciprocals();

const uint16_t* RadialBlurWeights() {
    struct Table {
        uint16_t words[kWeightWords];
        Table() {
            for (int32_t major = 1; major < 512; ++major)
                for (int32_t minor = 0; minor < major; ++minor)
                    words[WeightOffset(major) + minor] = static_cast<uint16_t>(
                        Weight(static_cast<uint32_t>(minor), radialBlurReciprocals.of[major]));
            for (int32_t k = WeightOffset(512); k < kWeightWords; ++k)
                words[k] = 0;
        }
    };
    static const Table table;
    return table.words;
}

namespace {

// 23 * o / 1000, which equals 1507 * o >> 16 for o in 0..255.
inline uint32_t OwnPart(uint32_t o) {
    return (1507 * o) >> 16;
}

// The ray rule on one pixel, integer form: max(n - 1, 0) + own part, at most 255.
inline uint32_t RayPixel(uint32_t own, uint32_t neighbour) {
    uint32_t result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        uint32_t n = (neighbour >> shift) & 0xFF;
        uint32_t v = (n > 0 ? n - 1 : 0) + OwnPart((own >> shift) & 0xFF);
        result |= (v > 255 ? 255 : v) << shift;
    }
    return result;
}

// Ray from the centre in direction (sx, sy); steps stop at the frame's edge.
void Ray(FrameBuffer frame, int32_t cx, int32_t cy, int sx, int sy) {
    int32_t steps = 511;
    if (sx > 0 && 511 - cx < steps)
        steps = 511 - cx;
    if (sx < 0 && cx < steps)
        steps = cx;
    if (sy > 0 && 255 - cy < steps)
        steps = 255 - cy;
    if (sy < 0 && cy < steps)
        steps = cy;
    const int stride = sy * kFrameWidth + sx;
    uint32_t* pixel = frame + cy * kFrameWidth + cx;
    uint32_t previous = *pixel;
    for (int32_t k = 1; k <= steps; ++k) {
        pixel += stride;
        previous = RayPixel(*pixel, previous);
        *pixel = previous;
    }
}

// Plain form: the three channels as plain integers.
struct InteriorPlain {
    struct Lanes {
        uint32_t c[3];
    };
    static Lanes Unpack(uint32_t pixel) {
        return {{pixel & 0xFF, (pixel >> 8) & 0xFF, (pixel >> 16) & 0xFF}};
    }
    static uint32_t Pack(Lanes lanes) { return lanes.c[0] | lanes.c[1] << 8 | lanes.c[2] << 16; }
    static Lanes Blend(Lanes own, Lanes diagonal, Lanes axis, int32_t w) {
        Lanes out;
        for (int k = 0; k < 3; ++k) {
            uint32_t v = OwnPart(own.c[k]) + ((diagonal.c[k] * static_cast<uint32_t>(w)) >> 16) +
                         ((axis.c[k] * static_cast<uint32_t>(65536 - w)) >> 16);
            out.c[k] = v > 255 ? 255 : v;
        }
        return out;
    }
};

constexpr VectorForms<QuadrantsFunction> quadrants{Quadrants<InteriorPlain>,
                                                   X86_FORM(QuadrantsSse2), X86_FORM(QuadrantsAvx2),
                                                   X86_FORM(QuadrantsAvx512)};

} // namespace

int32_t RadialBlurWeight(int32_t minor, int32_t major) {
    return Weight(static_cast<uint32_t>(minor), radialBlurReciprocals.of[major]);
}

void RadialBlur(FrameBuffer frame, int32_t cx, int32_t cy) {
    // A centre outside the frame is moved to the nearest pixel inside it.
    cx = std::clamp(cx, 0, kFrameWidth - 1);
    cy = std::clamp(cy, 0, kFrameHeight - 1);

    Ray(frame, cx, cy, 1, 1);
    Ray(frame, cx, cy, 1, -1);
    Ray(frame, cx, cy, 0, -1);
    Ray(frame, cx, cy, -1, -1);
    Ray(frame, cx, cy, -1, 0);
    Ray(frame, cx, cy, 1, 0);
    Ray(frame, cx, cy, -1, 1);
    Ray(frame, cx, cy, 0, 1);

    quadrants.Current()(frame, cx, cy);
}
