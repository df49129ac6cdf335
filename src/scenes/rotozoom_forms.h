// The rotozoom fill's forms: each writes all 512 x 256 pixels of the frame from the texture for
// the given start position and steps, as FillRotozoom describes. The plain form is in
// rotozoom.cpp, the AVX2 ones in rotozoom_avx2.cpp; all give the same pixels.
#pragma once

#include "scenes/rotozoom.h"

#include <cstdint>

using RotozoomFillFunction = void (*)(const uint32_t* texture, uint32_t* frame,
                                      const RotozoomSteps& steps);

// The form of the AVX2 level: FillRotozoomBitExtract where the processor runs pext fast,
// FillRotozoomGather elsewhere.
void FillRotozoomAvx2(const uint32_t* texture, uint32_t* frame, const RotozoomSteps& steps);

// Eight pixels per AVX2 gather.
void FillRotozoomGather(const uint32_t* texture, uint32_t* frame, const RotozoomSteps& steps);

// Both sums packed in one 64-bit word, the texel index taken out with BMI2's pext, in tiles.
// x86-64 builds only: name it through X86_64_FORM.
void FillRotozoomBitExtract(const uint32_t* texture, uint32_t* frame, const RotozoomSteps& steps);

// A form that works on 64-bit words: the function in x86-64 builds with x86 vector code
// (X86_FORM), none in the others.
#if defined(__x86_64__)
#define X86_64_FORM(function) X86_FORM(function)
#else
#define X86_64_FORM(function) nullptr
#endif
