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
    bool progress = false; // a progress line on standard error
    std::string ffmpeg = "ffmpeg";
};

// Reads the command line. Returns false with a message in *error when it is not understood.
bool ParseOptions(int argc, char** argv, Options* options, std::string* error);

// The usage text.
std::string Usage();

// Exit code of --check and --compare when a picture differs from the manifest's.
constexpr int kManifestDiffers = 4;

// Runs the show from the working directory (which holds data/) and writes what the options ask
// for. Returns the process exit code: the show's own code, 2 when an output cannot be made, or
// kManifestDiffers when --check finds a picture that differs from the manifest's.
int RenderShow(const Options& options);

} // namespace render
