// demo-render: the show on the headless back end, captured to video or frames, or timed.
//
// The show runs exactly as the program plays it (WinMain, the six scenes, the shell), with the
// virtual clock advancing one frame period per presented frame, so every run gives the same
// pictures. The music is rendered by libopenmpt in step with the frames: exactly
// sampleRate / fps samples per frame (spread evenly when that is not a whole number), from the
// moment the show starts the module.
#pragma once

#include "base/cpu.h"
#include "render/capture.h"

#include <string>
#include <vector>

namespace render {

struct KeyPress {
    long frame;          // pressed when this many frames have been presented
    unsigned virtualKey; // VK_RETURN, VK_ESCAPE, or any other key code
};

struct Options {
    int framesPerSecond = 60;
    double from = 0.0;      // scene-clock seconds: frames before are computed, not written
    double to = 1.0e9;      // scene-clock seconds: the run stops before the first frame at `to`
    std::string videoPath;  // .mp4 (H.264 + AAC) or .mkv (lossless), through ffmpeg
    std::string framesPath; // a folder for numbered BMP frames and music.wav
    std::vector<KeyPress> keys;
    CaptureRequest capture;      // --scale, --size, --frame-only
    CaptureGeometry geometry;    // what they give, settled by ParseOptions
    bool bestQuality = false;    // .mp4: x264's slower "medium" preset at CRF 16
    std::string sheetPath;       // a contact sheet of the show, as a PNG file
    double sheetEvery = 10.0;    // seconds of show between its thumbnails
    bool bench = false;          // time every frame and print a per-scene table
    std::string hashesPath;      // writes the manifest of the frames and music (render/manifest.h)
    std::string checkPath;       // compares the frames and music with this manifest
    std::string comparePaths[2]; // --compare: two manifests compared, nothing rendered
    bool levelGiven = false;     // --simd: the vector level to use instead of the processor's
    VectorLevel level = VectorLevel::kPlain;
    bool flashCheck = false;                 // every frame against the flash thresholds
    std::vector<std::string> notePaths;      // --note: files whose photosensitivity note to write
    std::vector<std::string> checkNotePaths; // --check-note: files whose note to compare
    bool progress = false;                   // a progress line on standard error
    std::string ffmpeg = "ffmpeg";
};

// Reads the command line. Returns false with a message in *error when it is not understood.
bool ParseOptions(int argc, char** argv, Options* options, std::string* error);

// The usage text.
std::string Usage();

// Exit code of --check and --compare when a picture differs from the manifest's.
constexpr int kManifestDiffers = 4;

// Exit code of --flash-check when a second of the show fails the flash thresholds.
constexpr int kFlashFails = 5;
// Exit code of --flash-check --check-note when a file's note differs from the check's.
constexpr int kNoteDiffers = 6;

// Runs the show from the working directory (which holds data/) and writes what the options ask
// for. Returns the process exit code: the show's own code, 2 when an output cannot be made,
// kManifestDiffers when --check finds a picture that differs from the manifest's, kFlashFails
// when --flash-check finds a failing second; with --check-note, 0 when every note equals the
// check's and kNoteDiffers when one does not, whatever the verdict (the note states it).
int RenderShow(const Options& options);

// A chapter of a video, in seconds from the video's start.
struct Chapter {
    std::string title;
    double start;
    double end;
};

// The chapters of a video whose first picture is drawn at `first` on the scene clock and that
// lasts `duration` seconds: one per scene of the show (the parts with the same number, the
// rotozoom and the end logo, make one), cut to the video; scenes outside it have none.
std::vector<Chapter> VideoChapters(double first, double duration);

// The chapters as an ffmpeg metadata file (";FFMETADATA1", times in milliseconds).
std::string ChapterMetadata(const std::vector<Chapter>& chapters);

} // namespace render
