// The show's manifest: one line per frame with its hash, and one line for the music.
//
// It states what every build of the show must present, frame by frame, and is checked against
// every build (tests/golden/show.frames). The text format, one record per line:
//
//     # comment lines start with '#'
//     FRAME SECONDS HASH       a picture: its number from 0, the scene clock when it was drawn
//                              (FRAME / fps, 6 decimals), the 16 hex digits of its hash
//     music RATE CHANNELS SAMPLE-FRAMES HASH
//                              the music rendered with those frames: samples per second,
//                              channels, samples per channel, the 16 hex digits of its hash
//
// The hashes are defined in base/framehash.h (XXH64 of the frame's blue, green and red bytes,
// top row first; XXH64 of the music's 16-bit little-endian samples).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace render {

struct FrameHashLine {
    long frame = 0;
    double seconds = 0.0;
    uint64_t hash = 0;
};

struct MusicHashLine {
    int sampleRate = 0;
    int channels = 0;
    long long sampleFrames = 0;
    uint64_t hash = 0;
};

struct Manifest {
    std::vector<FrameHashLine> frames; // in increasing frame order
    bool hasMusic = false;
    MusicHashLine music;
};

// The manifest as text: a header of comments, then the lines.
std::string ManifestText(const Manifest& manifest);

// Reads a manifest file. False with a message naming the file and line when it cannot be read
// or a line is not understood.
bool ReadManifest(const std::string& path, Manifest* manifest, std::string* error);

// What a build's manifest shows against the expected one.
struct ManifestComparison {
    long compared = 0;               // picture lines in both
    long equal = 0;                  // of those, equal
    long missing = 0;                // expected in the range, absent from the build's
    long unexpected = 0;             // in the build's, absent from the expected
    std::vector<long> differPerPart; // differing or missing frames per part of the show
    struct Difference {
        FrameHashLine expected;
        bool present;  // whether the build's manifest has the frame
        uint64_t hash; // the build's hash, when present
    };
    std::vector<Difference> firstDiffering;
    enum class Music { kEqual, kDiffers, kNotCompared } music = Music::kNotCompared;
    bool PicturesEqual() const { return equal == compared && missing == 0 && unexpected == 0; }
};

// Compares the picture lines of `build` with those of `expected` whose time lies in
// [from, to), and the music lines when both cover the same samples.
ManifestComparison CompareManifests(const Manifest& expected, const Manifest& build, double from,
                                    double to);

// A report for people: on a difference, the first differing frames with their scene and time,
// and how many frames differ in each scene; then one summary line,
// "manifest: N frames compared, M equal; music equal|differs|not compared".
std::string DescribeComparison(const ManifestComparison& comparison);

} // namespace render
