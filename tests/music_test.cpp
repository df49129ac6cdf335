// The show's music: the XM and WAV writers, the synthesiser, the composer and the finished
// "mirel.xm", checked through libopenmpt (and xmp where it is installed), the players the show
// relies on.
#include "base/process.h"
#include "mkdata/composer.h"
#include "mkdata/music.h"
#include "mkdata/synth.h"
#include "mkdata/wav_file.h"
#include "mkdata/xm_writer.h"
#include "process_capture.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>

namespace {

constexpr int kRate = 48000;

// The generated module and its one-pass render, made once for the whole suite.
const ComposedSong& Composed() {
    static const ComposedSong composed = ComposeMusic();
    return composed;
}
const std::vector<uint8_t>& MusicBytes() {
    static const std::vector<uint8_t> bytes = BuildMusicFile();
    return bytes;
}
const std::vector<float>& MusicPcm() {
    static const std::vector<float> pcm = RenderModule(MusicBytes(), kRate, nullptr);
    return pcm;
}

// Loads bytes into libopenmpt; everything the player logs goes to *log.
std::unique_ptr<openmpt::module> Load(const std::vector<uint8_t>& bytes, std::ostringstream* log) {
    return std::make_unique<openmpt::module>(bytes, *log);
}

// RMS level in dB of the stereo render between two times.
double LevelDb(const std::vector<float>& pcm, double from, double to) {
    size_t first = size_t(from * kRate) * 2, last = std::min(pcm.size(), size_t(to * kRate) * 2);
    double sum = 0;
    for (size_t i = first; i < last; ++i)
        sum += double(pcm[i]) * pcm[i];
    return 10.0 * std::log10(sum / double(std::max<size_t>(1, last - first)) + 1e-30);
}

// The fundamental of a steady tone, from the strongest autocorrelation lag in 180..380 Hz.
double FundamentalHz(const std::vector<float>& mono) {
    const int lowLag = kRate / 380, highLag = kRate / 180;
    const size_t span = mono.size() - size_t(highLag) - 2;
    auto correlation = [&](int lag) {
        double sum = 0;
        for (size_t i = 0; i < span; ++i)
            sum += double(mono[i]) * mono[i + size_t(lag)];
        return sum;
    };
    int best = lowLag;
    double bestValue = correlation(lowLag);
    for (int lag = lowLag + 1; lag <= highLag; ++lag)
        if (double value = correlation(lag); value > bestValue) {
            best = lag;
            bestValue = value;
        }
    // A parabola through the peak and its neighbours places it between samples.
    double left = correlation(best - 1), right = correlation(best + 1);
    double offset = 0.5 * (left - right) / (left - 2 * bestValue + right);
    return kRate / (best + offset);
}

// A small module: `channels` channels, one instrument per entry, one pattern per entry.
XmModule SmallModule(std::vector<XmInstrument> instruments, std::vector<XmPattern> patterns,
                     int channels) {
    XmModule module;
    module.name = "test";
    module.channels = channels;
    module.speed = 6;
    module.bpm = 125;
    module.instruments = std::move(instruments);
    module.patterns = std::move(patterns);
    for (size_t i = 0; i < module.patterns.size(); ++i)
        module.orders.push_back(int(i));
    return module;
}

XmInstrument TinyInstrument() {
    XmInstrument instrument;
    instrument.name = "tiny";
    instrument.sample.frames = {0, 1000, 2000, 1000, 0, -1000, -2000, -1000};
    instrument.sample.loop = XmLoop::Forward;
    instrument.sample.loopLength = 8;
    return instrument;
}

std::string FatalMessageOf(const std::function<void()>& body) {
    EXPECT_EQ(kFatalExitCode, ExitCodeOf(body));
    return LastFatalMessage();
}

} // namespace

// ---- The finished module ------------------------------------------------------------------

TEST(MusicFile, LoadsCleanlyWithTheCountsTheGeneratorMeant) {
    std::ostringstream log;
    auto module = Load(MusicBytes(), &log);
    EXPECT_EQ("", log.str());
    EXPECT_EQ("", module->get_metadata("warnings"));
    EXPECT_EQ("xm", module->get_metadata("type"));
    EXPECT_EQ("mkdata", module->get_metadata("tracker"));

    const XmModule& meant = Composed().module;
    EXPECT_EQ(14, module->get_num_channels());
    EXPECT_EQ(meant.channels, module->get_num_channels());
    EXPECT_EQ(int(meant.patterns.size()), module->get_num_patterns());
    EXPECT_EQ(int(meant.orders.size()), module->get_num_orders());
    EXPECT_EQ(song::kInstrumentCount, module->get_num_instruments());
    // One sample per instrument: a reader that lost its place in the file finds more.
    EXPECT_EQ(song::kInstrumentCount, module->get_num_samples());
}

TEST(MusicFile, LastsThreeMinutesAndSectionsStartWithTheirScenes) {
    std::ostringstream log;
    auto module = Load(MusicBytes(), &log);
    module->set_repeat_count(0);
    const double duration = module->get_duration_seconds();
    EXPECT_NEAR(180.0, duration, 3.0);
    EXPECT_NEAR(Composed().seconds, duration, 0.01);

    // The music starts before the show clock by the first scene's loading time.
    const std::vector<double> sceneStarts = {0, 35, 60, 75, 90, 122, 132};
    const ComposedSong& composed = Composed();
    ASSERT_EQ(sceneStarts.size(), composed.sectionFirstOrder.size());
    for (size_t i = 0; i < sceneStarts.size(); ++i) {
        const double at = module->set_position_order_row(composed.sectionFirstOrder[i], 0);
        EXPECT_NEAR(sceneStarts[i], at, 0.25) << composed.sectionNames[i];
        EXPECT_GE(at - sceneStarts[i], 0.05) << composed.sectionNames[i];
        EXPECT_LE(at - sceneStarts[i], 0.3) << composed.sectionNames[i];
        EXPECT_NEAR(composed.sectionStartSeconds[i], at, 0.001) << composed.sectionNames[i];
    }
    EXPECT_NEAR(180.0 + composed.leadInSeconds, duration, 0.01) << "ends with the end logo";
}

TEST(MusicFile, RendersWithoutClippingGapsOrFlatSections) {
    const std::vector<float>& pcm = MusicPcm();
    ASSERT_GT(pcm.size(), size_t(170 * kRate * 2));

    long clipped = 0;
    size_t silentRun = 0, longestSilentRun = 0;
    for (size_t frame = 0; frame < pcm.size() / 2; ++frame) {
        const float left = std::fabs(pcm[2 * frame]), right = std::fabs(pcm[2 * frame + 1]);
        clipped += (left >= 1.0f) + (right >= 1.0f);
        // Below -60 dB in both channels counts as silence.
        silentRun = left < 0.001f && right < 0.001f ? silentRun + 1 : 0;
        longestSilentRun = std::max(longestSilentRun, silentRun);
    }
    EXPECT_EQ(0, clipped);
    EXPECT_LT(double(longestSilentRun) / kRate, 2.0);

    // Every section is clearly audible; the first builds, the middle ones are the loudest, and
    // the farewell is quieter again.
    const ComposedSong& composed = Composed();
    std::vector<double> levels;
    for (size_t i = 0; i < composed.sectionStartSeconds.size(); ++i) {
        double end = i + 1 < composed.sectionStartSeconds.size()
                         ? composed.sectionStartSeconds[i + 1]
                         : composed.seconds;
        levels.push_back(LevelDb(pcm, composed.sectionStartSeconds[i], end));
        EXPECT_GT(levels.back(), -35.0) << composed.sectionNames[i];
    }
    for (size_t middle = 1; middle + 1 < levels.size(); ++middle) {
        EXPECT_GT(levels[middle], levels.front()) << composed.sectionNames[middle];
        EXPECT_GT(levels[middle], levels.back()) << composed.sectionNames[middle];
    }
    const double introStart = LevelDb(pcm, 0.1, 10.0), introEnd = LevelDb(pcm, 25.0, 35.0);
    EXPECT_GT(introEnd, introStart + 6.0) << "the first section builds";
}

TEST(MusicFile, IsTheSameBytesOnEveryRunAndOnDisk) {
    EXPECT_EQ(MusicBytes(), BuildMusicFile());

    TempWorkingDirectory folder;
    WriteMusic("data");
    const std::string written = ReadFileBytes("data/mirel.xm");
    EXPECT_EQ(std::string(MusicBytes().begin(), MusicBytes().end()), written);
}

TEST(MusicFile, LoadsInXmpToo) {
#ifdef _WIN32
    GTEST_SKIP() << "xmp is a Linux program";
#endif
    if (!std::filesystem::exists("/usr/bin/xmp"))
        GTEST_SKIP() << "xmp is not installed";
    TempWorkingDirectory folder;
    ASSERT_TRUE(WriteFileBytes("mirel.xm", std::string(MusicBytes().begin(), MusicBytes().end())));
    FILE* pipe = popen("/usr/bin/xmp --load-only -v mirel.xm 2>&1", "r");
    ASSERT_NE(nullptr, pipe);
    std::string output;
    char buffer[256];
    while (size_t got = fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, got);
    EXPECT_EQ(0, pclose(pipe)) << output;
    EXPECT_NE(std::string::npos, output.find("mkdata XM 1.04")) << output;
    EXPECT_NE(std::string::npos, output.find("Duration     : 3min00s")) << output;
    EXPECT_NE(std::string::npos, output.find("Samples      : 10")) << output;
    EXPECT_EQ(std::string::npos, output.find("rror")) << output;
}

// ---- The XM writer --------------------------------------------------------------------------

TEST(XmWriter, CellsPatternsAndInstrumentsReadBackInLibopenmpt) {
    constexpr int kChannels = 4;
    XmPattern first(64, kChannels), second(32, kChannels);
    first.At(0, 0, kChannels) = {49, 1, XmVolume(64), kXmEffectPanning, 0x40}; // every field
    first.At(0, 1, kChannels) = {58, 2}; // note and instrument
    first.At(1, 1, kChannels) = {kXmKeyOff};
    first.At(2, 2, kChannels) = {0, 0, XmVolume(32)};
    first.At(3, 3, kChannels) = {0, 0, 0, kXmEffectExtended, 0xC3};
    first.At(63, 3, kChannels) = {96, 2, 0, kXmEffectSpeedTempo, 3}; // B-7, speed 3
    second.At(31, 0, kChannels) = {1, 1};                            // C-0
    XmModule module = SmallModule({TinyInstrument(), TinyInstrument()}, {first, second}, kChannels);
    module.orders = {0, 1, 0};

    std::ostringstream log;
    auto player = Load(EncodeXm(module), &log);
    EXPECT_EQ("", log.str());
    ASSERT_EQ(kChannels, player->get_num_channels());
    EXPECT_EQ(2, player->get_num_patterns());
    EXPECT_EQ(3, player->get_num_orders());
    EXPECT_EQ(2, player->get_num_samples());
    EXPECT_EQ(64, player->get_pattern_num_rows(0));
    EXPECT_EQ(32, player->get_pattern_num_rows(1));

    // libopenmpt counts notes one octave higher than the file and shows key-off as 255.
    auto command = [&](int pattern, int row, int channel, int which) {
        return int(player->get_pattern_row_channel_command(pattern, row, channel, which));
    };
    EXPECT_EQ(49 + 12, command(0, 0, 0, openmpt::module::command_note));
    EXPECT_EQ(1, command(0, 0, 0, openmpt::module::command_instrument));
    EXPECT_EQ(64, command(0, 0, 0, openmpt::module::command_volume));
    EXPECT_EQ("840",
              player->format_pattern_row_channel_command(0, 0, 0, openmpt::module::command_effect) +
                  player->format_pattern_row_channel_command(0, 0, 0,
                                                             openmpt::module::command_parameter));
    EXPECT_EQ(58 + 12, command(0, 0, 1, openmpt::module::command_note));
    EXPECT_EQ(2, command(0, 0, 1, openmpt::module::command_instrument));
    EXPECT_EQ(255, command(0, 1, 1, openmpt::module::command_note));
    EXPECT_EQ(32, command(0, 2, 2, openmpt::module::command_volume));
    EXPECT_EQ(0, command(0, 2, 2, openmpt::module::command_note));
    EXPECT_EQ("EC3",
              player->format_pattern_row_channel_command(0, 3, 3, openmpt::module::command_effect) +
                  player->format_pattern_row_channel_command(0, 3, 3,
                                                             openmpt::module::command_parameter));
    EXPECT_EQ(96 + 12, command(0, 63, 3, openmpt::module::command_note));
    EXPECT_EQ(1 + 12, command(1, 31, 0, openmpt::module::command_note));
    for (int row = 4; row < 63; ++row)
        for (int channel = 0; channel < kChannels; ++channel)
            EXPECT_EQ(0, command(0, row, channel, openmpt::module::command_note));

    // 63 rows at speed 6 and BPM 125, one at speed 3, then 32 and 64 rows at speed 3.
    player->set_repeat_count(0);
    EXPECT_NEAR(63 * 0.12 + (1 + 32 + 64) * 0.06, player->get_duration_seconds(), 0.001);
}

TEST(XmWriter, SynthesisedInstrumentsPlayMiddleCAtC4) {
    for (XmInstrument (*make)() : {MakeLead, MakePad, MakeBass, MakePluck}) {
        XmInstrument instrument = make();
        const std::string name = instrument.name;
        XmPattern pattern(32, 2);
        pattern.At(0, 0, 2) = {49, 1}; // C-4
        std::vector<float> pcm =
            RenderModule(EncodeXm(SmallModule({instrument}, {pattern}, 2)), kRate, nullptr);
        // A steady stretch after the attack, mixed to mono.
        std::vector<float> mono;
        for (size_t frame = kRate / 2; frame < size_t(kRate) * 3 / 2; ++frame)
            mono.push_back(pcm[2 * frame] + pcm[2 * frame + 1]);
        const double hz = FundamentalHz(mono);
        EXPECT_NEAR(0.0, 1200.0 * std::log2(hz / 261.6256), 5.0) << name << " plays " << hz;
    }
}

TEST(XmWriter, RefusesModulesThatPlayersWouldMisread) {
    const XmModule good = SmallModule({TinyInstrument()}, {XmPattern(16, 2)}, 2);
    ASSERT_EQ(-1, ExitCodeOf([&] { EncodeXm(good); }));

    struct Case {
        const char* fault;
        std::function<void(XmModule&)> spoil;
    };
    const std::vector<Case> cases = {
        {"channel count", [](XmModule& m) { m.channels = 3; }},
        {"BPM", [](XmModule& m) { m.bpm = 300; }},
        {"speed", [](XmModule& m) { m.speed = 32; }},
        {"names no pattern",
         [](XmModule& m) {
             m.orders = {0, 1};
         }},
        {"restart", [](XmModule& m) { m.restart = 1; }},
        {"rows", [](XmModule& m) { m.patterns[0] = XmPattern(257, 2); }},
        {"cell count", [](XmModule& m) { m.patterns[0].cells.pop_back(); }},
        {"note value", [](XmModule& m) { m.patterns[0].cells[0].note = 98; }},
        {"instrument 2",
         [](XmModule& m) {
             m.patterns[0].cells[0] = {49, 2};
         }},
        {"volume column", [](XmModule& m) { m.patterns[0].cells[0].volume = 0x55; }},
        {"F00", [](XmModule& m) { m.patterns[0].cells[0].effect = kXmEffectSpeedTempo; }},
        {"loop", [](XmModule& m) { m.instruments[0].sample.loopStart = 4; }},
        {"finetune", [](XmModule& m) { m.instruments[0].sample.finetune = 100; }},
        {"empty", [](XmModule& m) { m.instruments[0].sample.frames.clear(); }},
        {"12 envelope points",
         [](XmModule& m) {
             for (uint16_t t = 0; t < 13; ++t)
                 m.instruments[0].volumeEnvelope.points.push_back({t, 64});
         }},
        {"ticks must increase",
         [](XmModule& m) {
             m.instruments[0].volumeEnvelope.points = {{0, 64}, {0, 32}};
         }},
        {"sustain",
         [](XmModule& m) {
             m.instruments[0].volumeEnvelope.points = {{0, 64}};
             m.instruments[0].volumeEnvelope.sustainPoint = 1;
         }},
    };
    for (const Case& c : cases) {
        XmModule spoiled = good;
        c.spoil(spoiled);
        const std::string message = FatalMessageOf([&] { EncodeXm(spoiled); });
        EXPECT_NE(std::string::npos, message.find(c.fault)) << c.fault << ": " << message;
    }
}

// ---- The synthesiser ------------------------------------------------------------------------

// Every byte of a small file, samples of both signs and both extremes among them; and a file
// that cannot be made is reported, not left half written.
TEST(WavFile, HeaderSaysSixteenBitStereoAndSamplesAreLittleEndian) {
    TempWorkingDirectory folder;
    ASSERT_TRUE(WriteWav("a.wav", {1, -2, 0x1234, -32768, 32767, 0}, kRate));
    const char expected[] = "RIFF\x30\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x80\xBB\0\0"
                            "\0\xEE\x02\0\x04\0\x10\0data\x0C\0\0\0"
                            "\x01\0\xFE\xFF\x34\x12\0\x80\xFF\x7F\0\0";
    EXPECT_EQ(ReadFileBytes("a.wav"), std::string(expected, sizeof expected - 1));
    EXPECT_FALSE(WriteWav("no such folder/a.wav", {1, 2}, kRate));
}

TEST(Synth, LoopsJoinWithoutAStepAndSamplesCarryNoDC) {
    for (XmInstrument (*make)() : {MakeLead, MakePad, MakeBass, MakePluck}) {
        const XmSample sample = make().sample;
        ASSERT_EQ(XmLoop::Forward, sample.loop) << sample.name;
        const int start = sample.loopStart, end = sample.loopStart + sample.loopLength;
        ASSERT_EQ(size_t(end), sample.frames.size()) << sample.name;
        int largestStep = 0;
        double sum = 0;
        for (int i = start; i < end; ++i) {
            sum += sample.frames[size_t(i)];
            if (i > start)
                largestStep = std::max(
                    largestStep, std::abs(sample.frames[size_t(i)] - sample.frames[size_t(i - 1)]));
        }
        // From the last frame the player wraps to the loop start: that step must be ordinary.
        const int wrapStep =
            std::abs(sample.frames[size_t(start)] - sample.frames[size_t(end - 1)]);
        EXPECT_LE(wrapStep, largestStep) << sample.name;
        EXPECT_LT(std::fabs(sum / (end - start)), 30.0) << sample.name << " has DC";
    }
    for (XmInstrument (*make)() :
         {MakeKick, MakeSnare, MakeClosedHat, MakeOpenHat, MakeCrash, MakeSweep}) {
        const XmSample sample = make().sample;
        EXPECT_EQ(XmLoop::None, sample.loop) << sample.name;
        EXPECT_LT(std::abs(sample.frames.front()), 300) << sample.name << " starts with a click";
        EXPECT_EQ(0, sample.frames.back()) << sample.name << " ends with a click";
        double sum = 0;
        for (int16_t x : sample.frames)
            sum += x;
        EXPECT_LT(std::fabs(sum / double(sample.frames.size())), 200.0) << sample.name;
    }
}

// ---- The composer ---------------------------------------------------------------------------

namespace {

std::vector<XmInstrument> DummyInstruments() {
    return std::vector<XmInstrument>(size_t(song::kInstrumentCount), TinyInstrument());
}

// A one-section song of one four-bar block at 120 BPM (a bar lasts 2 s).
song::Song TinySong() {
    song::Song tiny = song::Mirel();
    tiny.leadInRows = 1;
    tiny.endShowSeconds = 8.0;
    tiny.melodies = {{"tune", "A4 . . . . . . . . . . . . . . . | "
                              ".  . . . . . . . C5 . . . - . . . | "
                              "E5 . . . . . . . . . . . . . . . | "
                              ".  . . . . . . . . . . . . . . -"}};
    song::Block block{"tiny", 4, 120, 0, "Am F C G", "four", "long", "hold", ".", "tune", "", "."};
    tiny.sections = {{"only", 0.0, {block}}};
    return tiny;
}

// `bars` bars of a melody: `first` on the first row, the rest held.
std::string Bars(const std::string& first, int bars) {
    std::string text = first;
    for (int row = 1; row < bars * song::kRowsPerBar; ++row)
        text += row % song::kRowsPerBar ? " ." : " | .";
    return text;
}

const XmCell& CellOf(const ComposedSong& song, int order, int row, int channel) {
    return song.module.patterns[size_t(song.module.orders[size_t(order)])].At(row, channel,
                                                                              kMusicChannels);
}

} // namespace

TEST(Composer, LaysPartsOnTheirChannelsWithEchoesAndReleases) {
    const ComposedSong composed = Compose(TinySong(), DummyInstruments());
    ASSERT_EQ(2u, composed.module.orders.size()); // lead-in row, then the block
    EXPECT_NEAR(0.125, composed.leadInSeconds, 1e-9);
    EXPECT_NEAR(8.125, composed.seconds, 1e-9);

    // The block's tempo on its first row: 6 ticks a row at tracker BPM 120.
    EXPECT_EQ(kXmEffectSpeedTempo, CellOf(composed, 1, 0, 0).effect);
    EXPECT_EQ(6, CellOf(composed, 1, 0, 0).param);
    EXPECT_EQ(kXmEffectSpeedTempo, CellOf(composed, 1, 0, 1).effect);
    EXPECT_EQ(120, CellOf(composed, 1, 0, 1).param);
    // Kicks on the beats, snare on beats two and four.
    EXPECT_EQ(49, CellOf(composed, 1, 4, 0).note);
    EXPECT_EQ(song::kSnare, CellOf(composed, 1, 4, 1).instrument);
    // The bass plays each bar's root in its low octave: A1, then F1.
    EXPECT_EQ(ParsePitch("A1") + 1, CellOf(composed, 1, 0, 3).note);
    EXPECT_EQ(ParsePitch("F1") + 1, CellOf(composed, 1, 16, 3).note);
    // The pad holds the four notes of Am: A, C, E and a doubled root.
    std::vector<int> classes;
    for (int voice = 0; voice < 4; ++voice)
        classes.push_back((CellOf(composed, 1, 0, 4 + voice).note - 1) % 12);
    std::sort(classes.begin(), classes.end());
    EXPECT_EQ((std::vector<int>{0, 4, 9, 9}), classes);
    // The lead, its release, and its echo three rows later and softer.
    const XmCell& lead = CellOf(composed, 1, 0, 10);
    EXPECT_EQ(ParsePitch("A4") + 1, lead.note);
    EXPECT_EQ(song::kLead, lead.instrument);
    EXPECT_EQ(kXmKeyOff, CellOf(composed, 1, 28, 10).note);
    const XmCell& echo = CellOf(composed, 1, 3, 11);
    EXPECT_EQ(lead.note, echo.note);
    EXPECT_LT(echo.volume, lead.volume);
    EXPECT_EQ(kXmKeyOff, CellOf(composed, 1, 31, 11).note);
    // A held note goes on through bar 2 with no new cell.
    EXPECT_TRUE(CellOf(composed, 1, 16, 10).IsEmpty());
}

TEST(Composer, FollowsChordChangesHarmonisesAndTransposes) {
    song::Song song = TinySong();
    song.melodies = {{"line", "E5 . . . . . . . B4 . . . . . . -"}};
    song::Block home{"home", 1, 120, 0, "Am,E", ".", "long", "hold", ".", "line", "line", "."};
    song::Block up = home;
    up.label = "up";
    up.transpose = 2;
    song.sections[0].blocks = {home, up};
    song.endShowSeconds = 4.0;
    const ComposedSong composed = Compose(song, DummyInstruments());

    // The harmony takes the next chord note below the melody: C under E over Am, G# under B
    // over E.
    EXPECT_EQ(ParsePitch("C5") + 1, CellOf(composed, 1, 0, 12).note);
    EXPECT_EQ(ParsePitch("G#4") + 1, CellOf(composed, 1, 8, 12).note);
    // Half way through the bar the pad moves to E major, keeping the note the chords share.
    std::vector<int> classes;
    int held = 0;
    for (int voice = 0; voice < 4; ++voice) {
        const XmCell& change = CellOf(composed, 1, 8, 4 + voice);
        held += change.note == 0;
        const int note = change.note ? change.note : CellOf(composed, 1, 0, 4 + voice).note;
        classes.push_back((note - 1) % 12);
    }
    std::sort(classes.begin(), classes.end());
    EXPECT_EQ((std::vector<int>{4, 4, 8, 11}), classes);
    EXPECT_GE(held, 1);
    // A tone higher, everything moves: bass, melody and harmony.
    EXPECT_EQ(ParsePitch("A1") + 1, CellOf(composed, 1, 0, 3).note);
    EXPECT_EQ(ParsePitch("B1") + 1, CellOf(composed, 2, 0, 3).note);
    EXPECT_EQ(ParsePitch("F#5") + 1, CellOf(composed, 2, 0, 10).note);
    EXPECT_EQ(ParsePitch("D5") + 1, CellOf(composed, 2, 0, 12).note);
}

TEST(Composer, RepeatedBlocksShareOnePattern) {
    song::Song twice = TinySong();
    song::Block drums{"drums", 1, 120, 0, "Am", "four", ".", ".", ".", "", "", "."};
    twice.sections[0].blocks = {drums, drums, drums, drums};
    const ComposedSong composed = Compose(twice, DummyInstruments());
    EXPECT_EQ((std::vector<int>{0, 1, 1, 1, 1}), composed.module.orders);
    EXPECT_EQ(2u, composed.module.patterns.size());
}

TEST(Composer, NamesTheFaultInTheSongData) {
    struct Case {
        const char* fault;
        std::function<void(song::Song&)> spoil;
    };
    const std::vector<Case> cases = {
        {"bar 1 has 15 rows",
         [](song::Song& s) {
             static const std::string notes =
                 Bars("A4", 1) + " | C5" + " . . . . . . . . . . . . . .";
             s.melodies[0].notes = notes.c_str();
         }},
        {"\"H4\", which is not a note",
         [](song::Song& s) {
             static const std::string notes = Bars("H4", 4);
             s.melodies[0].notes = notes.c_str();
         }},
        {"no drum bar named \"funk\"",
         [](song::Song& s) { s.sections[0].blocks[0].drums = "funk"; }},
        {"\"Hm\" is not a chord", [](song::Song& s) { s.sections[0].blocks[0].chords = "Hm"; }},
        {"chords has 3 entries for 4 bars",
         [](song::Song& s) { s.sections[0].blocks[0].chords = "Am F C"; }},
        {"must be 0..64", [](song::Song& s) { s.sections[0].blocks[0].pad = "hold@80"; }},
        {"shorter than the block", [](song::Song& s) { s.sections[0].blocks[0].lead = "tune:2"; }},
        {"but the show ends at", [](song::Song& s) { s.endShowSeconds = 7.0; }},
        {"tempo 150 is not 720 / n", [](song::Song& s) { s.sections[0].blocks[0].bpm = 150; }},
        {"but its scene starts at",
         [](song::Song& s) {
             s.sections.push_back({"late", 6.0, {s.sections[0].blocks[0]}});
             s.endShowSeconds = 16.0;
         }},
    };
    for (const Case& c : cases) {
        song::Song spoiled = TinySong();
        c.spoil(spoiled);
        const std::string message = FatalMessageOf([&] { Compose(spoiled, DummyInstruments()); });
        EXPECT_NE(std::string::npos, message.find(c.fault)) << c.fault << ": " << message;
    }
}

TEST(Composer, ReadsNoteNames) {
    EXPECT_EQ(57, ParsePitch("A4"));
    EXPECT_EQ(61, ParsePitch("C#5"));
    EXPECT_EQ(46, ParsePitch("Bb3"));
    EXPECT_EQ(0, ParsePitch("C0"));
    EXPECT_EQ(-1, ParsePitch("Cb0"));
    EXPECT_EQ(-1, ParsePitch("H4"));
    EXPECT_EQ(-1, ParsePitch("C8"));
    EXPECT_EQ(-1, ParsePitch("C#"));
    EXPECT_EQ(-1, ParsePitch("A44"));
}
