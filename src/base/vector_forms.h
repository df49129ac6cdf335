// A routine's forms, one per vector level, and the one in use.
//
// A routine with vector code keeps one table of its forms: the plain C++ one, which every build
// has, and the ones for each x86 instruction set, each defined in a file of its own named for
// the set (blit_avx2.cpp) and compiled with that set's flags. Each call takes the form of the
// vector level in use; a level without a form of its own runs the best form below it.
//
//     const VectorForms<AddRowsFunction> addRows{
//         AddRowsPlain, X86_FORM(AddRowsSse2), X86_FORM(AddRowsAvx2), X86_FORM(AddRowsAvx512)};
//     addRows.Current()(source, ...);
//
// The table is a constant, filled before any code runs, so it may be used from static
// constructors too.
#pragma once

#include "base/cpu.h"

// A form for an x86 instruction set: the function in builds with x86 vector code, none in the
// others (where the file that defines it is not compiled).
#if defined(DEMO_X86_VECTORS)
#define X86_FORM(function) (function)
#else
#define X86_FORM(function) nullptr
#endif

template <class Function> class VectorForms {
  public:
    constexpr VectorForms(Function plain, Function sse2, Function avx2, Function avx512)
        : forms_{plain, sse2, avx2, avx512} {}

    // The form for the level in use: its own, or the best one below it (the plain form at the
    // bottom is always there).
    Function Current() const {
        int level = static_cast<int>(CurrentVectorLevel());
        while (forms_[level] == nullptr)
            --level;
        return forms_[level];
    }

  private:
    Function forms_[kVectorLevelCount];
};
