// Turns the composition (song.h) into a module: reads the chords, rhythms and melodies, voices
// the chords, lays every part on its channels, adds the echoes, and cuts the result into one
// pattern per block (identical blocks share a pattern).
//
// Channels: 0 kick, 1 snare, 2 hi-hats, 3 bass, 4..7 pad voices, 8 arpeggio, 9 its echo,
// 10 lead, 11 its echo, 12 harmony, 13 crash and sweep. The tempo of each block is set on its
// first row (effect F on the kick channel), so every pattern plays at its own tempo wherever
// it stands in the order list.
//
// Mistakes in the data (an unknown name, a bar of the wrong length, a note out of range, a
// section that would not start with its scene) end the process through FatalError with a
// message that names the block and the fault.
#pragma once

#include "mkdata/song.h"
#include "mkdata/xm_writer.h"

#include <string>
#include <vector>

constexpr int kMusicChannels = 14;

struct ComposedSong {
    XmModule module;
    std::vector<std::string> sectionNames;
    std::vector<int> sectionFirstOrder;      // order index at which each section starts
    std::vector<double> sectionStartSeconds; // music time at which each section starts
    double leadInSeconds = 0;                // music time at which the show clock starts
    double seconds = 0;                      // length of the whole song
};

// Composes the song with the given instruments (numbered as song::Instrument).
ComposedSong Compose(const song::Song& song, std::vector<XmInstrument> instruments);

// Pitch of a note name such as "A4", "C#5" or "Bb3", counted in semitones from C-0
// (A4 = 57; the module's note value is one more). Returns -1 if the text is not a note.
int ParsePitch(const std::string& text);
