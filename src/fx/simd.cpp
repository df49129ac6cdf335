#include "fx/simd.h"

namespace {

bool ProcessorHasAvx2() {
#if defined(FX_AVX2_PATH)
    // The check reads what the processor and the operating system's saved state allow; it
    // must be initialised first when it runs before other static constructors.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

bool ProcessorHasAvx512() {
#if defined(FX_AVX2_PATH)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
#else
    return false;
#endif
}

const bool avx2Supported = ProcessorHasAvx2();
bool avx2Used = avx2Supported;
const bool avx512Supported = avx2Supported && ProcessorHasAvx512();
bool avx512Used = avx512Supported;

} // namespace

bool FxUsesAvx2() {
    return avx2Used;
}

bool SetFxUsesAvx2(bool enabled) {
    bool previous = avx2Used;
    avx2Used = enabled && avx2Supported;
    return previous;
}

bool FxUsesAvx512() {
    return avx512Used && avx2Used;
}

bool SetFxUsesAvx512(bool enabled) {
    bool previous = avx512Used;
    avx512Used = enabled && avx512Supported;
    return previous;
}
