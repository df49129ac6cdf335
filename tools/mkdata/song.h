// The composition of the show's music, as data: what plays, bar by bar.
//
// How to read it. A bar is 16 rows (four beats of four rows). The song is a list of sections,
// each timed to start when a scene of the show starts; a section is a list of blocks, and each
// block becomes one pattern of the module. A block names, for its bars, the chords and what
// each part plays:
//
//   chords   one chord per bar ("Am F C G"); "F,G" splits a bar in two halves. Chords are a
//            root (A..G, # or b) and a quality: m, 7, m7, maj7, sus2, sus4, add9, madd9, or
//            nothing for major.
//   drums, bass, pad, arp, fx
//            one name per bar, or a single name for every bar; "." is a bar of silence.
//            "name@40" plays it at volume 40 (0..64) instead of the part's usual volume.
//   lead, harmony
//            one melody for the whole block: "name", "name:4" (from its bar 4), "name@40".
//            The harmony part sings the melody a third below, on the chord's notes.
//
// Rhythm strings have one character per row (spaces are ignored; 16 rows a bar):
//   drums    kick and snare: x hit, g ghost, 1..9 hit at 1/9..9/9 strength;
//            hat: c closed, C closed accented, o open
//   bass     r root, o root an octave up, f fifth, t third
//   pad      x strike the chord (the pad also follows every chord change while it holds)
//   arp      0..9: the chord's notes counted upward from its root (0 root, then third, fifth,
//            and on through the next octaves)
//   and for all of them: . nothing new (a held note goes on), - release the note.
// Melodies have one token per row, separated by spaces, with | between bars: a note such as
// A4, C#5 or Bb4 (A4 = 440 Hz), "." to hold, "-" to release.
#pragma once

#include <vector>

namespace song {

constexpr int kRowsPerBar = 16;

// The module's clock: it runs at 120 BPM in tracker terms, so a tick lasts 1/48 s, a whole
// number of samples at 48 kHz, and players keep exact time over the three minutes. A block's
// tempo is set by its ticks per row: bpm = 720 / ticks, so the tempos on offer are 144, 120,
// 103 (rounded; avoid), 90, 80, 72, 60 and so on.
constexpr int kTrackerBpm = 120;
constexpr int kTicksPerSecond = 48;
constexpr int kBeatsPerMinuteTimesTicks = 720; // bpm x ticks per row

// Instrument numbers in the module.
enum Instrument : int {
    kKick = 1,
    kSnare,
    kClosedHat,
    kOpenHat,
    kCrash,
    kSweep,
    kBass,
    kPad,
    kPluck,
    kLead,
    kInstrumentCount = kLead
};

struct DrumBar {
    const char* name;
    const char* kick;
    const char* snare;
    const char* hat;
};

struct Rhythm {
    const char* name;
    const char* rows;
};

struct Melody {
    const char* name;
    const char* notes;
};

struct Block {
    const char* label; // what happens here, for the reader
    int bars;
    int bpm;       // beats a minute, four rows a beat: 720 / n for a whole n
    int transpose; // semitones added to every pitched part
    const char* chords;
    const char* drums;
    const char* bass;
    const char* pad;
    const char* arp;
    const char* lead;
    const char* harmony;
    const char* fx;      // per bar: crash, sweep or .
    int lastBeatBpm = 0; // if set, the block's last beat slows to this tempo (a ritardando)
};

struct Section {
    const char* name;
    double showSeconds; // the show-clock time at which this section must start
    std::vector<Block> blocks;
};

// How loud and where each part plays, unless a block says otherwise.
struct Mix {
    int kick, snare, hat, bass, pad, arp, lead, harmony, crash, sweep;
    int arpEchoPercent, leadEchoPercent; // echo volume as a share of the part's
    int echoRows;                        // echo delay in rows
    int padPan[4];                       // 0 left .. 255 right, per pad voice
    int arpPan, arpEchoPan, leadPan, leadEchoPan, harmonyPan;
};

struct Song {
    const char* title;
    const char* scale;     // the notes of the key, lowest first ("A B C D E F G"), for harmonies
    int leadInRows;        // rows played before the show clock starts (the first scene's loading)
    double endShowSeconds; // when the show ends; the music ends with it
    Mix mix;
    std::vector<DrumBar> drums;
    std::vector<Rhythm> bass;
    std::vector<Rhythm> pad;
    std::vector<Rhythm> arp;
    std::vector<Melody> melodies;
    std::vector<Section> sections;
};

// The music of the show, "mirel".
const Song& Mirel();

} // namespace song
