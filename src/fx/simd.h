// Which vector instructions the effects use beyond the SSE2 that every x86-64 processor has.
//
// The blit, the block mapper and the radial blur have AVX2 and AVX-512 code that is chosen at run
// time, so one program runs on any x86-64 processor. Every path gives the same pixels, bit for bit.
#pragma once

// Which code the effects are compiled with. FX_SSE2: the SSE2 forms, on x86 processors that have
// it (all x86-64 ones). FX_AVX2_PATH: the AVX2 and AVX-512 forms too (of the effects, the
// particle step and the 3D transform), each used where the processor has its instructions.
// Other processors get the plain C++ forms; a build with DEMO_PORTABLE_PATHS defined (the CMake
// option of that name) compiles those on x86 as well, so that they are tested there.
#if defined(__SSE2__) && !defined(DEMO_PORTABLE_PATHS)
#define FX_SSE2 1
#endif
#if (defined(__x86_64__) || defined(__i386__)) && !defined(DEMO_PORTABLE_PATHS)
#define FX_AVX2_PATH 1
#endif

// Whether the effects use their AVX2 code now. On at start-up where the processor (and the
// operating system) support AVX2 and the AVX2 forms are compiled in; never on elsewhere.
bool FxUsesAvx2();

// Turns the AVX2 code on (only where it is supported) or off, and returns the previous state.
// For tests and benchmarks, which check and time the code that runs without AVX2.
bool SetFxUsesAvx2(bool enabled);

// Whether the blit, the radial blur and the block mapper use their AVX-512 code (AVX-512F and
// BW) now: on at start-up where the processor and the operating system support it, while the
// AVX2 code is on too.
bool FxUsesAvx512();

// Turns the AVX-512 code on (only where it is supported) or off; returns the previous state.
bool SetFxUsesAvx512(bool enabled);
