// The Windows back end. Windows itself provides the window, the display (DirectDraw) and the
// performance counter that the shell calls, so all this back end adds is what the system lacks:
// an audio output for the sound library, through winmm's waveOut.
//
// The output is a ring of a few 16-bit stereo buffers. waveOut signals an event whenever it has
// played one; a feeder thread then refills every finished buffer from the music (AudioFill, that
// is RenderMusic) and queues it again. A machine without any audio device plays the show
// silently, and says so on standard error.
#include "platform/backend.h"

#include <mmsystem.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr int kSampleRate = 48000;
constexpr int kBufferCount = 4;        // in flight at once
constexpr int kFramesPerBuffer = 1024; // 21 ms at 48 kHz: about 85 ms of latency in all

struct WaveOutput {
    HWAVEOUT device = nullptr;
    HANDLE bufferDone = nullptr; // signalled by waveOut whenever a buffer has been played
    backend::AudioFill fill = nullptr;
    std::array<WAVEHDR, kBufferCount> headers{};
    std::vector<int16_t> samples; // the buffers' memory, one after the other
    std::thread feeder;
    std::atomic<bool> feeding{false};
};

WaveOutput output;

std::string WaveOutText(MMRESULT result) {
    char text[MAXERRORLENGTH] = {};
    if (waveOutGetErrorTextA(result, text, sizeof(text)) != MMSYSERR_NOERROR)
        std::snprintf(text, sizeof(text), "waveOut error %u", static_cast<unsigned>(result));
    return text;
}

// Fills the buffer with the next stretch of music and hands it to the device.
void Queue(WAVEHDR& header) {
    output.fill(reinterpret_cast<int16_t*>(header.lpData), kFramesPerBuffer);
    header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
    waveOutWrite(output.device, &header, sizeof(header));
}

void Feed() {
    while (output.feeding.load()) {
        WaitForSingleObject(output.bufferDone, INFINITE);
        if (!output.feeding.load())
            break;
        for (WAVEHDR& header : output.headers)
            if (header.dwFlags & WHDR_DONE)
                Queue(header);
    }
}

} // namespace

namespace backend {

bool OpenAudio(AudioFill fill, int* sampleRate, std::string*) {
    output.fill = fill;
    *sampleRate = kSampleRate;
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = kSampleRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = format.nChannels * format.wBitsPerSample / 8;
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;

    output.bufferDone = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    MMRESULT result = MMSYSERR_NODRIVER;
    if (output.bufferDone && waveOutGetNumDevs() > 0)
        result = waveOutOpen(&output.device, WAVE_MAPPER, &format,
                             reinterpret_cast<DWORD_PTR>(output.bufferDone), 0, CALLBACK_EVENT);
    if (result != MMSYSERR_NOERROR) {
        // A machine without any audio output (a server, a virtual machine) still gets the show.
        output.device = nullptr;
        std::fprintf(stderr, "demo: no audio output (%s): the show plays without sound\n",
                     WaveOutText(result).c_str());
        return true;
    }

    output.samples.assign(static_cast<size_t>(kBufferCount) * kFramesPerBuffer * 2, 0);
    for (int i = 0; i < kBufferCount; i++) {
        WAVEHDR& header = output.headers[i];
        header = WAVEHDR{};
        header.lpData = reinterpret_cast<LPSTR>(output.samples.data() +
                                                static_cast<size_t>(i) * kFramesPerBuffer * 2);
        header.dwBufferLength = kFramesPerBuffer * format.nBlockAlign;
        waveOutPrepareHeader(output.device, &header, sizeof(header));
    }
    return true;
}

bool StartAudio(std::string*) {
    if (!output.device || output.feeding.load())
        return true; // silent, or already playing
    output.feeding = true;
    for (WAVEHDR& header : output.headers)
        Queue(header);
    output.feeder = std::thread(Feed);
    return true;
}

void CloseAudio() {
    if (output.feeding.exchange(false)) {
        SetEvent(output.bufferDone);
        output.feeder.join();
    }
    if (output.device) {
        waveOutReset(output.device); // hands every queued buffer back
        for (WAVEHDR& header : output.headers)
            waveOutUnprepareHeader(output.device, &header, sizeof(header));
        waveOutClose(output.device);
        output.device = nullptr;
    }
    if (output.bufferDone) {
        CloseHandle(output.bufferDone);
        output.bufferDone = nullptr;
    }
}

} // namespace backend
