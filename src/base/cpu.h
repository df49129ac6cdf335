// The processor's vector level: which vector code the program's routines use.
//
// The levels are ordered, each including the ones before it. The processor is probed once, at
// start-up, and every routine with vector forms takes its form from the level in use, which is
// the best one the processor and the build support unless a test, a benchmark or the offline
// renderer sets a lower one. Every level gives the same pixels, bit for bit.
#pragma once

#include <string>

// Whether this build compiles x86 vector code: x86 processors with SSE2 (all x86-64 ones, and
// the 32-bit builds, which compute with SSE2), unless DEMO_PORTABLE_PATHS asks for the plain
// forms alone. The plain forms are compiled in every build.
#if (defined(__x86_64__) || (defined(__i386__) && defined(__SSE2__))) &&                           \
    !defined(DEMO_PORTABLE_PATHS)
#define DEMO_X86_VECTORS 1
#endif

enum class VectorLevel {
    kPlain,  // plain C++, on every processor
    kSse2,   // x86 SSE2
    kAvx2,   // x86 AVX2 (with BMI2, as every processor with AVX2 so far has it)
    kAvx512, // x86 AVX-512: F, BW, DQ and VL
};
constexpr int kVectorLevelCount = 4;

// The best level of this processor and build, probed once.
VectorLevel ProcessorVectorLevel();

// The level the routines use now.
VectorLevel CurrentVectorLevel();

// Uses `level`, or the processor's best when that is lower; returns the level used before.
VectorLevel SetVectorLevel(VectorLevel level);

// Sets a level for as long as it lives, and puts the earlier one back when it goes, even when a
// test's assertion leaves its scope early.
class ScopedVectorLevel {
  public:
    explicit ScopedVectorLevel(VectorLevel level) : previous_(SetVectorLevel(level)) {}
    ~ScopedVectorLevel() { SetVectorLevel(previous_); }
    ScopedVectorLevel(const ScopedVectorLevel&) = delete;
    ScopedVectorLevel& operator=(const ScopedVectorLevel&) = delete;

  private:
    VectorLevel previous_;
};

// "plain", "sse2", "avx2", "avx512".
const char* VectorLevelName(VectorLevel level);
// Reads one of those names; false for anything else.
bool ParseVectorLevel(const std::string& name, VectorLevel* level);

// Whether the processor runs the BMI2 pext instruction as one fast instruction (every Intel
// processor that has it; AMD ones from family 19h on, earlier ones run it as a slow microcode
// loop).
bool ProcessorHasFastBitExtract();
