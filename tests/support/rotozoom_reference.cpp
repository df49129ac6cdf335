#include "rotozoom_reference.h"

#include "base/numeric.h"

void ReferenceFillRotozoom(const uint32_t* texture, FrameBuffer frame,
                           const RotozoomCorners& corners) {
    // 20.12 fixed point, truncated toward zero through 64 bits.
    const int32_t a = TruncateToInt32(corners.a3 * 4096.0);
    const int32_t b = TruncateToInt32(corners.b3 * 4096.0);
    const int32_t ra = TruncateToInt32((corners.a2 - corners.a3) * 4096.0 / 256.0);
    const int32_t rb = TruncateToInt32((corners.b2 - corners.b3) * 4096.0 / 256.0);
    const int32_t pa = TruncateToInt32((corners.a0 - corners.a3) * 4096.0 / 256.0);
    const int32_t pb = TruncateToInt32((corners.b0 - corners.b3) * 4096.0 / 256.0);
    // Sums in unsigned arithmetic wrap like 32-bit registers; converted back to signed for the
    // arithmetic shift.
    uint32_t sa = static_cast<uint32_t>(a);
    uint32_t sb = static_cast<uint32_t>(b);
    for (int y = 0; y < 256; ++y) {
        sa += static_cast<uint32_t>(ra);
        sb += static_cast<uint32_t>(rb);
        uint32_t xa = sa;
        uint32_t xb = sb;
        for (int x = 0; x < 512; ++x) {
            xa += static_cast<uint32_t>(pa);
            xb += static_cast<uint32_t>(pb);
            const int32_t row = (static_cast<int32_t>(xa) >> 12) & 255;
            const int32_t column = (static_cast<int32_t>(xb) >> 12) & 255;
            frame[y * 512 + x] = texture[row * 256 + column];
        }
    }
}
