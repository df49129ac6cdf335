// The sound-library subset the shell calls: start-up, configuration, loading and playing an XM
// module in the background, the music-sync callback, shutdown and error texts.
//
// One implementation over libopenmpt (platform/midas_openmpt.cpp) serves every back end, Windows
// included; each back end only supplies the audio output (the sound part of platform/backend.h).
// Where the shell tests a result, zero means failure, and MIDASgetLastError and
// MIDASgetErrorMessage then tell why.
// All functions are called from the program's one thread; the music renders on the audio side.
#pragma once

#include "platform/win32.h"

#include <cstdint>

#define MIDAS_CALL

typedef uintptr_t MIDASmodule;           // loaded module; 0 when loading failed
typedef uintptr_t MIDASmodulePlayHandle; // playing module; 0 when playing failed
// Called from the audio side whenever playback reaches a new row: (0, order position, row).
typedef void(MIDAS_CALL* MIDASsyncCallback)(unsigned syncInfo, unsigned position, unsigned row);

// Option numbers the shell sets.
constexpr int MIDAS_OPTION_MIXING_MODE = 5; // the shell sets 2; this implementation keeps it only
constexpr int MIDAS_OPTION_DSOUND_HWND = 6; // the main window, owner of the audio output

// Prepares the library; always succeeds.
BOOL MIDAS_CALL MIDASstartup();
// Sets an option before MIDASinit.
BOOL MIDAS_CALL MIDASsetOption(int option, uintptr_t value);
// The configuration step: nonzero to go on, zero when the user (or the output) declines.
BOOL MIDAS_CALL MIDASconfig();
// Opens the audio output.
BOOL MIDAS_CALL MIDASinit();
// Loads an XM module file (a path relative to the working directory).
MIDASmodule MIDAS_CALL MIDASloadModule(const char* fileName);
// Prepares the module to play from its start; it sounds once background play has started.
// The module is played once through (the shell passes 1).
MIDASmodulePlayHandle MIDAS_CALL MIDASplayModule(MIDASmodule module, int playFlags);
// Sets the function called on every new row of the playing module (null: none).
BOOL MIDAS_CALL MIDASsetMusicSyncCallback(MIDASmodulePlayHandle playHandle,
                                          MIDASsyncCallback callback);
// Starts the audio output; from here on the music plays by itself.
BOOL MIDAS_CALL MIDASstartBackgroundPlay(DWORD pollRate);
BOOL MIDAS_CALL MIDASstopModule(MIDASmodulePlayHandle playHandle);
BOOL MIDAS_CALL MIDASfreeModule(MIDASmodule module);
// Stops background play and closes the audio output.
BOOL MIDAS_CALL MIDASclose();
// The code of the last error, and its text (valid until the next call that fails).
int MIDAS_CALL MIDASgetLastError();
char* MIDAS_CALL MIDASgetErrorMessage(int errorCode);
