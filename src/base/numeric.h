// Number conversions shared by the effects, the 3D engine and the scenes.
#pragma once

#include <cstdint>

// Truncates toward zero through a 64-bit integer and keeps its low 32 bits, as the x86
// conversion does. Defined for every input: NaN, infinities and values beyond the 64-bit range
// give the 64-bit "integer indefinite" 0x8000000000000000, whose low 32 bits are 0.
inline int32_t TruncateToInt32(double value) {
    // 2^63 is exactly representable; the comparison is false for NaN.
    if (!(value > -9223372036854775808.0 && value < 9223372036854775808.0))
        return 0;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(value)));
}
