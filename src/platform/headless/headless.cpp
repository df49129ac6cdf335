// The headless back end: no window, no device, a virtual clock. It is the test back end and the
// template for a new port: every function of platform/backend.h is here, each in a few lines.
// What only tests need (the call log, failing calls, the controls of headless.h) comes on top.
#include "platform/headless/headless.h"
#include "platform/backend.h"
#include "platform/call_hooks.h"

#include <map>
#include <set>

namespace {

struct HeadlessState {
    headless::Config config;
    std::set<std::string> failing;
    std::multimap<long, MSG> script; // messages to post, by frame
    std::multimap<long, int> losses; // display losses, by frame: the restores refused
    std::vector<std::string> log;
    long presents = 0;
    int64_t counter = 1000000000; // arbitrary start: nothing may rely on a zero base
    bool windowExists = false;
    bool exclusive = false;
    bool cursorVisible = true;
    POINT windowPosition = {0, 0};
    std::function<void(const headless::Picture&)> presentHook;
};

HeadlessState state;

headless::Picture PictureOf(const SurfaceView& view) {
    headless::Picture picture;
    picture.pixels = view.pixels;
    picture.pitch = view.pitch;
    picture.width = view.width;
    picture.height = view.height;
    return picture;
}

// Every call of the emulated subsets is recorded, and the ones a test named fail, from the start
// of the process on: a program linked with this back end has these hooks before main runs.
bool HeadlessCallFails(const char* name) {
    return state.failing.count(name) != 0;
}

void HeadlessLogCall(const std::string& entry) {
    if (state.config.recordCalls)
        state.log.push_back(entry);
}

const bool hooksInstalled = [] {
    calls::Install({HeadlessCallFails, HeadlessLogCall});
    return true;
}();

} // namespace

namespace backend {

bool CreateNativeWindow(const char*, DWORD, int x, int y, int, int) {
    state.windowExists = true;
    state.windowPosition = {x, y};
    return true;
}

void DestroyNativeWindow() {
    state.windowExists = false;
}

POINT ClientOrigin() {
    if (state.exclusive)
        return state.windowPosition;
    return {state.windowPosition.x + state.config.clientOffset.x,
            state.windowPosition.y + state.config.clientOffset.y};
}

void SetCursorVisible(bool visible) {
    state.cursorVisible = visible;
}

void PumpEvents() {
    while (!state.script.empty() && state.script.begin()->first <= state.presents) {
        const MSG& m = state.script.begin()->second;
        PostWindowMessage(m.message, m.wParam, m.lParam);
        state.script.erase(state.script.begin());
    }
    while (!state.losses.empty() && state.losses.begin()->first <= state.presents) {
        LoseDisplaySurfaces(state.losses.begin()->second);
        state.losses.erase(state.losses.begin());
    }
}

DesktopFormat Desktop() {
    return {state.config.desktopWidth, state.config.desktopHeight,
            state.config.desktopBitsPerPixel};
}

void EnterExclusiveMode() {
    state.exclusive = true;
}

long FullScreenPitch() {
    return state.config.fullScreenPitch;
}

uint32_t FreshSurfaceWord() {
    return state.config.freshSurfaceWord;
}

void ShowPicture(const uint8_t* pixels, long pitch, int width, int height) {
    state.presents++;
    state.counter += headless::kTicksPerFrame;
    if (state.presentHook) {
        headless::Picture picture;
        picture.pixels = pixels;
        picture.pitch = pitch;
        picture.width = width;
        picture.height = height;
        state.presentHook(picture);
    }
}

bool ReadCounter(int64_t* ticks) {
    *ticks = state.counter;
    state.counter += state.config.ticksPerReading;
    return true;
}

bool ReadFrequency(int64_t* ticksPerSecond) {
    *ticksPerSecond = headless::kTicksPerFrame * state.config.framesPerSecond;
    return true;
}

// No device: the sound is pulled with RenderMusic by whoever wants it (the offline renderer).
bool OpenAudio(AudioFill, int* sampleRate, std::string*) {
    *sampleRate = 48000;
    return true;
}
bool StartAudio(std::string*) {
    return true;
}
void CloseAudio() {}

} // namespace backend

namespace headless {

void Reset(const Config& config) {
    ResetSoundSystem();
    ResetDisplaySystem();
    ResetWindowSystem();
    state = HeadlessState();
    state.config = config;
    if (state.config.framesPerSecond <= 0)
        state.config.framesPerSecond = 60;
}

void FailCall(const std::string& name) {
    state.failing.insert(name);
}

void ScriptKey(long frame, WPARAM virtualKey) {
    MSG m = {};
    m.message = WM_KEYDOWN;
    m.wParam = virtualKey;
    state.script.emplace(frame, m);
}

void ScriptClose(long frame) {
    MSG m = {};
    m.message = WM_CLOSE;
    state.script.emplace(frame, m);
}

void ScriptSurfaceLoss(long frame, int refusedRestores) {
    state.losses.emplace(frame, refusedRestores);
}

const std::vector<std::string>& CallLog() {
    return state.log;
}

std::vector<std::string> CallNames() {
    std::vector<std::string> names;
    names.reserve(state.log.size());
    for (const std::string& entry : state.log)
        names.push_back(entry.substr(0, entry.find(' ')));
    return names;
}

long PresentCount() {
    return state.presents;
}

void AdvanceClock(int64_t ticks) {
    state.counter += ticks;
}

Picture Display() {
    SurfaceView view;
    return PrimarySurfaceView(&view) ? PictureOf(view) : Picture();
}

Picture BackBuffer() {
    SurfaceView view;
    return BackSurfaceView(&view) ? PictureOf(view) : Picture();
}

void SetPresentHook(std::function<void(const Picture&)> hook) {
    state.presentHook = std::move(hook);
}

bool CursorVisible() {
    return state.cursorVisible;
}
bool WindowExists() {
    return state.windowExists;
}

} // namespace headless
