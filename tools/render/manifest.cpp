#include "render/manifest.h"

#include "scenes/scenes.h"

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace render {
namespace {

constexpr size_t kReportedDifferences = 10;

bool ParseHash(const std::string& text, uint64_t* hash) {
    if (text.size() != 16 || text.find_first_not_of("0123456789abcdef") != std::string::npos)
        return false;
    *hash = std::stoull(text, nullptr, 16);
    return true;
}

std::string Hex(uint64_t hash) {
    char text[17];
    std::snprintf(text, sizeof(text), "%016" PRIx64, hash);
    return text;
}

bool ParseLine(const std::string& line, Manifest* manifest) {
    std::istringstream fields(line);
    std::string first, hash, rest;
    if (line.compare(0, 6, "music ") == 0) {
        MusicHashLine& music = manifest->music;
        fields >> first >> music.sampleRate >> music.channels >> music.sampleFrames >> hash;
        if (!fields || (fields >> rest) || manifest->hasMusic || !ParseHash(hash, &music.hash))
            return false;
        manifest->hasMusic = true;
        return true;
    }
    FrameHashLine frame;
    fields >> frame.frame >> frame.seconds >> hash;
    if (!fields || (fields >> rest) || frame.frame < 0 || !ParseHash(hash, &frame.hash))
        return false;
    if (!manifest->frames.empty() && frame.frame <= manifest->frames.back().frame)
        return false; // frames come in increasing order
    manifest->frames.push_back(frame);
    return true;
}

} // namespace

std::string ManifestText(const Manifest& manifest) {
    std::string text =
        "# Every frame of the show and its music, written by demo-render --hashes.\n"
        "# FRAME SECONDS HASH: the frame's number, the scene clock it was drawn at, and XXH64 of\n"
        "# its 512 x 256 pixels as blue, green, red bytes, top row first.\n"
        "# music RATE CHANNELS SAMPLE-FRAMES HASH: XXH64 of the 16-bit little-endian samples.\n";
    char line[96];
    for (const FrameHashLine& frame : manifest.frames) {
        std::snprintf(line, sizeof(line), "%ld %.6f %s\n", frame.frame, frame.seconds,
                      Hex(frame.hash).c_str());
        text += line;
    }
    if (manifest.hasMusic) {
        const MusicHashLine& music = manifest.music;
        std::snprintf(line, sizeof(line), "music %d %d %lld %s\n", music.sampleRate, music.channels,
                      music.sampleFrames, Hex(music.hash).c_str());
        text += line;
    }
    return text;
}

bool ReadManifest(const std::string& path, Manifest* manifest, std::string* error) {
    std::ifstream file(path);
    if (!file) {
        *error = "cannot read the manifest " + path;
        return false;
    }
    *manifest = Manifest();
    std::string line;
    for (long number = 1; std::getline(file, line); number++) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back(); // a copy that went through a Windows editor
        if (line.empty() || line[0] == '#')
            continue;
        if (!ParseLine(line, manifest)) {
            *error = path + ":" + std::to_string(number) + ": not a manifest line: " + line;
            return false;
        }
    }
    return true;
}

ManifestComparison CompareManifests(const Manifest& expected, const Manifest& build, double from,
                                    double to) {
    ManifestComparison result;
    result.differPerPart.assign(kShowPartCount, 0);
    auto differs = [&](const FrameHashLine& want, bool present, uint64_t hash) {
        result.differPerPart[ShowPartOf(want.seconds)]++;
        if (result.firstDiffering.size() < kReportedDifferences)
            result.firstDiffering.push_back({want, present, hash});
    };
    // Both lists are in increasing frame order: one walk through both.
    size_t b = 0;
    for (const FrameHashLine& want : expected.frames) {
        while (b < build.frames.size() && build.frames[b].frame < want.frame) {
            result.unexpected++;
            ++b;
        }
        const bool inRange = want.seconds >= from && want.seconds < to;
        if (b < build.frames.size() && build.frames[b].frame == want.frame) {
            const FrameHashLine& got = build.frames[b++];
            result.compared++;
            if (got.hash == want.hash)
                result.equal++;
            else
                differs(want, true, got.hash);
        } else if (inRange) {
            result.missing++;
            differs(want, false, 0);
        }
    }
    result.unexpected += static_cast<long>(build.frames.size() - b);

    if (expected.hasMusic && build.hasMusic &&
        expected.music.sampleFrames == build.music.sampleFrames &&
        expected.music.sampleRate == build.music.sampleRate &&
        expected.music.channels == build.music.channels)
        result.music = expected.music.hash == build.music.hash
                           ? ManifestComparison::Music::kEqual
                           : ManifestComparison::Music::kDiffers;
    return result;
}

std::string DescribeComparison(const ManifestComparison& comparison) {
    std::string text;
    char line[160];
    if (!comparison.firstDiffering.empty()) {
        text += "first differing frames (frame, seconds, scene: expected, this build):\n";
        for (const ManifestComparison::Difference& difference : comparison.firstDiffering) {
            const FrameHashLine& want = difference.expected;
            std::snprintf(line, sizeof(line), "  %6ld %11.6f  %-20s %s  %s\n", want.frame,
                          want.seconds, kShowParts[ShowPartOf(want.seconds)].name,
                          Hex(want.hash).c_str(),
                          difference.present ? Hex(difference.hash).c_str() : "missing");
            text += line;
        }
        text += "differing frames per scene:\n";
        for (int part = 0; part < kShowPartCount; part++)
            if (comparison.differPerPart[part] > 0) {
                std::snprintf(line, sizeof(line), "  %-20s %ld\n", kShowParts[part].name,
                              comparison.differPerPart[part]);
                text += line;
            }
    }
    if (comparison.missing > 0)
        text += "frames missing from this build's manifest: " + std::to_string(comparison.missing) +
                "\n";
    if (comparison.unexpected > 0)
        text += "frames in this build's manifest that the expected one does not have: " +
                std::to_string(comparison.unexpected) + "\n";
    const char* music = comparison.music == ManifestComparison::Music::kEqual     ? "equal"
                        : comparison.music == ManifestComparison::Music::kDiffers ? "differs"
                                                                                  : "not compared";
    std::snprintf(line, sizeof(line), "manifest: %ld frames compared, %ld equal; music %s\n",
                  comparison.compared, comparison.equal, music);
    text += line;
    return text;
}

} // namespace render
