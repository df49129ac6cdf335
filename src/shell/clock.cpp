#include "shell/clock.h"

#include "platform/win32.h"
#include "base/process.h"

namespace {

constexpr int kNoCounterExitCode = 10;

LARGE_INTEGER counterNow;       // the last reading of the performance counter
LARGE_INTEGER counterFrequency; // its ticks per second, read once
double clockBase = 0.0;         // the counter at the last reset; 0 until the first one

} // namespace

void InitSceneClock() {
    if (!QueryPerformanceCounter(&counterNow))
        EndProcess(kNoCounterExitCode);
    if (!QueryPerformanceFrequency(&counterFrequency))
        EndProcess(kNoCounterExitCode);
}

void ResetSceneClock() {
    QueryPerformanceCounter(&counterNow);
    clockBase = static_cast<double>(counterNow.QuadPart);
}

long double SceneSeconds() {
    QueryPerformanceCounter(&counterNow);
    // A scene run on its own (in a test) may read the clock without the start-up having read
    // the frequency; read it then rather than divide by zero.
    if (counterFrequency.QuadPart <= 0 && !QueryPerformanceFrequency(&counterFrequency))
        return 0.0L;
    return (static_cast<long double>(counterNow.QuadPart) - static_cast<long double>(clockBase)) /
           static_cast<long double>(counterFrequency.QuadPart);
}

void ResetSceneClockState() {
    counterNow.QuadPart = 0;
    counterFrequency.QuadPart = 0;
    clockBase = 0.0;
}
