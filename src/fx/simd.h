// Which vector instructions the effects use beyond the SSE2 that every x86-64 processor has.
//
// The blit and the block mapper have AVX2 code that is chosen at run time, so one program runs
// on any x86-64 processor. Every path gives the same pixels, bit for bit.
#pragma once

// Whether the effects use their AVX2 code now. On at start-up where the processor (and the
// operating system) support AVX2; never on elsewhere.
bool FxUsesAvx2();

// Turns the AVX2 code on (only where it is supported) or off, and returns the previous state.
// For tests and benchmarks, which check and time the code that runs without AVX2.
bool SetFxUsesAvx2(bool enabled);
