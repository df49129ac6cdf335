// The web back end: the show in a browser page, compiled with emscripten.
//
// The display is a 640 x 480 <canvas>, which the page scales up (index.html). Keys come from the
// page, the counter from performance.now(), and the music goes out through Web Audio: the page
// renders it on its own thread through WebFillAudio (16-bit stereo at the audio context's rate)
// and plays it from an AudioWorklet (index.html says how). The shell's frame loops stay as they
// are: before each frame is shown, the shell's event pump yields to the browser (ASYNCIFY) until
// the next animation frame, at most 60 times a second, and then takes the keys that came. Only
// plain calls lead from main to that wait, which lets the build check the list of functions
// rewritten for it (asyncify.txt) against the program itself.
//
// The page's address may carry settings for tests and measurements (index.html has the others):
//   ?virtual-clock   the counter advances exactly 1/60 s per presented frame, as in the offline
//                    renderer, and frames follow each other as fast as they can
//   &bench           times the work of every frame (from one wait to the next, without the
//                    waiting); at the end the page gets the times in milliseconds, frame 1 first,
//                    in Module.benchFrames, and when each frame's wait ended (milliseconds from
//                    the first's, frame 0 first) in Module.benchWakes (tests/web/web_test.py
//                    --bench makes a table per scene of them: the back end knows frames, not
//                    scenes)
//   &manifest        with the virtual clock: hashes every presented frame (base/framehash.h, the
//                    frame at (64, 112) of the display) and the music of its 1/60 s, pulled here
//                    instead of by Web Audio, as demo-render --hashes does; at the end the page
//                    gets the lines of the show's manifest (tools/render/manifest.h) in
//                    Module.manifest
#include "base/framehash.h"
#include "platform/backend.h"
#include "shell/display.h"

#include <emscripten.h>

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int64_t kTicksPerSecond = 1000000;       // the counter counts microseconds
constexpr int64_t kVirtualTicksPerFrame = 1000000; // 60 of them make the virtual second
constexpr int kManifestSampleRate = 48000;         // the music's rate in the show's manifest

struct FrameHash {
    long frame;
    uint64_t hash;
};

struct WebState {
    bool virtualClock = false;
    int64_t virtualCounter = 1000000000; // arbitrary start, as in the headless back end
    long presents = 0;
    std::vector<uint32_t> rgba; // the display as the canvas takes it: red, green, blue, alpha
    backend::AudioFill audioFill = nullptr;
    std::vector<int16_t> audioBuffer;
    bool bench = false;
    double workStart = 0; // when the frame now being drawn was started (milliseconds)
    std::vector<double> benchMilliseconds; // the work of frames 1, 2, ... (frame 0 has none)
    std::vector<double> benchWakes;        // when the wait before frames 0, 1, ... ended
    bool manifest = false;
    std::vector<FrameHash> frameHashes;
    Xxh64 musicHash;
    long long musicFrames = 0; // samples per channel in musicHash
    std::vector<int16_t> frameMusic;
};

WebState web;

// --- The page's side (JavaScript, kept as written) ---
// clang-format off

EM_JS(int, WebSetting, (const char* name), {
    return new URLSearchParams(window.location.search).has(UTF8ToString(name)) ? 1 : 0;
});

// Hands the page the picture of presented frame number `frame` (from 0): an ImageData over the
// program's own memory, made again only when the memory has grown (and so moved), so that the
// canvas copies the picture once and no frame leaves garbage behind.
EM_JS(void, WebDraw, (const uint32_t* rgba, int width, int height, long frame), {
    let picture = Module.picture;
    if (!picture || picture.data.buffer !== HEAPU8.buffer || picture.data.byteOffset !== rgba) {
        picture = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4),
                                width, height);
        Module.picture = picture;
    }
    Module.showPicture(picture, frame);
});

// Waits for the browser's next animation frame, at most 60 frames a second; in virtual-clock
// mode only lets the page breathe now and then, through a message to itself (a chain of
// setTimeout(0) waits at least 4 ms a turn).
EM_ASYNC_JS(void, WebWaitForFrame, (int virtualClock, long presents), {
    if (virtualClock) {
        if (presents % 8 == 0) {
            if (!Module.breather)
                Module.breather = new MessageChannel();
            await new Promise(resolve => {
                Module.breather.port1.onmessage = resolve;
                Module.breather.port2.postMessage(0);
            });
        }
        return;
    }
    const period = 1000 / 60;
    const nextFrame = () => new Promise(resolve => requestAnimationFrame(resolve));
    let now = await nextFrame();
    const due = Module.nextPresent || 0;
    while (now < due - 2)
        now = await nextFrame();
    // A late frame starts a new schedule instead of hurrying the next ones.
    Module.nextPresent = now > due + period ? now + period : due + period;
});

EM_JS(int, WebNextEvent, (), {
    const events = Module.pendingEvents || [];
    return events.length ? events.shift() : -1;
});

EM_JS(double, WebNow, (), { return performance.now(); });

EM_JS(int, WebOpenAudio, (), {
    return Module.openAudio ? Module.openAudio() : 0;
});

EM_JS(void, WebSetAudioRunning, (int running), {
    if (Module.setAudioRunning)
        Module.setAudioRunning(running != 0);
});

EM_JS(void, WebReportBench, (const double* milliseconds, int count, const double* wakes,
                            int wakeCount), {
    const doubles = (address, length) => Array.from(HEAPF64.subarray(address >> 3,
                                                                     (address >> 3) + length));
    Module.benchFrames = doubles(milliseconds, count);
    Module.benchWakes = doubles(wakes, wakeCount).map(time => time - HEAPF64[wakes >> 3]);
});

EM_JS(void, WebReportManifest, (const char* lines), {
    Module.manifest = UTF8ToString(lines);
});
// clang-format on

// The frame's hash, and the music of the frame's 1/60 s rendered and hashed, as the offline
// renderer does at each present (the music is silence until the show starts it).
void RecordManifestFrame(const uint8_t* pixels, long pitch, int width, int height) {
    const long index = web.presents;
    if (width >= kFrameLeft + kFrameWidth && height >= kFrameTop + kFrameHeight)
        web.frameHashes.push_back(
            {index, HashFrame(pixels + kFrameTop * pitch + kFrameLeft * 4, pitch)});
    const long long first = static_cast<long long>(index) * kManifestSampleRate / 60;
    const long long next = static_cast<long long>(index + 1) * kManifestSampleRate / 60;
    web.frameMusic.resize(static_cast<size_t>(next - first) * 2);
    RenderMusic(web.frameMusic.data(), static_cast<int>(next - first));
    web.musicHash.UpdateSamples(web.frameMusic.data(), web.frameMusic.size());
    web.musicFrames += next - first;
}

void ReportManifest() {
    std::string lines;
    lines.reserve(web.frameHashes.size() * 36 + 64);
    char line[96];
    for (const FrameHash& frame : web.frameHashes) {
        std::snprintf(line, sizeof(line), "%ld %.6f %016" PRIx64 "\n", frame.frame,
                      static_cast<double>(frame.frame) / 60.0, frame.hash);
        lines += line;
    }
    std::snprintf(line, sizeof(line), "music %d 2 %lld %016" PRIx64 "\n", kManifestSampleRate,
                  web.musicFrames, web.musicHash.Digest());
    lines += line;
    WebReportManifest(lines.c_str());
}

void ReportBench() {
    WebReportBench(web.benchMilliseconds.data(), static_cast<int>(web.benchMilliseconds.size()),
                   web.benchWakes.data(), static_cast<int>(web.benchWakes.size()));
}

} // namespace

// Called by the page: fills `frames` stereo frames of 16-bit sound (silence until the show
// starts its music).
extern "C" EMSCRIPTEN_KEEPALIVE int16_t* WebFillAudio(int frames) {
    web.audioBuffer.resize(static_cast<size_t>(frames) * 2);
    if (web.audioFill)
        web.audioFill(web.audioBuffer.data(), frames);
    else
        std::fill(web.audioBuffer.begin(), web.audioBuffer.end(), int16_t{0});
    return web.audioBuffer.data();
}

namespace backend {

bool CreateNativeWindow(const char*, DWORD, int, int, int, int) {
    web.virtualClock = WebSetting("virtual-clock") != 0;
    web.bench = WebSetting("bench") != 0;
    if (web.bench)
        std::atexit(ReportBench);
    web.manifest = WebSetting("manifest") != 0;
    if (web.manifest)
        std::atexit(ReportManifest);
    web.rgba.assign(static_cast<size_t>(kDisplayWidth) * kDisplayHeight, 0);
    return true;
}

void DestroyNativeWindow() {}

POINT ClientOrigin() {
    return {0, 0};
}

void SetCursorVisible(bool) {} // the page hides the cursor over the canvas itself

void PumpEvents() {
    if (web.bench && web.presents > 0)
        web.benchMilliseconds.push_back(WebNow() - web.workStart);
    WebWaitForFrame(web.virtualClock ? 1 : 0, web.presents);
    if (web.bench) {
        web.workStart = WebNow();
        web.benchWakes.push_back(web.workStart);
    }
    for (int event = WebNextEvent(); event >= 0; event = WebNextEvent())
        PostWindowMessage(static_cast<UINT>(event >> 8), static_cast<WPARAM>(event & 0xFF), 0);
}

DesktopFormat Desktop() {
    return {kDisplayWidth, kDisplayHeight, 32};
}

void EnterExclusiveMode() {}

long FullScreenPitch() {
    return kDisplayWidth * 4;
}

uint32_t FreshSurfaceWord() {
    return 0; // the canvas starts black
}

void ShowPicture(const uint8_t* pixels, long pitch, int width, int height) {
    if (web.manifest)
        RecordManifestFrame(pixels, pitch, width, height);
    // 0x00RRGGBB words become the canvas's red, green, blue and opaque alpha bytes: in memory
    // (little-endian) the word 0xFFBBGGRR.
    const int shownWidth = std::min(width, kDisplayWidth);
    const int shownHeight = std::min(height, kDisplayHeight);
    for (int y = 0; y < shownHeight; y++) {
        const uint8_t* source = pixels + y * pitch;
        uint32_t* target = web.rgba.data() + static_cast<size_t>(y) * kDisplayWidth;
        for (int x = 0; x < shownWidth; x++) {
            uint32_t word;
            std::memcpy(&word, source + x * 4, 4);
            target[x] = 0xFF000000u | (word & 0x00FF00u) | ((word >> 16) & 0xFFu) |
                        ((word & 0xFFu) << 16);
        }
    }
    WebDraw(web.rgba.data(), kDisplayWidth, kDisplayHeight, web.presents);

    web.presents++;
    if (web.virtualClock)
        web.virtualCounter += kVirtualTicksPerFrame;
}

bool ReadCounter(int64_t* ticks) {
    *ticks = web.virtualClock ? web.virtualCounter
                              : static_cast<int64_t>(WebNow() * (kTicksPerSecond / 1000));
    return true;
}

bool ReadFrequency(int64_t* ticksPerSecond) {
    *ticksPerSecond = web.virtualClock ? kVirtualTicksPerFrame * 60 : kTicksPerSecond;
    return true;
}

bool OpenAudio(AudioFill fill, int* sampleRate, std::string*) {
    if (web.manifest) {
        // The frames pull the music themselves, at the manifest's rate; Web Audio stays out.
        *sampleRate = kManifestSampleRate;
        return true;
    }
    web.audioFill = fill;
    const int rate = WebOpenAudio();
    if (rate <= 0) {
        // A browser without Web Audio still gets the show.
        std::fprintf(stderr, "demo: no audio output: the show plays without sound\n");
        *sampleRate = 48000;
        return true;
    }
    *sampleRate = rate;
    return true;
}

bool StartAudio(std::string*) {
    WebSetAudioRunning(1);
    return true;
}

void CloseAudio() {
    WebSetAudioRunning(0);
}

} // namespace backend
