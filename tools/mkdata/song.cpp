// The music of the show: an A-minor piece at 144 beats a minute, in seven sections that follow
// the seven parts of the show. It builds under the particles, states its theme with the mesh,
// soars through the three ray-cast scenes, lifts a tone higher for the rotozoom and says
// goodbye under the end logo, closing on one held chord.
//
// Timing: at 144 BPM a bar lasts 1 2/3 s, so the scene changes at 35, 60, 75 and 90 s fall on
// bar lines. 90 s to 122 s is 19.2 bars: the section has 19 bars, and the last beat before the
// climax slows to 80 BPM, which adds the missing third of a second. 122 to 132 s is six bars.
// The end logo gets 27 bars and a final bar at 80 BPM (45 s + 3 s). The whole song is one row
// (0.104 s) ahead of the show clock: the time the first scene takes to load.
#include "mkdata/song.h"

namespace song {

namespace {

// clang-format off
const std::vector<DrumBar> kDrumBars = {
    // name       kick                 snare                hat
    {"kick",    "x... x... x... x...", ".... .... .... ....", ".... .... .... ...."},
    {"kickhat", "x... x... x... x...", ".... .... .... ....", "..c. ..c. ..c. ..c."},
    {"four",    "x... x... x... x...", ".... x... .... x...", "..c. ..c. ..c. ..c."},
    {"drive",   "x... x... x... x...", ".... x... .... x...", "c.o. c.o. c.o. c.oc"},
    {"drive2",  "x... x... x... x...", ".... x..g .... x.g.", "ccoc ccoc ccoc ccoC"},
    {"fill",    "x... x... x... x...", ".... x... .... 6789", "c.o. c.o. c.o. ...."},
    {"roll",    "x... .... .... ....", "3.4. 5.6. 7778 8899", ".... .... .... ...."},
    {"half",    "x... .... ..x. ....", ".... .... x... ....", "c.c. c.c. c.c. c.c."},
    {"break",   "x... .... .... ....", ".... .... .... 5.7.", ".... .... .... ...."},
    {"hats",    ".... .... .... ....", ".... .... .... ....", "..c. ..c. ..c. ..c."},
    {"finale",  "x... .... .... ....", ".... .... .... ....", ".... .... .... ...."},
};

const std::vector<Rhythm> kBassRhythms = {
    {"off8",     "-.r. -.r. -.r. -.r."}, // on the off-beats, out of the kick's way
    {"roll",     "-rro -rro -rro -rro"}, // rolling sixteenths between the kicks
    {"long",     "r... .... .... ...."},
    {"half",     "r... .... r... ...."},
    {"end",      "r... ..-. .... ...."},
};

const std::vector<Rhythm> kPadRhythms = {
    {"hold",     "x... .... .... ...."},
    {"end",      "x... ..-. .... ...."},
};

const std::vector<Rhythm> kArpPatterns = {
    {"up16",     "0123 0123 0123 0123"},
    {"updown16", "0123 4321 0123 4321"},
    {"wide16",   "0245 0245 0245 0245"},
};

const std::vector<Melody> kMelodies = {
    // The main theme, over Am F C G Am F C G.
    {"themeA", "E5 .  .  D5 .  .  E5 .  A5 .  .  G5 .  .  E5 .  | "
               "F5 .  .  .  .  .  E5 .  C5 .  .  .  A4 .  C5 .  | "
               "E5 .  .  D5 .  .  E5 .  G5 .  .  E5 .  .  C5 .  | "
               "D5 .  .  .  .  .  .  .  .  .  .  .  B4 .  D5 .  | "
               "E5 .  .  D5 .  .  E5 .  A5 .  .  G5 .  .  A5 .  | "
               "C6 .  .  .  .  .  A5 .  F5 .  .  .  A5 .  C6 .  | "
               "E6 .  .  D6 .  .  C6 .  G5 .  .  .  E5 .  G5 .  | "
               "B5 .  .  .  .  .  .  .  D6 .  .  .  .  .  -  .  "},
    // Its second half, over Am F C G F G, and a bar on E that turns back home.
    {"themeA2", "E5 .  .  D5 .  .  E5 .  A5 .  .  G5 .  .  E5 .  | "
                "F5 .  .  .  .  .  E5 .  C5 .  .  .  A4 .  C5 .  | "
                "E5 .  .  D5 .  .  E5 .  G5 .  .  A5 .  .  B5 .  | "
                "D6 .  .  .  .  .  .  .  B5 .  .  .  .  .  .  .  | "
                "C6 .  .  .  .  .  A5 .  F5 .  .  .  A5 .  C6 .  | "
                "B5 .  .  .  .  .  .  .  .  .  .  .  .  .  .  .  | "
                ".  .  .  .  .  .  .  .  G#5 . .  .  B5 .  -  .  "},
    // The broad second theme, over F G Em Am F G Em E, resolving on Am.
    {"themeB", "C6 .  .  .  .  .  .  .  A5 .  .  .  C6 .  .  .  | "
               "D6 .  .  .  .  .  .  .  B5 .  .  .  G5 .  .  .  | "
               "E6 .  .  .  .  .  D6 .  B5 .  .  .  .  .  .  .  | "
               "C6 .  .  .  B5 .  .  .  A5 .  .  .  .  .  -  .  | "
               "C6 .  .  .  .  .  .  .  A5 .  .  .  C6 .  F6 .  | "
               "D6 .  .  .  .  .  .  .  E6 .  .  .  D6 .  B5 .  | "
               "E6 .  .  .  .  .  G6 .  .  .  E6 .  .  .  B5 .  | "
               "G#5 . .  .  .  .  .  .  B5 .  .  .  .  .  .  .  | "
               "A5 .  .  .  .  .  .  .  .  .  .  .  -  .  .  .  "},
    // A slow song over Dm Am F C Dm Am F E, for the half-time section and the farewell.
    {"themeC", "F5 .  .  .  .  .  .  .  .  .  .  .  A5 .  .  .  | "
               "E5 .  .  .  .  .  .  .  C5 .  .  .  E5 .  .  .  | "
               "F5 .  .  .  .  .  .  .  A5 .  .  .  C6 .  .  .  | "
               "G5 .  .  .  .  .  .  .  .  .  .  .  E5 .  .  .  | "
               "F5 .  .  .  .  .  .  .  D5 .  .  .  F5 .  .  .  | "
               "E5 .  .  .  .  .  .  .  A5 .  .  .  C6 .  .  .  | "
               "A5 .  .  .  .  .  .  .  G5 .  .  .  F5 .  .  .  | "
               "E5 .  .  .  .  .  .  .  .  .  .  .  G#5 . .  .  | "
               "B5 .  .  .  .  .  .  .  .  .  .  .  .  .  -  .  "},
    // Three rising notes over F G A, carrying the song up a tone.
    {"lift", "A5 .  .  .  .  .  .  .  .  .  .  .  .  .  .  .  | "
             "B5 .  .  .  .  .  .  .  .  .  .  .  .  .  .  .  | "
             "C#6 . .  .  .  .  .  .  E6 .  .  .  .  .  .  .  "},
    // The main theme remembered in long notes.
    {"outro", "E5 .  .  .  .  .  .  .  A5 .  .  .  .  .  .  .  | "
              "C6 .  .  .  .  .  .  .  .  .  .  .  A5 .  .  .  | "
              "G5 .  .  .  .  .  .  .  E5 .  .  .  .  .  .  .  | "
              "D5 .  .  .  .  .  .  .  .  .  .  .  -  .  .  .  | "
              "E5 .  .  .  .  .  .  .  A5 .  .  .  .  .  .  .  | "
              "C6 .  .  .  .  .  .  .  .  .  .  .  D6 .  .  .  | "
              "E6 .  .  .  .  .  .  .  D6 .  .  .  C6 .  .  .  | "
              "B5 .  .  .  .  .  .  .  .  .  .  .  -  .  .  .  "},
    {"cadence", "A5 .  .  .  .  .  .  .  .  .  .  .  C6 .  .  .  | "
                "B5 .  .  .  .  .  .  .  .  .  .  .  D6 .  .  .  | "
                "E6 .  .  .  .  .  .  .  D6 .  .  .  B5 .  .  .  "},
    {"final", "A5 .  .  .  .  .  .  .  -  .  .  .  .  .  .  .  "},
};

const std::vector<Section> kSections = {
    {"awakening", 0.0, {
        // label                 bars bpm key chords               drums      bass     pad
        //                       arp                                lead         harmony  fx
        {"pads alone",              4, 144, 0, "Am F C G",          ".",       ".",     "hold@11 hold@14 hold@17 hold@20",
                                 ".",                               "",          "",      "crash@18 . . ."},
        {"the arpeggio wakes",      4, 144, 0, "Am F C G",          ".",       ".",     "hold@21",
                                 "up16@12 up16@16 up16@20 up16@24", "",          "",      "."},
        {"the beat comes in",       8, 144, 0, "Am F C G Am F C G", "kickhat@48", "off8@36", "hold",
                                 "up16",                            "",          "",      "crash . . . . . . ."},
        {"build",                   4, 144, 0, "F G Am G",          "four@54", "off8@42", "hold",
                                 "updown16",                        "",          "",      ". . . sweep"},
        {"drum roll",               1, 144, 0, "E",                 "roll",    "long",  "hold",
                                 "updown16",                        "",          "",      "."},
    }},
    {"theme", 35.0, {
        {"theme A",                 8, 144, 0, "Am F C G Am F C G", "drive",   "roll",  "hold",
                                 "up16",                            "themeA",    "",      "crash . . . crash . . ."},
        {"theme A, second half",    6, 144, 0, "Am F C G F G",      "drive",   "roll",  "hold",
                                 "up16",                            "themeA2",   "",      "crash . . . . ."},
        {"turnaround",              1, 144, 0, "E",                 "fill",    "roll",  "hold",
                                 "up16",                            "themeA2:6", "",      "."},
    }},
    {"second theme", 60.0, {
        {"theme B",                 8, 144, 0, "F G Em Am F G Em E", "drive2", "roll",  "hold",
                                 "updown16",                        "themeB",    "",      "crash . . . crash . . ."},
        {"a breath",                1, 144, 0, "Am",                "break",   "long",  "hold",
                                 ".",                               "themeB:8",  "",      "."},
    }},
    {"half time", 75.0, {
        {"slow song",               8, 144, 0, "Dm Am F C Dm Am F E", "half",  "half",  "hold",
                                 "wide16",                          "themeC",    "",      "crash . . . . . . sweep"},
        {"rising",                  1, 144, 0, "E",                 "roll",    "long",  "hold",
                                 "wide16",                          "themeC:8",  "",      "."},
    }},
    {"flight", 90.0, {
        {"theme A, full",           8, 144, 0, "Am F C G Am F C G", "drive",   "roll",  "hold",
                                 "up16",                            "themeA",    "themeA", "crash . . . crash . . ."},
        {"theme B, full",           8, 144, 0, "F G Em Am F G Em E", "drive2", "roll",  "hold",
                                 "updown16",                        "themeB",    "themeB", "crash . . . crash . . ."},
        {"lift",                    3, 144, 0, "F G A",             ". . roll", "long", "hold",
                                 "up16@16",                         "lift",      "lift",   ". sweep .",
                                                                                                  80},
    }},
    {"climax", 122.0, {
        {"theme A, a tone higher",  6, 144, 2, "Am F C G F G",      "drive2",  "roll",  "hold",
                                 "up16",                            "themeA2",   "themeA2", "crash . . . crash ."},
    }},
    {"farewell", 132.0, {
        {"afterglow",               8, 144, 2, "Am F C G Am F C G", "kickhat", "off8",  "hold",
                                 "up16",                            "",          "",      "crash . . . . . . ."},
        {"memory",                  8, 144, 2, "Dm Am F C Dm Am F E", "hats",  "long",  "hold",
                                 "wide16@20",                       "themeC@36", "",      "."},
        {"last light",              8, 144, 2, "Am F C G Am F C G", ".",       "long@30", "hold",
                                 "up16@16 up16@15 up16@14 up16@13 up16@12 up16@11 up16@10 up16@9",
                                                                    "outro@36",  "",      "."},
        {"cadence",                 3, 144, 2, "F G Esus4,E",       ".",       "long@32", "hold",
                                 ".",                               "cadence@36", "",     "."},
        {"the last chord",          1,  80, 2, "Amadd9",            "finale",  "end",   "end",
                                 ".",                               "final@36",  "",      "crash@30"},
    }},
};
// clang-format on

const Mix kMix = {
    /*kick*/ 50,
    /*snare*/ 52,
    /*hat*/ 34,
    /*bass*/ 48,
    /*pad*/ 16,
    /*arp*/ 30,
    /*lead*/ 56,
    /*harmony*/ 30,
    /*crash*/ 34,
    /*sweep*/ 30,
    /*arpEchoPercent*/ 45,
    /*leadEchoPercent*/ 35,
    /*echoRows*/ 3,
    /*padPan*/ {80, 112, 144, 176},
    /*arpPan*/ 96,
    /*arpEchoPan*/ 176,
    /*leadPan*/ 124,
    /*leadEchoPan*/ 64,
    /*harmonyPan*/ 168,
};

} // namespace

const Song& Mirel() {
    static const Song song = {"mirel",   "A B C D E F G", 1,           180.0,        kMix,
                              kDrumBars, kBassRhythms,    kPadRhythms, kArpPatterns, kMelodies,
                              kSections};
    return song;
}

} // namespace song
