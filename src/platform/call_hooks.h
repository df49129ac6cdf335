// Observation and fault injection of the emulated Win32, DirectDraw and sound-library calls.
//
// The shared part (win32_common.cpp, ddraw_memory.cpp, midas_openmpt.cpp) reports every call it
// makes here and asks here whether a call must fail. Nobody listens by default: nothing is
// recorded and nothing fails, so a real back end has nothing to provide. The headless back end
// installs its own functions, which record the calls for tests and fail the ones a test names.
//
// Everything is inline, so the Windows program, which links only midas_openmpt.cpp of the shared
// part, needs no further file.
#pragma once

#include <string>

namespace calls {

struct Hooks {
    // True when the named call must fail this time (names as in the API: "SetDisplayMode",
    // "MIDASinit", "QueryPerformanceCounter", ...).
    bool (*fails)(const char* name) = nullptr;
    // Records one call: its name, then a space and its main arguments where they matter.
    void (*log)(const std::string& entry) = nullptr;
};

// The functions in use; empty until a back end installs its own.
inline Hooks installed;

inline void Install(const Hooks& hooks) {
    installed = hooks;
}

inline bool Fails(const char* name) {
    return installed.fails != nullptr && installed.fails(name);
}

inline void Log(const std::string& entry) {
    if (installed.log != nullptr)
        installed.log(entry);
}

} // namespace calls
