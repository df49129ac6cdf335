// The sound-library subset over libopenmpt: XM modules are loaded and rendered here, portably;
// a back end only opens an output that pulls 16-bit stereo frames through RenderMusic.
//
// The program's thread loads, starts, stops and frees modules; the audio side renders. One mutex
// keeps the two apart, since libopenmpt objects are not thread-safe.
#include "platform/backend.h"
#include "platform/call_hooks.h"
#include "platform/midas.h"

#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace {

enum ErrorCode {
    kNoError = 0,
    kErrorNotInitialised = 1,
    kErrorAudioOutput = 2,
    kErrorFile = 3,
    kErrorModule = 4,
    kErrorHandle = 5,
    kErrorConfiguration = 6,
    kErrorFailed = 7,
};

const char* StandardText(int code) {
    switch (code) {
    case kNoError:
        return "No error";
    case kErrorNotInitialised:
        return "Sound library not initialised";
    case kErrorAudioOutput:
        return "Audio output failure";
    case kErrorFile:
        return "Unable to read module file";
    case kErrorModule:
        return "Invalid module file";
    case kErrorHandle:
        return "Invalid module handle";
    case kErrorConfiguration:
        return "Configuration declined";
    default:
        return "Sound library failure";
    }
}

struct LoadedModule {
    std::unique_ptr<openmpt::module> module;
};

struct SoundState {
    bool initialised = false;
    bool backgroundPlay = false;
    int sampleRate = 48000;
    uintptr_t window = 0;
    uintptr_t mixingMode = 0;
    std::vector<std::unique_ptr<LoadedModule>> modules;
    LoadedModule* playing = nullptr; // the module that sounds, once background play runs
    MIDASsyncCallback sync = nullptr;
    int lastOrder = -1;
    int lastRow = -1;
    int lastError = kNoError;
    std::string lastErrorText;
};

std::mutex soundMutex; // guards `sound` against the audio side
SoundState sound;
std::string returnedErrorText; // the text MIDASgetErrorMessage handed out last

BOOL Fail(int code, const std::string& text) {
    sound.lastError = code;
    sound.lastErrorText = text;
    return FALSE;
}

// Fault injection of the headless back end: the named call fails with a recognisable text.
bool InjectedFailure(const char* name) {
    if (!calls::Fails(name))
        return false;
    Fail(kErrorFailed, std::string(name) + " failed (simulated)");
    return true;
}

LoadedModule* FindModule(uintptr_t handle) {
    for (const auto& loaded : sound.modules)
        if (reinterpret_cast<uintptr_t>(loaded.get()) == handle)
            return loaded.get();
    return nullptr;
}

void FillFromAudioSide(int16_t* samples, int frames) {
    RenderMusic(samples, frames);
}

// At the normal end of the program the music is not stopped by the program; the output is
// closed here, before the sound library's state is destroyed, so the audio side never renders
// from a destroyed module. (Registered after that state was made, so it runs first.)
void CloseAudioAtExit() {
    backend::CloseAudio();
}
bool closeAtExitRegistered = false;

} // namespace

void RenderMusic(int16_t* samples, int frames) {
    std::fill(samples, samples + 2 * static_cast<size_t>(std::max(frames, 0)), int16_t{0});
    MIDASsyncCallback callback = nullptr;
    int order = -1, row = -1;
    {
        std::lock_guard<std::mutex> guard(soundMutex);
        if (!sound.backgroundPlay || !sound.playing || frames <= 0)
            return;
        openmpt::module& module = *sound.playing->module;
        size_t done = 0;
        while (done < static_cast<size_t>(frames)) {
            size_t got = module.read_interleaved_stereo(
                sound.sampleRate, static_cast<size_t>(frames) - done, samples + 2 * done);
            if (got == 0)
                break; // the module has played through; the rest stays silent
            done += got;
        }
        order = module.get_current_order();
        row = module.get_current_row();
        if (order != sound.lastOrder || row != sound.lastRow) {
            sound.lastOrder = order;
            sound.lastRow = row;
            callback = sound.sync;
        }
    }
    if (callback)
        callback(0, static_cast<unsigned>(order), static_cast<unsigned>(row));
}

void ResetSoundSystem() {
    backend::CloseAudio();
    std::lock_guard<std::mutex> guard(soundMutex);
    sound = SoundState();
}

BOOL MIDAS_CALL MIDASstartup() {
    calls::Log("MIDASstartup");
    std::lock_guard<std::mutex> guard(soundMutex);
    sound.lastError = kNoError;
    return TRUE;
}

BOOL MIDAS_CALL MIDASsetOption(int option, uintptr_t value) {
    calls::Log("MIDASsetOption " + std::to_string(option) + " " + std::to_string(value));
    std::lock_guard<std::mutex> guard(soundMutex);
    if (option == MIDAS_OPTION_DSOUND_HWND)
        sound.window = value;
    else if (option == MIDAS_OPTION_MIXING_MODE)
        sound.mixingMode = value;
    return TRUE;
}

BOOL MIDAS_CALL MIDASconfig() {
    calls::Log("MIDASconfig");
    std::lock_guard<std::mutex> guard(soundMutex);
    if (calls::Fails("MIDASconfig"))
        return Fail(kErrorConfiguration, StandardText(kErrorConfiguration));
    return TRUE;
}

BOOL MIDAS_CALL MIDASinit() {
    calls::Log("MIDASinit");
    {
        std::lock_guard<std::mutex> guard(soundMutex);
        if (InjectedFailure("MIDASinit"))
            return FALSE;
        if (sound.initialised)
            return TRUE;
    }
    int rate = 48000;
    std::string reason;
    if (!backend::OpenAudio(FillFromAudioSide, &rate, &reason)) {
        std::lock_guard<std::mutex> guard(soundMutex);
        return Fail(kErrorAudioOutput, "Audio output failure: " + reason);
    }
    if (!closeAtExitRegistered) {
        std::atexit(CloseAudioAtExit);
        closeAtExitRegistered = true;
    }
    std::lock_guard<std::mutex> guard(soundMutex);
    sound.initialised = true;
    sound.sampleRate = rate;
    return TRUE;
}

MIDASmodule MIDAS_CALL MIDASloadModule(const char* fileName) {
    calls::Log(std::string("MIDASloadModule ") + (fileName ? fileName : ""));
    std::lock_guard<std::mutex> guard(soundMutex);
    if (InjectedFailure("MIDASloadModule"))
        return 0;
    if (!sound.initialised)
        return Fail(kErrorNotInitialised, StandardText(kErrorNotInitialised));
    if (!fileName)
        return Fail(kErrorFile, "Unable to read module file: no file name");

    // Only a regular file is read: a folder or a pipe is refused before it is opened (opening a
    // pipe could wait for ever).
    struct stat status;
    if (stat(fileName, &status) == 0 && !S_ISREG(status.st_mode))
        return Fail(kErrorFile,
                    std::string("Unable to read module file ") + fileName + ": not a file");
    std::FILE* file = std::fopen(fileName, "rb");
    if (!file) {
        int error = errno;
        return Fail(kErrorFile, std::string("Unable to read module file ") + fileName + ": " +
                                    std::strerror(error));
    }
    std::vector<char> bytes;
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    const bool readFailed = std::ferror(file) != 0;
    std::fclose(file);
    if (readFailed)
        return Fail(kErrorFile, std::string("Unable to read module file ") + fileName);

    auto loaded = std::make_unique<LoadedModule>();
    try {
        std::ostringstream log; // libopenmpt's own notes about the file are not shown
        loaded->module = std::make_unique<openmpt::module>(bytes, log);
        // No dither on the 16-bit samples: the library's default dither draws its noise from a
        // randomly seeded generator, which would make every rendering of the music differ.
        loaded->module->ctl_set_integer("dither", 0);
    } catch (const std::exception& error) {
        return Fail(kErrorModule,
                    std::string("Invalid module file ") + fileName + ": " + error.what());
    }
    sound.modules.push_back(std::move(loaded));
    return reinterpret_cast<MIDASmodule>(sound.modules.back().get());
}

MIDASmodulePlayHandle MIDAS_CALL MIDASplayModule(MIDASmodule module, int playFlags) {
    calls::Log("MIDASplayModule " + std::to_string(playFlags));
    std::lock_guard<std::mutex> guard(soundMutex);
    if (InjectedFailure("MIDASplayModule"))
        return 0;
    LoadedModule* loaded = FindModule(module);
    if (!loaded)
        return Fail(kErrorHandle, StandardText(kErrorHandle));
    loaded->module->set_repeat_count(0); // once through, then silence
    loaded->module->set_position_seconds(0.0);
    sound.playing = loaded;
    sound.lastOrder = sound.lastRow = -1;
    return reinterpret_cast<MIDASmodulePlayHandle>(loaded);
}

BOOL MIDAS_CALL MIDASsetMusicSyncCallback(MIDASmodulePlayHandle playHandle,
                                          MIDASsyncCallback callback) {
    calls::Log("MIDASsetMusicSyncCallback");
    std::lock_guard<std::mutex> guard(soundMutex);
    if (!FindModule(playHandle))
        return Fail(kErrorHandle, StandardText(kErrorHandle));
    sound.sync = callback;
    return TRUE;
}

BOOL MIDAS_CALL MIDASstartBackgroundPlay(DWORD pollRate) {
    calls::Log("MIDASstartBackgroundPlay " + std::to_string(pollRate));
    {
        std::lock_guard<std::mutex> guard(soundMutex);
        if (!sound.initialised)
            return Fail(kErrorNotInitialised, StandardText(kErrorNotInitialised));
        sound.backgroundPlay = true;
    }
    std::string reason;
    if (!backend::StartAudio(&reason)) {
        std::lock_guard<std::mutex> guard(soundMutex);
        return Fail(kErrorAudioOutput, "Audio output failure: " + reason);
    }
    return TRUE;
}

BOOL MIDAS_CALL MIDASstopModule(MIDASmodulePlayHandle playHandle) {
    calls::Log("MIDASstopModule");
    std::lock_guard<std::mutex> guard(soundMutex);
    if (InjectedFailure("MIDASstopModule"))
        return FALSE;
    LoadedModule* loaded = FindModule(playHandle);
    if (!loaded)
        return Fail(kErrorHandle, StandardText(kErrorHandle));
    if (sound.playing == loaded)
        sound.playing = nullptr;
    return TRUE;
}

BOOL MIDAS_CALL MIDASfreeModule(MIDASmodule module) {
    calls::Log("MIDASfreeModule");
    std::lock_guard<std::mutex> guard(soundMutex);
    if (InjectedFailure("MIDASfreeModule"))
        return FALSE;
    auto it = std::find_if(sound.modules.begin(), sound.modules.end(), [&](const auto& loaded) {
        return reinterpret_cast<uintptr_t>(loaded.get()) == module;
    });
    if (it == sound.modules.end())
        return Fail(kErrorHandle, StandardText(kErrorHandle));
    if (sound.playing == it->get())
        sound.playing = nullptr;
    sound.modules.erase(it);
    return TRUE;
}

BOOL MIDAS_CALL MIDASclose() {
    calls::Log("MIDASclose");
    {
        std::lock_guard<std::mutex> guard(soundMutex);
        if (InjectedFailure("MIDASclose"))
            return FALSE;
    }
    // The output is closed outside the lock: closing waits for the audio side, which takes it.
    backend::CloseAudio();
    std::lock_guard<std::mutex> guard(soundMutex);
    sound.backgroundPlay = false;
    sound.playing = nullptr;
    sound.modules.clear();
    sound.initialised = false;
    return TRUE;
}

int MIDAS_CALL MIDASgetLastError() {
    std::lock_guard<std::mutex> guard(soundMutex);
    return sound.lastError;
}

char* MIDAS_CALL MIDASgetErrorMessage(int errorCode) {
    std::lock_guard<std::mutex> guard(soundMutex);
    returnedErrorText = (errorCode == sound.lastError && !sound.lastErrorText.empty())
                            ? sound.lastErrorText
                            : StandardText(errorCode);
    return returnedErrorText.data();
}
