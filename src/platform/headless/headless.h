// Controls of the headless back end, for tests and the offline renderer.
//
// The headless back end has no window and no device. Display surfaces are memory; the
// performance counter is virtual and advances by one frame period at every present (a Flip, or
// the unlock of a primary surface without back buffer), so a whole run is deterministic and as
// fast as the processor allows. Key presses and window close can be scripted at given frames,
// every platform and sound call is recorded, and any one call can be made to fail.
#pragma once

#include "platform/win32.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace headless {

struct Config {
    int framesPerSecond = 60; // virtual frame rate: the counter advances 1/fps per present
    int desktopWidth = 1024;  // the desktop of the windowed configuration
    int desktopHeight = 768;
    int desktopBitsPerPixel = 32;
    POINT clientOffset = {3, 22};           // client area inside the window (border, caption)
    long fullScreenPitch = 2560;            // row pitch of the 640 x 480 surfaces, in bytes
    uint32_t freshSurfaceWord = 0xDEADBEEF; // what display memory holds before anything is drawn
    int64_t ticksPerReading = 0; // the counter also moves on this far after every reading, so
                                 // that two readings in one frame differ
    bool recordCalls = true;     // every call into CallLog; a whole show's run need not keep
                                 // its hundreds of thousands
};

// Counter frequency of the virtual clock: one million ticks per frame.
constexpr int64_t kTicksPerFrame = 1000000;

// Returns every part of the platform layer to its state at process start, with this config.
void Reset(const Config& config = Config());

// Makes every later call of that name fail ("DirectDrawCreate", "SetCooperativeLevel",
// "SetDisplayMode", "CreateSurface", "GetAttachedSurface", "Lock", "QueryPerformanceCounter",
// "QueryPerformanceFrequency", "CreateWindowEx", "RegisterClass", "MIDASconfig", "MIDASinit",
// "MIDASloadModule", "MIDASplayModule", "MIDASstopModule", "MIDASfreeModule", "MIDASclose").
void FailCall(const std::string& name);

// Scripted input: the message is posted when the program asks for messages once `frame`
// frames have been presented (frame 0: before the first present).
void ScriptKey(long frame, WPARAM virtualKey);
void ScriptClose(long frame);
// Scripted loss of the display (Alt+Tab away from the full-screen show and back): the display
// surfaces are lost when the program asks for messages once `frame` frames have been presented,
// and Restore on the primary is refused `refusedRestores` times before it succeeds. The virtual
// clock stands still meanwhile, as it advances only when a frame is shown.
void ScriptSurfaceLoss(long frame, int refusedRestores = 0);

// Every recorded call, in order: its name, then its main arguments after a space.
const std::vector<std::string>& CallLog();
// The names alone, in order.
std::vector<std::string> CallNames();

// Frames presented so far.
long PresentCount();

// Moves the virtual clock forward without presenting (a test starting a scene at a given time).
void AdvanceClock(int64_t ticks);

// The picture on the display now: 640 x 480 in full-screen configurations, the whole desktop in
// the windowed one (`pitch` in bytes). Null pixels before the display exists.
struct Picture {
    const uint8_t* pixels = nullptr;
    long pitch = 0;
    int width = 0;
    int height = 0;
    uint32_t At(int x, int y) const {
        return *reinterpret_cast<const uint32_t*>(pixels + y * pitch + x * 4);
    }
};
Picture Display();
// The back buffer of the flip chain (null pixels when there is none).
Picture BackBuffer();

// Called after every present with the picture now on the display.
void SetPresentHook(std::function<void(const Picture&)> hook);

// Whether the cursor is visible, and whether the window exists.
bool CursorVisible();
bool WindowExists();

} // namespace headless
