// Writes XM (extended module) files, version 1.04, from a module described in memory.
//
// Layout written: the 60-byte module header and 276-byte rest of header (256-entry order table),
// then every pattern (9-byte header + packed cells), then every instrument (263-byte header,
// one 40-byte sample header, the sample's 16-bit delta-encoded frames). The linear frequency
// table is always used. Text fields are space padded; the tracker name is our own, so players
// keep their default FT2-compatible playback rules.
//
// EncodeXm checks the module against the limits of the format and of the common players
// (libopenmpt and libxmp) and ends the process through FatalError, naming the fault, instead of
// writing a file that a player would misread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Note values of a cell: 0 none, 1..96 = C-0..B-7, 97 key-off.
constexpr uint8_t kXmNoNote = 0;
constexpr uint8_t kXmKeyOff = 97;
constexpr uint8_t kXmHighestNote = 96;

// Effect numbers used by the generator (the value written in the effect-type byte).
constexpr uint8_t kXmEffectArpeggio = 0x0;
constexpr uint8_t kXmEffectVolumeSlide = 0xA;
constexpr uint8_t kXmEffectPanning = 0x8;
constexpr uint8_t kXmEffectSetVolume = 0xC;
constexpr uint8_t kXmEffectExtended = 0xE;   // Exy; ECx cuts the note at tick x
constexpr uint8_t kXmEffectSpeedTempo = 0xF; // 01..1F speed, 20..FF BPM
constexpr uint8_t kXmLastEffect = 35;

// Volume-column value that sets the volume to v (0..64).
constexpr uint8_t XmVolume(int v) {
    return uint8_t(0x10 + v);
}

// One cell: what one channel does on one row. All zero is an empty cell.
struct XmCell {
    uint8_t note = kXmNoNote;
    uint8_t instrument = 0; // 1-based, 0 none
    uint8_t volume = 0;     // volume column, 0 none, 0x10..0x50 set volume
    uint8_t effect = 0;     // effect type 0..35
    uint8_t param = 0;      // effect parameter

    bool operator==(const XmCell& other) const {
        return note == other.note && instrument == other.instrument && volume == other.volume &&
               effect == other.effect && param == other.param;
    }
    bool IsEmpty() const { return *this == XmCell{}; }
};

// Rows of cells, row by row, channel by channel within a row.
struct XmPattern {
    int rows = 64;
    std::vector<XmCell> cells; // rows x channels

    XmPattern() = default;
    XmPattern(int rowCount, int channels)
        : rows(rowCount), cells(size_t(rowCount) * size_t(channels)) {}
    XmCell& At(int row, int channel, int channels) {
        return cells[size_t(row * channels + channel)];
    }
    const XmCell& At(int row, int channel, int channels) const {
        return cells[size_t(row * channels + channel)];
    }
    bool operator==(const XmPattern& other) const {
        return rows == other.rows && cells == other.cells;
    }
};

struct XmEnvelopePoint {
    uint16_t tick;  // position in ticks from the note's start
    uint16_t value; // 0..64 for volume
};

struct XmEnvelope {
    std::vector<XmEnvelopePoint> points; // empty: envelope off; at most 12
    int sustainPoint = -1;               // index held until key-off, -1 none
    int loopStart = -1, loopEnd = -1;    // loop indices, -1 none
};

enum class XmLoop { None, Forward, PingPong };

// A 16-bit mono sample. Positions are in frames here; the file stores bytes.
struct XmSample {
    std::string name;
    std::vector<int16_t> frames;
    XmLoop loop = XmLoop::None;
    int loopStart = 0;  // frames
    int loopLength = 0; // frames
    int volume = 64;    // default volume 0..64
    int finetune = 0;   // 1/128 semitone, -128..127, a multiple of 8 so that every player agrees
    int relativeNote = 0;
    int panning = 128; // 0 left .. 255 right
};

struct XmAutoVibrato {
    int waveform = 0; // 0 sine, 1 square, 2 and 3 ramps
    int sweep = 0;
    int depth = 0; // 0..15
    int rate = 0;  // 0..63
};

// An instrument with exactly one sample.
struct XmInstrument {
    std::string name;
    XmSample sample;
    XmEnvelope volumeEnvelope;
    int fadeout = 0; // 0..0xFFF, applied after key-off
    XmAutoVibrato vibrato;
};

struct XmModule {
    std::string name;
    std::string tracker = "mkdata";
    int channels = 8; // even, 2..32
    int speed = 6;    // ticks per row, 1..31
    int bpm = 125;    // 32..255
    int restart = 0;  // order index the song loops back to
    std::vector<int> orders;
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

// The whole file. Ends the process through FatalError when the module breaks a format limit.
std::vector<uint8_t> EncodeXm(const XmModule& module);

// Packs one pattern's cells as stored in the file (without the 9-byte header).
std::vector<uint8_t> PackXmPattern(const XmPattern& pattern, int channels);
