// What a back end provides to the shared part of the platform layer, and what the shared part
// offers back. This is the whole porting surface: a new platform starts from a copy of the
// `backend` functions of headless/headless.cpp, which implements every one of them with no
// device at all.
//
// The shared part (win32_common.cpp, ddraw_memory.cpp, midas_openmpt.cpp) implements the Win32,
// DirectDraw and sound-library subsets that the shell calls: the message queue and window
// procedure, memory display surfaces with flipping, and XM playback over libopenmpt. A back end
// only moves pictures, events, time and sound between those and the machine. (The tests'
// recording and failing of those calls is not part of a port: see call_hooks.h.)
//
// On Windows the system itself provides the Win32 and DirectDraw calls, and only
// midas_openmpt.cpp is linked: the Windows back end (windows/waveout.cpp) implements just the
// sound-output functions below.
#pragma once

#include "platform/win32.h"

#include <cstdint>
#include <string>

namespace backend {

// --- Window ---

// Creates the native window for a window of this outer size and style (WS_CAPTION: a window on
// the desktop, else a borderless full-screen candidate). False when it cannot be made.
bool CreateNativeWindow(const char* title, DWORD style, int x, int y, int width, int height);
void DestroyNativeWindow();
// Screen position of the client area's top-left corner.
POINT ClientOrigin();
// Shows or hides the mouse cursor over the window.
void SetCursorVisible(bool visible);
// Moves pending input (keys, window close) into the message queue with PostWindowMessage. The
// shell calls it once per frame, before the frame is shown; a back end that gets its input only
// by yielding to its host (the browser) waits there for the time to show the next frame.
void PumpEvents();

// --- Display ---

struct DesktopFormat {
    int width;
    int height;
    int bitsPerPixel;
};
// The desktop the windowed configuration draws on.
DesktopFormat Desktop();
// The exclusive cooperative level was set: the window takes the whole display.
void EnterExclusiveMode();
// Row pitch in bytes of 640-pixel full-screen surfaces (2560 unless a back end says otherwise).
long FullScreenPitch();
// The word a new display surface holds everywhere before anything is drawn ("whatever the
// display memory held": black on a real display, a marker pattern in the headless back end).
uint32_t FreshSurfaceWord();
// A new picture is on the display: `pixels` holds `height` rows of `width` 32-bit pixels,
// `pitch` bytes apart. In full-screen modes it is the 640 x 480 display; in the windowed mode
// the whole desktop, of which the back end shows what lies under the window's client area.
void ShowPicture(const uint8_t* pixels, long pitch, int width, int height);

// --- Time ---

// The high-resolution counter and its ticks per second; false when unavailable.
bool ReadCounter(int64_t* ticks);
bool ReadFrequency(int64_t* ticksPerSecond);

// --- Sound output ---

// Called on the audio side to fill `frames` interleaved stereo 16-bit frames.
using AudioFill = void (*)(int16_t* samples, int frames);
// Opens the output for 16-bit stereo at a rate it chooses (*sampleRate); false with a reason.
bool OpenAudio(AudioFill fill, int* sampleRate, std::string* error);
// Starts pulling sound; false with a reason.
bool StartAudio(std::string* error);
// Stops pulling and closes the output; safe to call when nothing is open. The sound library
// also calls it when the program exits, before its own state is destroyed.
void CloseAudio();

} // namespace backend

// --- Offered by the shared part to back ends ---

// Appends a message for the window to the queue (as the system would post it).
void PostWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);

// Renders the playing music into `frames` interleaved stereo 16-bit frames (silence when
// nothing plays) and calls the sync callback on row changes. For audio outputs, and for the
// offline renderer, which pulls the music in step with the frames.
void RenderMusic(int16_t* samples, int frames);

// The display surfaces as they are now, for back ends and tests; false when there is none.
struct SurfaceView {
    const uint8_t* pixels;
    long pitch; // bytes from one row to the next
    int width;
    int height;
};
bool PrimarySurfaceView(SurfaceView* view);
bool BackSurfaceView(SurfaceView* view);
// Takes the display memory away from the display surfaces, as Windows does when another program
// takes the display: Lock and Flip fail with DDERR_SURFACELOST until Restore on the primary
// succeeds, which it does after refusing `refusedRestores` times. Nothing when there is none.
void LoseDisplaySurfaces(int refusedRestores);

// Returns the window system, the display surfaces and the sound library to their state at
// process start (the headless back end's Reset uses it between runs in one test process).
void ResetWindowSystem();
void ResetDisplaySystem();
void ResetSoundSystem();
