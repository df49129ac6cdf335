#include "base/cpu.h"

#if defined(DEMO_X86_VECTORS)
#include <cpuid.h>
#endif

namespace {

VectorLevel Probe() {
#if defined(DEMO_X86_VECTORS)
    // The probe reads what the processor and the operating system's saved state allow; it
    // must be initialised first when it runs before other static constructors.
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("bmi2"))
        return VectorLevel::kSse2;
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl"))
        return VectorLevel::kAvx512;
    return VectorLevel::kAvx2;
#else
    return VectorLevel::kPlain;
#endif
}

bool ProbeFastBitExtract() {
#if defined(DEMO_X86_VECTORS) && defined(__x86_64__)
    if (!__builtin_cpu_supports("bmi2"))
        return false;
    if (__builtin_cpu_is("intel"))
        return true;
    if (!__builtin_cpu_is("amd"))
        return false;
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        return false;
    unsigned family = (eax >> 8) & 0xF;
    if (family == 0xF)
        family += (eax >> 20) & 0xFF;
    return family >= 0x19;
#else
    return false;
#endif
}

const VectorLevel processorLevel = Probe();
VectorLevel currentLevel = processorLevel;

const char* const kNames[kVectorLevelCount] = {"plain", "sse2", "avx2", "avx512"};

} // namespace

VectorLevel ProcessorVectorLevel() {
    return processorLevel;
}

VectorLevel CurrentVectorLevel() {
    return currentLevel;
}

VectorLevel SetVectorLevel(VectorLevel level) {
    const VectorLevel previous = currentLevel;
    currentLevel = level < processorLevel ? level : processorLevel;
    return previous;
}

const char* VectorLevelName(VectorLevel level) {
    return kNames[static_cast<int>(level)];
}

bool ParseVectorLevel(const std::string& name, VectorLevel* level) {
    for (int i = 0; i < kVectorLevelCount; ++i)
        if (name == kNames[i]) {
            *level = static_cast<VectorLevel>(i);
            return true;
        }
    return false;
}

bool ProcessorHasFastBitExtract() {
    static const bool fast = ProbeFastBitExtract(); // once: cpuid is slow in a virtual machine
    return fast;
}
