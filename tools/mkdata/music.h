// The show's music file, "mirel.xm": synthesised instruments, the composition of song.h, written
// as an XM module; and an offline render of a module to a WAV file for listening and measuring.
#pragma once

#include "mkdata/composer.h"

#include <cstdint>
#include <string>
#include <vector>

// The instruments in the order of song::Instrument.
std::vector<XmInstrument> MakeMusicInstruments();

// Composes the show's music. The same bytes come out on every run.
ComposedSong ComposeMusic();

// The bytes of "mirel.xm".
std::vector<uint8_t> BuildMusicFile();

// Writes <dataDir>/mirel.xm, creating the folder if needed. Ends the process through FatalError
// if the file cannot be written.
void WriteMusic(const std::string& dataDir);

// What an offline render measured.
struct RenderReport {
    double seconds = 0;      // length of the render
    double peak = 0;         // highest absolute sample, 1.0 = full scale
    long clippedSamples = 0; // samples at or beyond full scale
    std::string warnings;    // what the module player logged while loading
};

// Renders module bytes once through at `rate` frames per second, stereo, as float samples
// interleaved left/right. Ends the process through FatalError if the player refuses the data.
std::vector<float> RenderModule(const std::vector<uint8_t>& module, int rate, RenderReport* report);

// Renders a module file to a 16-bit stereo WAV file at 48 kHz. Ends the process through
// FatalError if either file fails.
RenderReport RenderModuleToWav(const std::string& modulePath, const std::string& wavPath);
