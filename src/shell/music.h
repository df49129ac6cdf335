// The music: an XM module played in the background from start-up until the process ends.
#pragma once

#include "platform/midas.h"

// Starts the music (start-up steps, module "data/mirel.xm", background play). Returns false
// when the configuration step declines, in which case the program must end with exit code 1;
// every other failure ends the process through MidasError.
bool StartMusic(HWND window);

// Stops and frees the module and closes the library (on the quit message), each step checked.
void StopMusic();

// Prints "MIDAS error: <text>\n", closes the library and ends the process with exit code 1.
[[noreturn]] void MidasError();

// The music-sync callback: stores the position and the row, which nothing reads.
void MIDAS_CALL SyncCallback(unsigned syncInfo, unsigned position, unsigned row);

// Returns the music handles to their state at process start (tests run several shows in one
// process).
void ResetMusicState();
