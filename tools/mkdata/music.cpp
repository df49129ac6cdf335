#include "mkdata/music.h"

#include "base/process.h"
#include "mkdata/detmath.h"
#include "mkdata/synth.h"
#include "mkdata/wav_file.h"

#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

std::vector<XmInstrument> MakeMusicInstruments() {
    // In the order of song::Instrument.
    return {MakeKick(),  MakeSnare(), MakeClosedHat(), MakeOpenHat(), MakeCrash(),
            MakeSweep(), MakeBass(),  MakePad(),       MakePluck(),   MakeLead()};
}

ComposedSong ComposeMusic() {
    return Compose(song::Mirel(), MakeMusicInstruments());
}

std::vector<uint8_t> BuildMusicFile() {
    return EncodeXm(ComposeMusic().module);
}

namespace {

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out) {
        std::string message = "cannot write " + path;
        FatalError(message.c_str());
    }
}

} // namespace

void WriteMusic(const std::string& dataDir) {
    std::error_code error;
    std::filesystem::create_directories(dataDir, error);
    WriteBytes((std::filesystem::path(dataDir) / "mirel.xm").string(), BuildMusicFile());
}

std::vector<float> RenderModule(const std::vector<uint8_t>& module, int rate,
                                RenderReport* report) {
    std::ostringstream log;
    std::vector<float> pcm;
    try {
        openmpt::module player(module, log);
        player.set_repeat_count(0);
        std::vector<float> buffer(2 * 4096);
        for (;;) {
            size_t frames = player.read_interleaved_stereo(rate, 4096, buffer.data());
            if (frames == 0)
                break;
            pcm.insert(pcm.end(), buffer.begin(), buffer.begin() + long(2 * frames));
        }
    } catch (const std::exception& error) {
        std::string message = std::string("the module player refused the module: ") + error.what();
        FatalError(message.c_str());
    }
    if (report) {
        report->seconds = double(pcm.size() / 2) / rate;
        report->peak = 0;
        report->clippedSamples = 0;
        for (float x : pcm) {
            report->peak = std::max(report->peak, double(std::fabs(x)));
            if (std::fabs(x) >= 1.0f)
                ++report->clippedSamples;
        }
        report->warnings = log.str();
    }
    return pcm;
}

RenderReport RenderModuleToWav(const std::string& modulePath, const std::string& wavPath) {
    std::ifstream in(modulePath, std::ios::binary);
    if (!in) {
        std::string message = "cannot read " + modulePath;
        FatalError(message.c_str());
    }
    std::vector<uint8_t> module((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
    constexpr int kRate = 48000;
    RenderReport report;
    const std::vector<float> pcm = RenderModule(module, kRate, &report);

    std::vector<int16_t> samples(pcm.size());
    for (size_t i = 0; i < pcm.size(); ++i)
        samples[i] = int16_t(detmath::RoundToInt(std::clamp(double(pcm[i]), -1.0, 1.0) * 32767.0));
    if (!WriteWav(wavPath, samples, kRate)) {
        std::string message = "cannot write " + wavPath;
        FatalError(message.c_str());
    }
    return report;
}
