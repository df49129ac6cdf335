// The process: start-up, the one Demo object and the scene sequence.
#pragma once

#include "platform/win32.h"

#include <cstdint>

// The show: owns the frame buffer and plays the six scenes in order.
class Demo {
  public:
    // Allocates the frame buffer (not initialised); a failed allocation is fatal.
    Demo();
    Demo(const Demo&) = delete;
    Demo& operator=(const Demo&) = delete;
    virtual ~Demo();

    // Plays the six scenes in order; returns when the last one is over.
    void Run();

    // Writes the current frame to the next grab_<n>.bmp in the working directory (n from 1).
    void SaveScreenshot();

    uint32_t* frameBuffer; // 512 x 256 pixels (base/framebuffer.h), owned
};

extern HWND mainWindow; // the one window, set once during start-up
extern Demo* theDemo;   // the one Demo, set once during start-up

// The program: start-up in order, the scene sequence, then 0. Only the instance is used.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showState);

// Returns the shell's process-wide state (window, Demo, display objects, clock, music handles,
// screenshot numbering) to its state at process start: tests run several shows in one process.
void ResetShellState();
// Screenshots are numbered from 1 again.
void ResetScreenshotCounter();
