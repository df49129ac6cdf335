#include "shell/music.h"

#include "base/process.h"

#include <atomic>
#include <cstdint>
#include <cstdio>

namespace {

constexpr const char* kModulePath = "data/mirel.xm";

MIDASmodule musicModule = 0;          // the loaded module
MIDASmodulePlayHandle musicPlay = 0;  // the playing module
std::atomic<int32_t> syncPosition{0}; // written on the audio side; nothing reads them
std::atomic<int32_t> syncRow{0};

} // namespace

bool StartMusic(HWND window) {
    MIDASstartup();
    MIDASsetOption(MIDAS_OPTION_DSOUND_HWND, reinterpret_cast<uintptr_t>(window));
    MIDASsetOption(MIDAS_OPTION_MIXING_MODE, 2);
    if (!MIDASconfig())
        return false;
    if (!MIDASinit())
        MidasError();
    musicModule = MIDASloadModule(kModulePath);
    if (!musicModule)
        MidasError();
    musicPlay = MIDASplayModule(musicModule, 1);
    if (!musicPlay)
        MidasError();
    MIDASsetMusicSyncCallback(musicPlay, SyncCallback);
    MIDASstartBackgroundPlay(20);
    return true;
}

void StopMusic() {
    if (!MIDASstopModule(musicPlay))
        MidasError();
    if (!MIDASfreeModule(musicModule))
        MidasError();
    if (!MIDASclose())
        MidasError();
}

void MidasError() {
    int code = MIDASgetLastError();
    const char* text = MIDASgetErrorMessage(code);
    std::printf("MIDAS error: %s\n", text);
    MIDASclose();
    EndProcess(1);
}

void MIDAS_CALL SyncCallback(unsigned, unsigned position, unsigned row) {
    syncPosition.store(static_cast<int32_t>(position), std::memory_order_relaxed);
    syncRow.store(static_cast<int32_t>(row), std::memory_order_relaxed);
}

void ResetMusicState() {
    musicModule = 0;
    musicPlay = 0;
    syncPosition = 0;
    syncRow = 0;
}
