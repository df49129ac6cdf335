// Whole-program runs inside the test process, on the headless back end.
#pragma once

#include "platform/headless/headless.h"

#include <string>

// A small valid XM module (2 channels, one empty 64-row pattern, one empty instrument).
std::string TinyXmModule();

// Fills the working directory's data/ for a run: links to every file of the generated data tree
// of the build, and a small module of its own when the build has no music yet.
void PrepareRunFolder();

// Whether the build has generated the show's data tree (DEMO_BINARY_DIR/data).
bool ShowDataGenerated();

struct ProgramResult {
    int exitCode;       // what the process would have exited with
    std::string output; // what it printed on standard output
};

// Runs the program as `main` does (WinMain, then the end of the process with its result), on
// the headless back end as the caller set it up, after returning the shell to its start state.
ProgramResult RunProgram();

// Opens the window and the display on the headless back end (as the start-up does, without the
// music), creates the Demo and starts the scene clock at 0, so that scenes can be run on their
// own. The caller resets the headless back end first.
void StartHeadlessDisplay();

// Moves the headless clock forward by `seconds` (and `extraTicks` ticks), as if that much time
// had passed without a frame: a scene can then be entered at the moment a test wants.
void MoveClockForward(double seconds, int64_t extraTicks = 0);
