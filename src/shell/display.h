// The display: DirectDraw set-up, per-frame presentation and the window procedure.
//
// The 512 x 256 frame (base/framebuffer.h) goes to display position (64, 112) of the 640 x 480,
// 32-bit display, centred. Which surfaces are used follows the build settings FullScreen and
// FlipChain (shell/settings.h).
#pragma once

#include "base/framebuffer.h"
#include "platform/win32.h"

#include <cstdint>

// The display, and the frame's place on it: centred, top-left pixel at (64, 112).
constexpr int kDisplayWidth = 640;
constexpr int kDisplayHeight = 480;
constexpr int kFrameLeft = (kDisplayWidth - kFrameWidth) / 2;  // 64
constexpr int kFrameTop = (kDisplayHeight - kFrameHeight) / 2; // 112

// Sets up DirectDraw for the window; returns 0. Every failure ends the process through
// FatalError (exit code 9999).
int InitDisplay(HWND window);

// Handles at most one window message, then shows the frame (512 x 256 words). Returns the last
// DirectDraw call's result. When the display memory was lost (Alt+Tab away from the full-screen
// show), it restores the surfaces, clears them in full screen and shows the frame; while they
// cannot be restored yet, the frame is skipped. Does not return when it takes the quit message: it
// stops the music, destroys the window and ends the process with the message's code.
int PresentFrame(const uint32_t* frame);

// The window procedure: window close and Escape post the quit message, Return saves a
// screenshot, other keys are swallowed, every other message goes to DefWindowProc.
LRESULT CALLBACK DemoWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Forgets the display objects (tests run several shows in one process).
void ResetDisplayState();
