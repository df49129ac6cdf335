#include "mkdata/composer.h"

#include "mkdata/detmath.h"
#include "base/process.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>

namespace {

using song::Block;
using song::Song;

constexpr int kKickChannel = 0;
constexpr int kSnareChannel = 1;
constexpr int kHatChannel = 2;
constexpr int kBassChannel = 3;
constexpr int kPadChannel = 4;
constexpr int kPadVoices = 4;
constexpr int kArpChannel = 8;
constexpr int kArpEchoChannel = 9;
constexpr int kLeadChannel = 10;
constexpr int kLeadEchoChannel = 11;
constexpr int kHarmonyChannel = 12;
constexpr int kFxChannel = 13;

constexpr int kDrumPitch = 48; // C-4: one-shot samples play at the rate they were made

// Registers, as pitches from C-0: the bass root lies in E1..D#2, the arpeggio's root in C4..B4,
// the pad voices within F3..E5.
constexpr int kBassLowest = 16;
constexpr int kArpLowest = 48;
constexpr int kPadLowest = 41;
constexpr int kPadHighest = 64;

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
    std::string message = "song: " + where + ": " + what;
    FatalError(message.c_str());
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> words;
    std::string word;
    while (stream >> word)
        words.push_back(word);
    return words;
}

// "name@40" -> name and 40; a name without a volume keeps `volume` as it is.
std::string SplitVolume(const std::string& word, int* volume, const std::string& where) {
    size_t at = word.find('@');
    if (at == std::string::npos)
        return word;
    std::string digits = word.substr(at + 1);
    if (digits.empty() || digits.size() > 2 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        std::stoi(digits) > 64)
        Fail(where, "volume in \"" + word + "\" must be 0..64");
    *volume = std::stoi(digits);
    return word.substr(0, at);
}

// One word per bar: either exactly `bars` words or a single word for every bar.
std::vector<std::string> PerBar(const char* text, int bars, const std::string& where,
                                const char* field) {
    std::vector<std::string> words = Words(text ? text : "");
    if (words.empty())
        words.push_back(".");
    if (words.size() == 1)
        return std::vector<std::string>(size_t(bars), words[0]);
    if (int(words.size()) != bars)
        Fail(where, std::string(field) + " has " + std::to_string(words.size()) + " entries for " +
                        std::to_string(bars) + " bars");
    return words;
}

// A rhythm string without its spaces; it must fill one bar.
std::string BarRows(const char* rows, const std::string& where) {
    std::string clean;
    for (const char* c = rows; *c; ++c)
        if (*c != ' ')
            clean.push_back(*c);
    if (int(clean.size()) != song::kRowsPerBar)
        Fail(where, "\"" + std::string(rows) + "\" is not " + std::to_string(song::kRowsPerBar) +
                        " rows long");
    return clean;
}

// Ticks per row for a tempo in beats a minute (four rows a beat).
int TicksPerRow(int bpm, const std::string& where) {
    if (bpm <= 0 || song::kBeatsPerMinuteTimesTicks % bpm != 0 ||
        song::kBeatsPerMinuteTimesTicks / bpm > 31)
        Fail(where, "tempo " + std::to_string(bpm) + " is not 720 / n for a whole n up to 31");
    return song::kBeatsPerMinuteTimesTicks / bpm;
}

int PitchClass(int pitch) {
    return ((pitch % 12) + 12) % 12;
}

// The lowest pitch at or above `lowest` with the pitch class of `pitch`.
int PlaceAbove(int pitch, int lowest) {
    return lowest + PitchClass(pitch - lowest);
}

struct Chord {
    int root = 0;               // pitch class
    std::vector<int> intervals; // semitones above the root, ascending, first 0
    bool Contains(int pitch) const {
        for (int i : intervals)
            if (PitchClass(root + i) == PitchClass(pitch))
                return true;
        return false;
    }
    bool operator==(const Chord& other) const {
        return root == other.root && intervals == other.intervals;
    }
    bool operator!=(const Chord& other) const { return !(*this == other); }
};

Chord ParseChord(const std::string& name, const std::string& where) {
    static const std::map<std::string, std::vector<int>> kQualities = {
        {"", {0, 4, 7}},       {"m", {0, 3, 7}},        {"7", {0, 4, 7, 10}},
        {"m7", {0, 3, 7, 10}}, {"maj7", {0, 4, 7, 11}}, {"sus2", {0, 2, 7}},
        {"sus4", {0, 5, 7}},   {"add9", {0, 2, 4, 7}},  {"madd9", {0, 2, 3, 7}},
    };
    int pitch = name.empty() ? -1 : ParsePitch(name.substr(0, 1) + "4");
    size_t pos = 1;
    if (pitch >= 0 && name.size() > 1 && (name[1] == '#' || name[1] == 'b')) {
        pitch += name[1] == '#' ? 1 : -1;
        pos = 2;
    }
    auto quality = kQualities.find(pitch < 0 ? std::string("?") : name.substr(pos));
    if (pitch < 0 || quality == kQualities.end())
        Fail(where, "\"" + name + "\" is not a chord");
    return Chord{PitchClass(pitch), quality->second};
}

// Pad voicing: four notes within the pad's range holding every note of the chord (a triad
// doubles its root), chosen to move as little as possible from the previous voicing.
std::vector<int> VoiceChord(const Chord& chord, const std::vector<int>& previous) {
    std::vector<int> tones = chord.intervals;
    if (tones.size() < kPadVoices)
        tones.push_back(0);
    std::vector<int> candidates;
    for (int p = kPadLowest; p <= kPadHighest; ++p)
        if (chord.Contains(p))
            candidates.push_back(p);
    std::vector<int> best;
    long bestCost = 0;
    const size_t n = candidates.size();
    for (size_t a = 0; a < n; ++a)
        for (size_t b = a + 1; b < n; ++b)
            for (size_t c = b + 1; c < n; ++c)
                for (size_t d = c + 1; d < n; ++d) {
                    std::vector<int> v = {candidates[a], candidates[b], candidates[c],
                                          candidates[d]};
                    if (v[3] - v[0] > 19)
                        continue;
                    // Each chord note at least as often as `tones` holds it.
                    bool complete = true;
                    for (int i : tones)
                        complete =
                            complete && std::count_if(v.begin(), v.end(), [&](int p) {
                                            return PitchClass(p) == PitchClass(chord.root + i);
                                        }) >= std::count(tones.begin(), tones.end(), i);
                    if (!complete)
                        continue;
                    long cost = 0;
                    for (int i = 0; i < kPadVoices; ++i)
                        cost += std::abs(v[size_t(i)] - previous[size_t(i)]);
                    if (best.empty() || cost < bestCost) {
                        best = v;
                        bestCost = cost;
                    }
                }
    return best;
}

// The arpeggio's notes: the chord upward from its root in C4..B4, through higher octaves.
std::vector<int> ArpTones(const Chord& chord) {
    std::vector<int> tones;
    const int root = PlaceAbove(chord.root, kArpLowest);
    for (int octave = 0; tones.size() < 10; ++octave)
        for (int i : chord.intervals)
            if (tones.size() < 10)
                tones.push_back(root + 12 * octave + i);
    return tones;
}

struct MelodyRef {
    std::vector<std::string> tokens; // one per row of the block
    int volume = 0;
};

class Composer {
  public:
    Composer(const Song& song, std::vector<XmInstrument> instruments)
        : song_(song), instruments_(std::move(instruments)) {}

    ComposedSong Run();

  private:
    struct Voice {
        bool sounding = false;
        int pitch = -1;
        int volume = -1;
    };

    XmCell& Cell(int row, int channel) {
        return grid_[size_t(row) * kMusicChannels + size_t(channel)];
    }
    void NoteOn(int row, int channel, int pitch, int instrument, int volume, int pan);
    void KeyOff(int row, int channel, Voice* voice);

    void PlayBlock(const Block& block, int firstRow);
    void PlayDrums(const std::vector<std::string>& bars, int firstRow);
    void PlayBass(const std::vector<std::string>& bars, int firstRow);
    void PlayPad(const std::vector<std::string>& bars, int firstRow);
    void PlayArp(const std::vector<std::string>& bars, int firstRow);
    void PlayMelody(const char* reference, int channel, int defaultVolume, int pan, bool harmonize,
                    Voice* voice, int firstRow, int rows);
    void PlayFx(const std::vector<std::string>& bars, int firstRow);
    void AddEcho(int from, int to, int percent, int pan);
    int HarmonyBelow(int pitch, const Chord& chord) const;

    const Song& song_;
    std::vector<XmInstrument> instruments_;
    std::vector<XmCell> grid_;
    std::string where_;
    int transpose_ = 0;
    std::vector<Chord> chordAtRow_; // for the block being played, untransposed
    Voice bass_, arp_, lead_, harmony_;
    Voice pad_[kPadVoices];
    std::vector<int> padVoicing_ = {48, 52, 55, 60};
};

void Composer::NoteOn(int row, int channel, int pitch, int instrument, int volume, int pan) {
    if (pitch < 0 || pitch + 1 > kXmHighestNote)
        Fail(where_, "a note falls outside C-0..B-7");
    XmCell& cell = Cell(row, channel);
    cell.note = uint8_t(pitch + 1);
    cell.instrument = uint8_t(instrument);
    cell.volume = XmVolume(std::clamp(volume, 0, 64));
    if (pan >= 0) {
        cell.effect = kXmEffectPanning;
        cell.param = uint8_t(pan);
    }
}

void Composer::KeyOff(int row, int channel, Voice* voice) {
    if (!voice->sounding)
        return;
    Cell(row, channel).note = kXmKeyOff;
    voice->sounding = false;
    voice->pitch = -1;
}

void Composer::PlayDrums(const std::vector<std::string>& bars, int firstRow) {
    const song::Mix& mix = song_.mix;
    for (size_t bar = 0; bar < bars.size(); ++bar) {
        int scale = 64;
        std::string name = SplitVolume(bars[bar], &scale, where_);
        if (name == ".")
            continue;
        auto found = std::find_if(song_.drums.begin(), song_.drums.end(),
                                  [&](const song::DrumBar& d) { return name == d.name; });
        if (found == song_.drums.end())
            Fail(where_, "no drum bar named \"" + name + "\"");
        const std::string kick = BarRows(found->kick, where_ + " drums " + name);
        const std::string snare = BarRows(found->snare, where_ + " drums " + name);
        const std::string hat = BarRows(found->hat, where_ + " drums " + name);
        const int row0 = firstRow + int(bar) * song::kRowsPerBar;
        auto strength = [&](char c, const std::string& lane) -> double {
            if (c == '.')
                return 0;
            if (c == 'x')
                return 1;
            if (c == 'g')
                return 0.4;
            if (c >= '1' && c <= '9')
                return (c - '0') / 9.0;
            Fail(where_, "drum bar " + name + " has '" + std::string(1, c) + "' in its " + lane);
        };
        auto volume = [&](int partVolume, double share) {
            return int(detmath::RoundToInt(partVolume * share * scale / 64.0));
        };
        for (int r = 0; r < song::kRowsPerBar; ++r) {
            if (double s = strength(kick[size_t(r)], "kick"))
                NoteOn(row0 + r, kKickChannel, kDrumPitch, song::kKick, volume(mix.kick, s), -1);
            if (double s = strength(snare[size_t(r)], "snare"))
                NoteOn(row0 + r, kSnareChannel, kDrumPitch, song::kSnare, volume(mix.snare, s), -1);
            const char h = hat[size_t(r)];
            if (h == 'c' || h == 'C')
                NoteOn(row0 + r, kHatChannel, kDrumPitch, song::kClosedHat,
                       volume(mix.hat, h == 'c' ? 0.75 : 1.0), -1);
            else if (h == 'o')
                NoteOn(row0 + r, kHatChannel, kDrumPitch, song::kOpenHat, volume(mix.hat, 1.0), -1);
            else if (h != '.')
                Fail(where_, "drum bar " + name + " has '" + std::string(1, h) + "' in its hat");
        }
    }
}

template <typename Table>
const char* FindRows(const Table& table, const std::string& name, const std::string& where,
                     const char* part) {
    for (const auto& entry : table)
        if (name == entry.name)
            return entry.rows;
    Fail(where, std::string("no ") + part + " rhythm named \"" + name + "\"");
}

void Composer::PlayBass(const std::vector<std::string>& bars, int firstRow) {
    for (size_t bar = 0; bar < bars.size(); ++bar) {
        int volume = song_.mix.bass;
        const std::string name = SplitVolume(bars[bar], &volume, where_);
        const int row0 = firstRow + int(bar) * song::kRowsPerBar;
        if (name == ".") {
            KeyOff(row0, kBassChannel, &bass_);
            continue;
        }
        const std::string rows = BarRows(FindRows(song_.bass, name, where_, "bass"), where_);
        for (int r = 0; r < song::kRowsPerBar; ++r) {
            const int row = row0 + r;
            const Chord& chord = chordAtRow_[size_t(row - firstRow)];
            const int root = PlaceAbove(chord.root + transpose_, kBassLowest);
            int pitch = -1;
            switch (rows[size_t(r)]) {
            case '.':
                break;
            case '-':
                KeyOff(row, kBassChannel, &bass_);
                break;
            case 'r':
                pitch = root;
                break;
            case 'o':
                pitch = root + 12;
                break;
            case 'f':
                pitch = root + 7;
                break;
            case 't':
                pitch = root + chord.intervals[1];
                break;
            default:
                Fail(where_, "bass rhythm " + name + " has '" + rows.substr(size_t(r), 1) + "'");
            }
            if (pitch >= 0) {
                NoteOn(row, kBassChannel, pitch, song::kBass, volume, -1);
                bass_ = {true, pitch, volume};
            }
        }
    }
}

void Composer::PlayPad(const std::vector<std::string>& bars, int firstRow) {
    bool holding = false;
    for (size_t bar = 0; bar < bars.size(); ++bar) {
        int volume = song_.mix.pad;
        const std::string name = SplitVolume(bars[bar], &volume, where_);
        const int row0 = firstRow + int(bar) * song::kRowsPerBar;
        if (name == ".") {
            for (int v = 0; v < kPadVoices; ++v)
                KeyOff(row0, kPadChannel + v, &pad_[v]);
            holding = false;
            continue;
        }
        const std::string rows = BarRows(FindRows(song_.pad, name, where_, "pad"), where_);
        for (int r = 0; r < song::kRowsPerBar; ++r) {
            const int row = row0 + r;
            const Chord& chord = chordAtRow_[size_t(row - firstRow)];
            const char c = rows[size_t(r)];
            const bool chordChanged =
                row > firstRow && chord != chordAtRow_[size_t(row - firstRow - 1)];
            if (c == '-') {
                for (int v = 0; v < kPadVoices; ++v)
                    KeyOff(row, kPadChannel + v, &pad_[v]);
                holding = false;
            } else if (c == 'x' || (c == '.' && holding && chordChanged)) {
                Chord sounding = chord;
                sounding.root = PitchClass(chord.root + transpose_);
                padVoicing_ = VoiceChord(sounding, padVoicing_);
                if (padVoicing_.empty())
                    Fail(where_, "the pad cannot voice a chord in its range");
                for (int v = 0; v < kPadVoices; ++v) {
                    Voice& voice = pad_[v];
                    const int pitch = padVoicing_[size_t(v)];
                    if (!voice.sounding || voice.pitch != pitch) {
                        NoteOn(row, kPadChannel + v, pitch, song::kPad, volume,
                               song_.mix.padPan[v]);
                        voice = {true, pitch, volume};
                    } else if (voice.volume != volume) {
                        Cell(row, kPadChannel + v).volume = XmVolume(volume);
                        voice.volume = volume;
                    }
                }
                holding = true;
            } else if (c != '.') {
                Fail(where_, "pad rhythm " + name + " has '" + std::string(1, c) + "'");
            }
        }
    }
}

void Composer::PlayArp(const std::vector<std::string>& bars, int firstRow) {
    for (size_t bar = 0; bar < bars.size(); ++bar) {
        int volume = song_.mix.arp;
        const std::string name = SplitVolume(bars[bar], &volume, where_);
        const int row0 = firstRow + int(bar) * song::kRowsPerBar;
        if (name == ".") {
            KeyOff(row0, kArpChannel, &arp_);
            continue;
        }
        const std::string rows = BarRows(FindRows(song_.arp, name, where_, "arp"), where_);
        for (int r = 0; r < song::kRowsPerBar; ++r) {
            const int row = row0 + r;
            const char c = rows[size_t(r)];
            if (c == '.')
                continue;
            if (c == '-') {
                KeyOff(row, kArpChannel, &arp_);
                continue;
            }
            if (c < '0' || c > '9')
                Fail(where_, "arp pattern " + name + " has '" + std::string(1, c) + "'");
            Chord chord = chordAtRow_[size_t(row - firstRow)];
            chord.root = PitchClass(chord.root + transpose_);
            const int pitch = ArpTones(chord)[size_t(c - '0')];
            NoteOn(row, kArpChannel, pitch, song::kPluck, volume, song_.mix.arpPan);
            arp_ = {true, pitch, volume};
        }
    }
}

// A note a third or so below `pitch`: the next chord note down when the melody is on a chord
// note, otherwise the scale's third below (a major third for notes outside the scale).
int Composer::HarmonyBelow(int pitch, const Chord& chord) const {
    if (chord.Contains(pitch))
        for (int down = 3; down <= 9; ++down)
            if (chord.Contains(pitch - down))
                return pitch - down;
    std::vector<int> scale;
    for (const std::string& name : Words(song_.scale))
        scale.push_back(PitchClass(ParsePitch(name + "4")));
    auto at = std::find(scale.begin(), scale.end(), PitchClass(pitch));
    if (at == scale.end())
        return pitch - 4;
    const size_t index = size_t(at - scale.begin());
    const int target = scale[(index + scale.size() - 2) % scale.size()];
    int below = pitch - 1;
    while (PitchClass(below) != target)
        --below;
    return below;
}

void Composer::PlayMelody(const char* reference, int channel, int defaultVolume, int pan,
                          bool harmonize, Voice* voice, int firstRow, int rows) {
    std::vector<std::string> words = Words(reference ? reference : "");
    if (words.empty() || words[0] == ".") {
        KeyOff(firstRow, channel, voice);
        return;
    }
    if (words.size() != 1)
        Fail(where_, "a block plays one melody per part, not \"" + std::string(reference) + "\"");
    int volume = defaultVolume;
    std::string name = SplitVolume(words[0], &volume, where_);
    int fromBar = 0;
    if (size_t colon = name.find(':'); colon != std::string::npos) {
        std::string bar = name.substr(colon + 1);
        if (bar.empty() || bar.size() > 2 ||
            !std::all_of(bar.begin(), bar.end(), [](char c) { return c >= '0' && c <= '9'; }))
            Fail(where_, "\"" + name + "\" should be name:bar");
        fromBar = std::stoi(bar);
        name = name.substr(0, colon);
    }
    auto found = std::find_if(song_.melodies.begin(), song_.melodies.end(),
                              [&](const song::Melody& m) { return name == m.name; });
    if (found == song_.melodies.end())
        Fail(where_, "no melody named \"" + name + "\"");

    // The melody's rows, bar by bar, each bar checked for its length.
    std::vector<std::string> tokens;
    std::vector<std::string> bar;
    int barNumber = 0;
    auto closeBar = [&]() {
        if (int(bar.size()) != song::kRowsPerBar)
            Fail(where_, "melody " + name + " bar " + std::to_string(barNumber) + " has " +
                             std::to_string(bar.size()) + " rows");
        tokens.insert(tokens.end(), bar.begin(), bar.end());
        bar.clear();
        ++barNumber;
    };
    for (const std::string& word : Words(found->notes)) {
        if (word == "|")
            closeBar();
        else
            bar.push_back(word);
    }
    closeBar();
    const size_t start = size_t(fromBar) * song::kRowsPerBar;
    if (start + size_t(rows) > tokens.size())
        Fail(where_, "melody " + name + " from bar " + std::to_string(fromBar) +
                         " is shorter than the block");

    for (int r = 0; r < rows; ++r) {
        const std::string& token = tokens[start + size_t(r)];
        const int row = firstRow + r;
        if (token == ".")
            continue;
        if (token == "-") {
            KeyOff(row, channel, voice);
            continue;
        }
        int pitch = ParsePitch(token);
        if (pitch < 0)
            Fail(where_, "melody " + name + " has \"" + token + "\", which is not a note");
        if (harmonize)
            pitch = HarmonyBelow(pitch, chordAtRow_[size_t(r)]);
        pitch += transpose_;
        NoteOn(row, channel, pitch, song::kLead, volume, pan);
        *voice = {true, pitch, volume};
    }
}

void Composer::PlayFx(const std::vector<std::string>& bars, int firstRow) {
    for (size_t bar = 0; bar < bars.size(); ++bar) {
        const int row = firstRow + int(bar) * song::kRowsPerBar;
        int volume = -1;
        const std::string name = SplitVolume(bars[bar], &volume, where_);
        if (name == "crash")
            NoteOn(row, kFxChannel, kDrumPitch, song::kCrash, volume < 0 ? song_.mix.crash : volume,
                   -1);
        else if (name == "sweep")
            NoteOn(row, kFxChannel, kDrumPitch, song::kSweep, volume < 0 ? song_.mix.sweep : volume,
                   -1);
        else if (name != ".")
            Fail(where_, "fx \"" + name + "\" is neither crash, sweep nor .");
    }
}

void Composer::PlayBlock(const Block& block, int firstRow) {
    const int rows = block.bars * song::kRowsPerBar;
    transpose_ = block.transpose;

    // The chord under every row of the block.
    chordAtRow_.assign(size_t(rows), Chord{});
    const std::vector<std::string> chords = PerBar(block.chords, block.bars, where_, "chords");
    for (int bar = 0; bar < block.bars; ++bar) {
        std::vector<std::string> halves;
        std::string part;
        std::istringstream split(chords[size_t(bar)]);
        while (std::getline(split, part, ','))
            halves.push_back(part);
        if (halves.empty() || song::kRowsPerBar % int(halves.size()) != 0)
            Fail(where_, "bar " + std::to_string(bar) + " cannot share its rows among \"" +
                             chords[size_t(bar)] + "\"");
        const int span = song::kRowsPerBar / int(halves.size());
        for (int r = 0; r < song::kRowsPerBar; ++r)
            chordAtRow_[size_t(bar * song::kRowsPerBar + r)] =
                ParseChord(halves[size_t(r / span)], where_);
    }

    // The block's tempo on its first row: ticks per row on the kick channel, the tracker BPM on
    // the snare channel (drum cells carry no other effects). A slower last beat gets its own
    // ticks per row.
    Cell(firstRow, kKickChannel).effect = kXmEffectSpeedTempo;
    Cell(firstRow, kKickChannel).param = uint8_t(TicksPerRow(block.bpm, where_));
    Cell(firstRow, kSnareChannel).effect = kXmEffectSpeedTempo;
    Cell(firstRow, kSnareChannel).param = uint8_t(song::kTrackerBpm);
    if (block.lastBeatBpm) {
        const int beatRow = firstRow + rows - song::kRowsPerBar / 4;
        Cell(beatRow, kKickChannel).effect = kXmEffectSpeedTempo;
        Cell(beatRow, kKickChannel).param = uint8_t(TicksPerRow(block.lastBeatBpm, where_));
    }

    const song::Mix& mix = song_.mix;
    PlayDrums(PerBar(block.drums, block.bars, where_, "drums"), firstRow);
    PlayBass(PerBar(block.bass, block.bars, where_, "bass"), firstRow);
    PlayPad(PerBar(block.pad, block.bars, where_, "pad"), firstRow);
    PlayArp(PerBar(block.arp, block.bars, where_, "arp"), firstRow);
    PlayMelody(block.lead, kLeadChannel, mix.lead, mix.leadPan, false, &lead_, firstRow, rows);
    PlayMelody(block.harmony, kHarmonyChannel, mix.harmony, mix.harmonyPan, true, &harmony_,
               firstRow, rows);
    PlayFx(PerBar(block.fx, block.bars, where_, "fx"), firstRow);
}

// Copies the notes and releases of one channel onto another, later and softer.
void Composer::AddEcho(int from, int to, int percent, int pan) {
    const int totalRows = int(grid_.size() / kMusicChannels);
    const int delay = song_.mix.echoRows;
    for (int row = 0; row + delay < totalRows; ++row) {
        const XmCell source = Cell(row, from);
        if (source.note == kXmNoNote)
            continue;
        XmCell& echo = Cell(row + delay, to);
        echo.note = source.note;
        if (source.note != kXmKeyOff) {
            echo.instrument = source.instrument;
            const int volume = source.volume ? source.volume - 0x10 : 64;
            echo.volume = XmVolume(int(detmath::RoundToInt(volume * percent / 100.0)));
            echo.effect = kXmEffectPanning;
            echo.param = uint8_t(pan);
        }
    }
}

ComposedSong Composer::Run() {
    if (song_.sections.empty() || song_.sections[0].blocks.empty())
        Fail("song", "there is nothing to play");
    int totalRows = song_.leadInRows;
    for (const song::Section& section : song_.sections)
        for (const Block& block : section.blocks) {
            where_ = std::string("block \"") + block.label + "\"";
            if (block.bars < 1 || block.bars * song::kRowsPerBar > 256)
                Fail(where_, "a block has 1..16 bars");
            TicksPerRow(block.bpm, where_);
            if (block.lastBeatBpm)
                TicksPerRow(block.lastBeatBpm, where_);
            totalRows += block.bars * song::kRowsPerBar;
        }
    if (song_.leadInRows < 1 || song_.leadInRows > 256)
        Fail("song", "the lead-in must be 1..256 rows");
    grid_.assign(size_t(totalRows) * kMusicChannels, XmCell{});

    ComposedSong result;
    const int firstTicks = TicksPerRow(song_.sections[0].blocks[0].bpm, where_);
    auto rowSeconds = [](int ticks) { return double(ticks) / song::kTicksPerSecond; };
    result.leadInSeconds = song_.leadInRows * rowSeconds(firstTicks);
    Cell(0, kKickChannel).effect = kXmEffectSpeedTempo;
    Cell(0, kKickChannel).param = uint8_t(firstTicks);

    // Lay out every block; remember where each begins.
    struct Span {
        int firstRow, rows;
    };
    std::vector<Span> spans = {{0, song_.leadInRows}};
    int row = song_.leadInRows;
    double seconds = result.leadInSeconds;
    for (const song::Section& section : song_.sections) {
        const double due = section.showSeconds + result.leadInSeconds;
        if (std::fabs(seconds - due) > 1e-6) {
            std::ostringstream what;
            what << "starts at " << seconds << " s of music, but its scene starts at " << due;
            Fail(std::string("section \"") + section.name + "\"", what.str());
        }
        result.sectionNames.push_back(section.name);
        result.sectionFirstOrder.push_back(int(spans.size()));
        result.sectionStartSeconds.push_back(seconds);
        for (const Block& block : section.blocks) {
            where_ = std::string("block \"") + block.label + "\"";
            PlayBlock(block, row);
            const int rows = block.bars * song::kRowsPerBar;
            spans.push_back({row, rows});
            row += rows;
            const int ticks = TicksPerRow(block.bpm, where_);
            if (block.lastBeatBpm)
                seconds +=
                    (rows - song::kRowsPerBar / 4) * rowSeconds(ticks) +
                    song::kRowsPerBar / 4 * rowSeconds(TicksPerRow(block.lastBeatBpm, where_));
            else
                seconds += rows * rowSeconds(ticks);
        }
    }
    const double end = song_.endShowSeconds + result.leadInSeconds;
    if (std::fabs(seconds - end) > 1e-6) {
        std::ostringstream what;
        what << "the music lasts " << seconds << " s, but the show ends at " << end;
        Fail("song", what.str());
    }
    result.seconds = seconds;

    const song::Mix& mix = song_.mix;
    AddEcho(kArpChannel, kArpEchoChannel, mix.arpEchoPercent, mix.arpEchoPan);
    AddEcho(kLeadChannel, kLeadEchoChannel, mix.leadEchoPercent, mix.leadEchoPan);

    // One pattern per block; a block identical to an earlier one reuses its pattern.
    XmModule& module = result.module;
    module.name = song_.title;
    module.channels = kMusicChannels;
    module.speed = firstTicks;
    module.bpm = song::kTrackerBpm;
    module.instruments = std::move(instruments_);
    for (const Span& span : spans) {
        XmPattern pattern(span.rows, kMusicChannels);
        std::copy(grid_.begin() + long(span.firstRow) * kMusicChannels,
                  grid_.begin() + long(span.firstRow + span.rows) * kMusicChannels,
                  pattern.cells.begin());
        auto same = std::find(module.patterns.begin(), module.patterns.end(), pattern);
        if (same == module.patterns.end()) {
            module.orders.push_back(int(module.patterns.size()));
            module.patterns.push_back(std::move(pattern));
        } else {
            module.orders.push_back(int(same - module.patterns.begin()));
        }
    }
    return result;
}

} // namespace

int ParsePitch(const std::string& text) {
    static const int kSemitone[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    if (text.size() < 2 || text.size() > 3 || text[0] < 'A' || text[0] > 'G')
        return -1;
    int semitone = kSemitone[text[0] - 'A'];
    size_t pos = 1;
    if (text[1] == '#' || text[1] == 'b') {
        semitone += text[1] == '#' ? 1 : -1;
        pos = 2;
    }
    if (pos + 1 != text.size() || text[pos] < '0' || text[pos] > '7')
        return -1;
    const int pitch = 12 * (text[pos] - '0') + semitone;
    return pitch >= 0 && pitch < 96 ? pitch : -1;
}

ComposedSong Compose(const song::Song& song, std::vector<XmInstrument> instruments) {
    if (instruments.size() != size_t(song::kInstrumentCount))
        FatalError("song: the instrument list does not match the song's instruments");
    return Composer(song, std::move(instruments)).Run();
}
