#include "render/render.h"

#include "render/flash.h"
#include "render/manifest.h"
#include "render/note.h"
#include "render/sheet.h"

#include "mkdata/byte_writer.h"
#include "mkdata/wav_file.h"

#include "assets/bmp.h"
#include "base/framehash.h"
#include "base/process.h"
#include "platform/backend.h"
#include "platform/headless/headless.h"
#include "scenes/scenes.h"
#include "shell/clock.h"
#include "shell/demo.h"
#include "shell/display.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>
#if defined(__linux__)
#include <fcntl.h>
#endif

namespace render {
namespace {

namespace fs = std::filesystem;
using WallClock = std::chrono::steady_clock;

// H.264 settings of an .mp4: by default x264's "superfast" preset at CRF 16, which encodes the
// show on two cores in well under the time the "medium" preset takes, at a PSNR above 45 dB (in
// the video's own 4:2:0 colour planes) against a lossless capture; with --quality best the
// "medium" preset at CRF 16, the settings before. scripts/video-check.sh measures both numbers.
const char* const kFastVideoCodec = "-c:v libx264 -preset superfast -crf 16 -pix_fmt yuv420p";
const char* const kBestVideoCodec = "-c:v libx264 -preset medium -crf 16 -pix_fmt yuv420p";

// Ways the show's run ends inside the renderer.
struct ProcessEnd {
    int code;
};
struct StopRun {};

[[noreturn]] void ThrowProcessEnd(int code) {
    throw ProcessEnd{code};
}

bool ParseNumber(const std::string& text, double* value) {
    char* end = nullptr;
    *value = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0' && std::isfinite(*value);
}

bool ParseKey(const std::string& name, unsigned* key) {
    if (name == "Return" || name == "Enter")
        *key = VK_RETURN;
    else if (name == "Escape" || name == "Esc")
        *key = VK_ESCAPE;
    else if (name == "Space")
        *key = 0x20;
    else if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0])))
        *key = static_cast<unsigned>(std::toupper(static_cast<unsigned char>(name[0])));
    else
        return false;
    return true;
}

// Frame numbers up to the largest a 32-bit long holds (Windows' long is 32 bits), so that the
// conversion is defined everywhere.
bool ParseKeys(const std::string& list, std::vector<KeyPress>* keys) {
    constexpr double kLastFrame = 2147483647.0;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        std::string item =
            list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        size_t colon = item.find(':');
        double frame = 0;
        unsigned key = 0;
        if (colon == std::string::npos || !ParseNumber(item.substr(0, colon), &frame) ||
            frame < 0 || frame > kLastFrame || frame != std::floor(frame) ||
            !ParseKey(item.substr(colon + 1), &key))
            return false;
        keys->push_back({static_cast<long>(frame), key});
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return true;
}

// ffmpeg's name for the bytes of a picture's 0x00RRGGBB words as this machine stores them: blue
// first on a little-endian machine, the unused byte first on a big-endian one.
const char* PictureWordFormat() {
    const uint32_t word = 0x00010203;
    uint8_t first;
    std::memcpy(&first, &word, 1);
    return first == 0x03 ? "bgr0" : "0rgb";
}

bool ProgramExists(const std::string& program) {
    std::string command = "command -v '" + program + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

double Median(std::vector<double> values) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The yardstick of the bench table: a plain copy of one 512 x 256 frame, median of many.
double FrameCopyMilliseconds() {
    std::vector<uint32_t> source(512 * 256, 0x00123456), destination(512 * 256);
    std::vector<double> times;
    for (int i = 0; i < 2001; i++) {
        source[i % source.size()] = static_cast<uint32_t>(i);
        auto start = WallClock::now();
        std::memcpy(destination.data(), source.data(), source.size() * 4);
        auto end = WallClock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    volatile uint32_t sink = destination[1234];
    (void)sink;
    return Median(times);
}

// Pictures on their way to ffmpeg. The renderer fills a free buffer and goes on with the next
// frame while a thread of its own writes the earlier ones into the pipe, so drawing the show
// and encoding it overlap instead of taking turns.
class VideoWriter {
  public:
    VideoWriter(std::FILE* pipe, size_t pictureWords) : pipe_(pipe) {
        for (auto& buffer : buffers_)
            buffer.resize(pictureWords);
#if defined(__linux__) && defined(F_SETPIPE_SZ)
        // A pipe holds 64 KiB by default, a twentieth of a picture; a larger one (the system
        // may refuse it, which changes nothing else) lets ffmpeg read whole pictures at once.
        fcntl(fileno(pipe), F_SETPIPE_SZ, 1 << 20);
#endif
        thread_ = std::thread([this] { Write(); });
    }
    ~VideoWriter() {
        Finish();
    }

    // The buffer for the next picture; waits while every buffer is still queued.
    uint32_t* Next() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return queued_ < kBuffers; });
        return buffers_[(first_ + queued_) % kBuffers].data();
    }
    // Queues the buffer that Next gave. False once a write has failed.
    bool Queue() {
        std::lock_guard<std::mutex> lock(mutex_);
        ++queued_;
        changed_.notify_all();
        return !failed_;
    }
    // Writes what is queued and stops the thread; false when a write failed.
    bool Finish() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closing_ = true;
            changed_.notify_all();
        }
        if (thread_.joinable())
            thread_.join();
        return !failed_;
    }

  private:
    static constexpr int kBuffers = 4;

    void Write() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return queued_ > 0 || closing_; });
            if (queued_ == 0)
                return;
            const std::vector<uint32_t>& buffer = buffers_[first_];
            lock.unlock();
            const bool written =
                failed_ || std::fwrite(buffer.data(), 4, buffer.size(), pipe_) == buffer.size();
            lock.lock();
            failed_ = failed_ || !written;
            first_ = (first_ + 1) % kBuffers;
            --queued_;
            changed_.notify_all();
        }
    }

    std::FILE* pipe_;
    std::vector<uint32_t> buffers_[kBuffers];
    int first_ = 0;  // the oldest queued buffer
    int queued_ = 0; // buffers waiting to be written
    bool closing_ = false;
    bool failed_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
};

class Renderer {
  public:
    explicit Renderer(const Options& options) : options_(options) {}

    int Run();

  private:
    bool OpenOutputs();
    void OnPresent(const headless::Picture& picture);
    void WriteFrame(const headless::Picture& picture);
    int Finish(int showCode);
    int FinishManifest();
    int FinishFlashCheck();
    bool WriteChapters();
    void PrintProgress(bool last);
    void PrintBench(double wallSeconds) const;

    const Options& options_;
    int sampleRate_ = 48000;
    long frame_ = 0;          // frames presented so far
    long written_ = 0;        // frames written
    long expectedFrames_ = 0; // frames the run will present, for the progress line
    std::vector<int16_t> audio_;
    std::vector<int16_t> frameAudio_;
    ByteWriter frameBytes_;          // the music of one frame on its way to the encoder
    std::FILE* audioPipe_ = nullptr; // the music's encoder, for a video
    std::vector<uint8_t> row_;
    std::vector<uint32_t> picture_; // the captured picture of a --frames run
    std::FILE* video_ = nullptr;
    std::unique_ptr<VideoWriter> videoWriter_;
    std::unique_ptr<ContactSheet> sheet_;
    std::unique_ptr<FlashAnalysis> flash_;
    double firstWritten_ = 0.0; // the scene clock of the first frame written or checked
    std::string chaptersTemp_;
    std::string videoTemp_;
    std::string audioTemp_;
    bool outputFailed_ = false;
    WallClock::time_point start_;
    WallClock::time_point lastFrame_;
    WallClock::time_point lastProgress_;
    std::vector<double> frameTimes_[kShowPartCount];
    long firstFrameOfPart_[kShowPartCount] = {}; // the show's frame number of each part's first
    bool hashing_ = false; // --hashes or --check
    Manifest manifest_;
    Xxh64 musicHash_;
    long long musicFrames_ = 0; // samples per channel in musicHash_
};

bool Renderer::OpenOutputs() {
    if (!options_.framesPath.empty()) {
        std::error_code error;
        fs::create_directories(options_.framesPath, error);
        if (!fs::is_directory(options_.framesPath)) {
            std::fprintf(stderr, "demo-render: cannot make the folder %s\n",
                         options_.framesPath.c_str());
            return false;
        }
    }
    if (!options_.videoPath.empty()) {
        if (!ProgramExists(options_.ffmpeg)) {
            std::fprintf(stderr,
                         "demo-render: %s not found: a video needs the ffmpeg program (Debian "
                         "package ffmpeg); --frames DIR needs nothing else\n",
                         options_.ffmpeg.c_str());
            return false;
        }
        const bool lossless = fs::path(options_.videoPath).extension() == ".mkv";
        videoTemp_ = options_.videoPath + ".video" + (lossless ? ".mkv" : ".mp4");
        audioTemp_ = options_.videoPath + ".audio" + (lossless ? ".mka" : ".m4a");
        chaptersTemp_ = options_.videoPath + ".chapters.txt";
        const std::string codec = lossless               ? "-c:v ffv1 -level 3"
                                  : options_.bestQuality ? kBestVideoCodec
                                                         : kFastVideoCodec;
        const CaptureGeometry& g = options_.geometry;
        std::string command = Quoted(options_.ffmpeg) +
                              " -y -loglevel error -f rawvideo -pix_fmt " + PictureWordFormat() +
                              " -s " + std::to_string(g.width) + "x" + std::to_string(g.height) +
                              " -r " + std::to_string(options_.framesPerSecond) + " -i - " + codec +
                              " " + Quoted(videoTemp_);
        video_ = popen(command.c_str(), "w");
        if (!video_) {
            std::fprintf(stderr, "demo-render: cannot start %s\n", options_.ffmpeg.c_str());
            return false;
        }
        videoWriter_ = std::make_unique<VideoWriter>(video_, static_cast<size_t>(g.width) *
                                                                 static_cast<size_t>(g.height));
        // The music is encoded at the same time, by a second ffmpeg that reads it as it is
        // rendered, so that only a copy of both streams into one file is left for the end.
        const std::string audioCommand =
            Quoted(options_.ffmpeg) + " -y -loglevel error -f s16le -ar " +
            std::to_string(sampleRate_) + " -ac 2 -i - " +
            (lossless ? "-c:a flac" : "-c:a aac -b:a 192k") + " " + Quoted(audioTemp_);
        audioPipe_ = popen(audioCommand.c_str(), "w");
        if (!audioPipe_) {
            std::fprintf(stderr, "demo-render: cannot start %s\n", options_.ffmpeg.c_str());
            return false;
        }
    }
    return true;
}

void Renderer::WriteFrame(const headless::Picture& picture) {
    const CaptureGeometry& g = options_.geometry;
    if (videoWriter_) {
        ComposeCapture(g, picture.pixels, picture.pitch, videoWriter_->Next());
        if (!videoWriter_->Queue())
            outputFailed_ = true;
    }
    if (!options_.framesPath.empty()) {
        const size_t words = static_cast<size_t>(g.width) * static_cast<size_t>(g.height);
        picture_.resize(words);
        ComposeCapture(g, picture.pixels, picture.pitch, picture_.data());
        row_.resize(words * 3);
        for (int y = 0; y < g.height; y++)
            PackBGR24(picture_.data() + static_cast<size_t>(y) * g.width,
                      row_.data() + static_cast<size_t>(y) * g.width * 3, g.width);
        char name[32];
        std::snprintf(name, sizeof(name), "frame_%06ld.bmp", written_);
        std::string path = (fs::path(options_.framesPath) / name).string();
        if (WriteBMP(path.c_str(), row_.data(), g.width, g.height, 24, nullptr) != 0)
            outputFailed_ = true;
    }
    written_++;
}

void Renderer::OnPresent(const headless::Picture& picture) {
    const long index = frame_++;
    const double t = static_cast<double>(index) / options_.framesPerSecond;
    const auto now = WallClock::now();
    if (options_.bench) {
        std::vector<double>& times = frameTimes_[ShowPartOf(t)];
        if (times.empty())
            firstFrameOfPart_[ShowPartOf(t)] = index;
        times.push_back(std::chrono::duration<double, std::milli>(now - lastFrame_).count());
    }
    lastFrame_ = now;

    if (t >= options_.to)
        throw StopRun();

    if (sheet_) {
        if (index == sheet_->NextFrame())
            sheet_->Add(picture.pixels, picture.pitch, kShowParts[ShowPartOf(t)].name);
        if (sheet_->NextFrame() < 0)
            throw StopRun(); // every thumbnail is in
        return;
    }

    const bool writing = t >= options_.from;
    if (writing && written_ == 0)
        firstWritten_ = t;
    if (writing && flash_) {
        flash_->AddPicture(reinterpret_cast<const uint32_t*>(picture.pixels), picture.pitch / 4);
        written_++;
    }
    if (writing && hashing_) {
        const uint8_t* frame = picture.pixels + kFrameTop * picture.pitch + kFrameLeft * 4;
        manifest_.frames.push_back({index, t, HashFrame(frame, picture.pitch)});
    }
    if (!options_.bench && !flash_) {
        // The music of this frame's 1/fps seconds, whether the frame is written or not.
        const long long first =
            static_cast<long long>(index) * sampleRate_ / options_.framesPerSecond;
        const long long next =
            static_cast<long long>(index + 1) * sampleRate_ / options_.framesPerSecond;
        frameAudio_.resize(static_cast<size_t>(next - first) * 2);
        RenderMusic(frameAudio_.data(), static_cast<int>(next - first));
        if (writing && hashing_) {
            musicHash_.UpdateSamples(frameAudio_.data(), frameAudio_.size());
            musicFrames_ += next - first;
        }
        if (writing && audioPipe_) {
            // 16-bit little-endian samples, as the WAV writer writes them.
            std::vector<uint8_t>& bytes = frameBytes_.bytes;
            bytes.clear();
            frameBytes_.Samples16(frameAudio_.data(), frameAudio_.size());
            if (std::fwrite(bytes.data(), 1, bytes.size(), audioPipe_) != bytes.size())
                outputFailed_ = true;
        } else if (writing && !options_.framesPath.empty()) {
            audio_.insert(audio_.end(), frameAudio_.begin(), frameAudio_.end());
        }
    }
    if (writing && (video_ || !options_.framesPath.empty()))
        WriteFrame(picture);
    if (outputFailed_)
        throw StopRun();
    if (options_.progress && now - lastProgress_ > std::chrono::milliseconds(250)) {
        lastProgress_ = now;
        PrintProgress(false);
    }
}

void Renderer::PrintProgress(bool last) {
    const double wall = std::chrono::duration<double>(WallClock::now() - start_).count();
    const double shown = static_cast<double>(frame_) / options_.framesPerSecond;
    const double speed = wall > 0 ? shown / wall : 0.0;
    const double left =
        frame_ > 0 ? wall * static_cast<double>(std::max(expectedFrames_ - frame_, 0L)) / frame_
                   : 0.0;
    std::fprintf(stderr, "\rframe %ld / %ld  %-20s %6.1fx real time  %4.0f s left  ", frame_,
                 expectedFrames_, kShowParts[ShowPartOf(shown)].name, speed, left);
    if (last)
        std::fputc('\n', stderr);
    std::fflush(stderr);
}

void Renderer::PrintBench(double wallSeconds) const {
    // A frame's time is its work since the frame before was presented; the worst frame is named
    // by its number in the show (from 0), with "first" when it is its scene's first.
    std::printf("%-22s %8s %11s %10s  %s\n", "scene", "frames", "median ms", "worst ms",
                "worst frame");
    long frames = 0;
    for (int i = 0; i < kShowPartCount; i++) {
        const std::vector<double>& times = frameTimes_[i];
        frames += static_cast<long>(times.size());
        const auto worst = std::max_element(times.begin(), times.end());
        const long worstFrame = firstFrameOfPart_[i] + (worst - times.begin());
        std::printf("%-22s %8zu %11.3f %10.3f  %ld%s\n", kShowParts[i].name, times.size(),
                    Median(times), times.empty() ? 0.0 : *worst, times.empty() ? 0L : worstFrame,
                    !times.empty() && worst == times.begin() ? " (first)" : "");
    }
    const double shown = static_cast<double>(frames) / options_.framesPerSecond;
    std::printf("whole show: %ld frames (%.1f s at %d fps) in %.2f s: %.1fx real time\n", frames,
                shown, options_.framesPerSecond, wallSeconds,
                wallSeconds > 0 ? shown / wallSeconds : 0.0);
    std::printf("yardstick: plain copy of one 512 x 256 frame: %.4f ms\n", FrameCopyMilliseconds());
}

int Renderer::Finish(int showCode) {
    const double wallSeconds = std::chrono::duration<double>(WallClock::now() - start_).count();
    if (options_.progress)
        PrintProgress(true);
    int code = showCode;
    if (video_) {
        if (!videoWriter_->Finish())
            outputFailed_ = true;
        videoWriter_.reset();
        if (pclose(video_) != 0)
            outputFailed_ = true;
        video_ = nullptr;
    }
    if (audioPipe_) {
        if (pclose(audioPipe_) != 0)
            outputFailed_ = true;
        audioPipe_ = nullptr;
    }
    if (outputFailed_) {
        std::fprintf(stderr, "demo-render: writing the output failed\n");
        code = 2;
    }
    if (!options_.framesPath.empty() && !outputFailed_) {
        std::string wav = (fs::path(options_.framesPath) / "music.wav").string();
        if (!WriteWav(wav, audio_, sampleRate_)) {
            std::fprintf(stderr, "demo-render: cannot write %s\n", wav.c_str());
            code = 2;
        }
    }
    if (!options_.videoPath.empty() && !outputFailed_) {
        // The chapters come from a metadata file given as a third input.
        const std::string command =
            Quoted(options_.ffmpeg) + " -y -loglevel error -i " + Quoted(videoTemp_) + " -i " +
            Quoted(audioTemp_) + " -i " + Quoted(chaptersTemp_) +
            " -map 0 -map 1 -map_chapters 2 -c copy " + Quoted(options_.videoPath);
        if (!WriteChapters() || std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "demo-render: ffmpeg could not write %s\n",
                         options_.videoPath.c_str());
            code = 2;
        }
    }
    if (!videoTemp_.empty()) {
        std::error_code ignored;
        fs::remove(videoTemp_, ignored);
        fs::remove(audioTemp_, ignored);
        fs::remove(chaptersTemp_, ignored);
    }
    if (sheet_) {
        std::string error;
        if (sheet_->NextFrame() >= 0) {
            std::fprintf(stderr, "demo-render: the show ended before the sheet was full\n");
            code = 2;
        } else if (!sheet_->WritePng(options_.sheetPath, &error)) {
            std::fprintf(stderr, "demo-render: %s\n", error.c_str());
            code = 2;
        }
    }
    if (hashing_ && code == 0)
        code = FinishManifest();
    if (options_.bench)
        PrintBench(wallSeconds);
    if (flash_ && code == 0)
        code = FinishFlashCheck();
    return code;
}

bool Renderer::WriteChapters() {
    const std::string text = ChapterMetadata(
        VideoChapters(firstWritten_, static_cast<double>(written_) / options_.framesPerSecond));
    std::FILE* file = std::fopen(chaptersTemp_.c_str(), "wb");
    const bool written = file && std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return file && std::fclose(file) == 0 && written;
}

int Renderer::FinishFlashCheck() {
    std::fputs(DescribeFlashes(*flash_, firstWritten_,
                               [](double seconds) { return kShowParts[ShowPartOf(seconds)].name; })
                   .c_str(),
               stdout);
    const std::string note = FlashNote(*flash_, firstWritten_);
    int code = flash_->FailingSeconds().empty() ? 0 : kFlashFails;
    bool differs = false;
    for (const std::string& path : options_.notePaths) {
        bool current = false;
        std::string error;
        if (!UpdateNoteFile(path, note, NoteAction::kWrite, &current, &error)) {
            std::fprintf(stderr, "demo-render: %s\n", error.c_str());
            return 2;
        }
        std::printf("photosensitivity note: written to %s\n", path.c_str());
    }
    for (const std::string& path : options_.checkNotePaths) {
        bool current = false;
        std::string error;
        if (!UpdateNoteFile(path, note, NoteAction::kCompare, &current, &error)) {
            std::fprintf(stderr, "demo-render: %s\n", error.c_str());
            return 2;
        }
        if (!current)
            std::printf("photosensitivity note: %s differs from the check's; "
                        "demo-render --flash-check --note %s writes it\n",
                        path.c_str(), path.c_str());
        differs = differs || !current;
    }
    if (!options_.checkNotePaths.empty()) {
        code = differs ? kNoteDiffers : 0;
        if (!differs)
            std::printf("photosensitivity note: up to date in %zu file%s\n",
                        options_.checkNotePaths.size(),
                        options_.checkNotePaths.size() == 1 ? "" : "s");
    }
    return code;
}

int Renderer::FinishManifest() {
    manifest_.hasMusic = true;
    manifest_.music = {sampleRate_, 2, musicFrames_, musicHash_.Digest()};
    if (!options_.hashesPath.empty()) {
        const std::string text = ManifestText(manifest_);
        std::FILE* file = std::fopen(options_.hashesPath.c_str(), "wb");
        const bool written = file && std::fwrite(text.data(), 1, text.size(), file) == text.size();
        if (!file || std::fclose(file) != 0 || !written) {
            std::fprintf(stderr, "demo-render: cannot write %s\n", options_.hashesPath.c_str());
            return 2;
        }
    }
    if (options_.checkPath.empty())
        return 0;
    Manifest expected;
    std::string error;
    if (!ReadManifest(options_.checkPath, &expected, &error)) {
        std::fprintf(stderr, "demo-render: %s\n", error.c_str());
        return 2;
    }
    // A run that stops before the show's end (--to) checks its own frames only; the music is
    // compared when the run covers the same samples as the manifest.
    const ManifestComparison comparison =
        CompareManifests(expected, manifest_, options_.from, options_.to);
    std::fputs(DescribeComparison(comparison).c_str(), stdout);
    return comparison.PicturesEqual() ? 0 : kManifestDiffers;
}

int Renderer::Run() {
    hashing_ = !options_.hashesPath.empty() || !options_.checkPath.empty();
    headless::Config config;
    config.framesPerSecond = options_.framesPerSecond;
    config.freshSurfaceWord = 0; // display memory starts black, as on a real display
    config.recordCalls = false;  // nothing here reads the calls; the log would only grow
    headless::Reset(config);
    for (const KeyPress& key : options_.keys)
        headless::ScriptKey(key.frame, key.virtualKey);
    ResetShellState();

    if (!options_.sheetPath.empty())
        sheet_ =
            std::make_unique<ContactSheet>(options_.sheetEvery, kShowEnd, options_.framesPerSecond);
    const double lastTime = std::min(options_.to, kShowEnd);
    expectedFrames_ = static_cast<long>(std::ceil(lastTime * options_.framesPerSecond)) + 1;
    if (!OpenOutputs())
        return 2;
    if (options_.flashCheck)
        flash_ = std::make_unique<FlashAnalysis>(kDisplayWidth, kDisplayHeight,
                                                 options_.framesPerSecond);

    headless::SetPresentHook([this](const headless::Picture& picture) { OnPresent(picture); });
    start_ = lastFrame_ = lastProgress_ = WallClock::now();
    ProcessEndHandler previous = SetProcessEndHandler(ThrowProcessEnd);
    int showCode = 0;
    try {
        showCode = WinMain(nullptr, nullptr, nullptr, 0);
    } catch (const ProcessEnd& end) {
        showCode = end.code;
    } catch (const StopRun&) {
        showCode = 0;
    }
    SetProcessEndHandler(previous);
    headless::SetPresentHook(nullptr);
    if (showCode == kFatalExitCode)
        std::fprintf(stderr, "demo-render: the show ended on a fatal error: %s",
                     LastFatalMessage());
    return Finish(showCode);
}

// The command line as it is read: the options so far, what the checks across options need, and
// the message of the first fault.
struct CommandLine {
    Options* options;
    std::string* error;
    int words = 0;           // words after the program's name
    bool everyGiven = false; // --every, which means nothing without --sheet

    bool Refuse(const std::string& message) {
        *error = message;
        return false;
    }
};

// A whole number from `low` to `high` into *value.
bool ReadWholeNumber(const std::string& text, double low, double high, int* value) {
    double number = 0;
    if (!ParseNumber(text, &number) || number < low || number > high ||
        number != std::floor(number))
        return false;
    *value = static_cast<int>(number);
    return true;
}

bool ReadSeconds(const std::string& name, const std::string& text, double* seconds,
                 CommandLine& line) {
    return (ParseNumber(text, seconds) && *seconds >= 0) ||
           line.Refuse(name + " takes a number of seconds, 0 or more");
}

// Readers of the options that store their word as it is, or set a switch.
template <std::string Options::*path> bool StoreWord(CommandLine& line, const std::string* values) {
    line.options->*path = values[0];
    return true;
}
template <bool Options::*flag, bool value> bool SetSwitch(CommandLine& line, const std::string*) {
    line.options->*flag = value;
    return true;
}

// One option: its name, how many words follow it, its line in the usage text and what it sets.
// A reader checks the option's own words and refuses what the option cannot take; the checks
// that involve several options come once all are read (CheckTogether).
struct OptionRow {
    const char* name;
    int values;
    // The usage line's left column (the name and its values) and its text, where a line break
    // starts a continued line. No label: another line describes it too, or the usage leaves it
    // out.
    const char* label;
    const char* help;
    bool (*read)(CommandLine& line, const std::string* values);
};

const OptionRow kOptionTable[] = {
    {"--fps", 1, "--fps N", "frames per second of the capture (default 60)",
     [](CommandLine& line, const std::string* values) {
         return ReadWholeNumber(values[0], 1, 1000, &line.options->framesPerSecond) ||
                line.Refuse("--fps takes a whole number from 1 to 1000");
     }},
    {"--from", 1, "--from S --to S",
     "scene-clock seconds to write (earlier frames are still computed)",
     [](CommandLine& line, const std::string* values) {
         return ReadSeconds("--from", values[0], &line.options->from, line);
     }},
    {"--to", 1, nullptr, nullptr,
     [](CommandLine& line, const std::string* values) {
         return ReadSeconds("--to", values[0], &line.options->to, line);
     }},
    {"--video", 1, "--video FILE", ".mp4 (H.264 + AAC) or .mkv (lossless), through ffmpeg",
     [](CommandLine& line, const std::string* values) {
         line.options->videoPath = values[0];
         const std::string extension = fs::path(values[0]).extension().string();
         return extension == ".mp4" || extension == ".mkv" ||
                line.Refuse("--video writes a .mp4 or a .mkv file");
     }},
    {"--quality", 1, "--quality Q", ".mp4 only: fast (default) or best (slower x264 preset)",
     [](CommandLine& line, const std::string* values) {
         line.options->bestQuality = values[0] == "best";
         return values[0] == "fast" || values[0] == "best" ||
                line.Refuse("--quality is fast or best");
     }},
    {"--frames", 1, "--frames DIR", "numbered BMP frames and music.wav, no ffmpeg needed",
     StoreWord<&Options::framesPath>},
    {"--scale", 1, "--scale N",
     "the pictures of --video and --frames N times larger, each\npixel an N x N block",
     [](CommandLine& line, const std::string* values) {
         return ReadWholeNumber(values[0], 1, 64, &line.options->capture.scale) ||
                line.Refuse("--scale takes a whole number, 1 or more");
     }},
    {"--size", 1, "--size WxH", "the largest whole enlargement that fits W x H, centred on black",
     [](CommandLine& line, const std::string* values) {
         CaptureRequest& capture = line.options->capture;
         capture.sized = true;
         return ParseSize(values[0], &capture.width, &capture.height) ||
                line.Refuse("--size takes WIDTHxHEIGHT in pixels, e.g. 1920x1080");
     }},
    {"--frame-only", 0, "--frame-only",
     "only the 512 x 256 frame, without the display's black border",
     [](CommandLine& line, const std::string*) {
         line.options->capture.frameOnly = true;
         return true;
     }},
    {"--keys", 1, "--keys F:KEY,...",
     "key presses at given frames (Return, Escape, Space, a letter)",
     [](CommandLine& line, const std::string* values) {
         return ParseKeys(values[0], &line.options->keys) ||
                line.Refuse("--keys takes FRAME:KEY pairs separated by commas, e.g. 120:Return");
     }},
    {"--bench", 0, "--bench", "no files: time every frame, print a table per scene",
     SetSwitch<&Options::bench, true>},
    {"--hashes", 1, "--hashes FILE", "a manifest: a hash of every frame, then one of the music",
     StoreWord<&Options::hashesPath>},
    {"--check", 1, "--check FILE",
     "compares every frame and the music with a manifest; exit\ncode 4 when a picture differs",
     StoreWord<&Options::checkPath>},
    {"--compare", 2, "--compare A B",
     "compares two manifests (the second a port's), renders nothing",
     [](CommandLine& line, const std::string* values) {
         line.options->comparePaths[0] = values[0];
         line.options->comparePaths[1] = values[1];
         return true;
     }},
    {"--simd", 1, "--simd LEVEL",
     "the vector code to use: plain, sse2, avx2 or avx512 (default:\nthe best this processor "
     "has); a level above it is refused",
     [](CommandLine& line, const std::string* values) {
         Options& options = *line.options;
         if (!ParseVectorLevel(values[0], &options.level))
             return line.Refuse("--simd is plain, sse2, avx2 or avx512");
         if (options.level > ProcessorVectorLevel())
             return line.Refuse("--simd " + values[0] + ": this processor and build go up to " +
                                VectorLevelName(ProcessorVectorLevel()));
         options.levelGiven = true;
         return true;
     }},
    {"--sheet", 1, "--sheet FILE.png",
     "a contact sheet: a labelled thumbnail every 10 s of the show",
     [](CommandLine& line, const std::string* values) {
         line.options->sheetPath = values[0];
         if (fs::path(values[0]).extension() != ".png")
             return line.Refuse("--sheet writes a .png file");
         return CanWritePng() ||
                line.Refuse("--sheet is not available: this build has no PNG writer (it needs "
                            "stb_image_write, Debian package libstb-dev)");
     }},
    {"--every", 1, "--every S", "seconds between the sheet's thumbnails (0.5 to 180)",
     [](CommandLine& line, const std::string* values) {
         line.everyGiven = true;
         double& every = line.options->sheetEvery;
         return (ParseNumber(values[0], &every) && every >= 0.5 && every <= kShowEnd) ||
                line.Refuse("--every takes a number of seconds from 0.5 to 180");
     }},
    {"--flash-check", 0, "--flash-check",
     "no files: every frame against WCAG 2.2's general and red flash\nthresholds; exit code 5 "
     "when a second fails",
     SetSwitch<&Options::flashCheck, true>},
    {"--note", 1, "--note FILE",
     "with --flash-check: writes the photosensitivity note between\nFILE's flash-note marker "
     "lines (a new FILE: the note alone)",
     [](CommandLine& line, const std::string* values) {
         line.options->notePaths.push_back(values[0]);
         return true;
     }},
    {"--check-note", 1, "--check-note FILE",
     "with --flash-check: exit code 6 when FILE's note differs from\nthe check's, else 0",
     [](CommandLine& line, const std::string* values) {
         line.options->checkNotePaths.push_back(values[0]);
         return true;
     }},
    {"--progress", 0, "--progress",
     "a progress line on standard error (default when it is a terminal)",
     SetSwitch<&Options::progress, true>},
    {"--quiet", 0, "--quiet", "no progress line", SetSwitch<&Options::progress, false>},
    // The ffmpeg program to run, for the tests of a missing one.
    {"--ffmpeg", 1, nullptr, nullptr, StoreWord<&Options::ffmpeg>},
};

const OptionRow* FindOption(const std::string& name) {
    for (const OptionRow& row : kOptionTable)
        if (name == row.name)
            return &row;
    return nullptr;
}

// The checks across options, once every option is read, then the capture's geometry.
bool CheckTogether(CommandLine& line) {
    Options& options = *line.options;
    const bool writing = !options.videoPath.empty() || !options.framesPath.empty();
    if (options.from >= options.to)
        return line.Refuse("--from must come before --to");
    if (options.bench && writing)
        return line.Refuse("--bench writes no files: leave out --video and --frames");
    if (!options.sheetPath.empty() &&
        (options.bench || writing || options.from != 0.0 || options.to != Options().to))
        return line.Refuse("--sheet runs the whole show for its pictures alone: leave out "
                           "--bench, --video, --frames, --from and --to");
    const bool hashing = !options.hashesPath.empty() || !options.checkPath.empty();
    if (hashing && (options.bench || !options.sheetPath.empty()))
        return line.Refuse(
            "--hashes and --check render the music too: leave out --bench and --sheet");
    if (!options.comparePaths[0].empty() && line.words != 3)
        return line.Refuse("--compare takes two manifests and no other option");
    if (options.flashCheck && (options.bench || writing || !options.sheetPath.empty() || hashing))
        return line.Refuse("--flash-check only looks at the pictures: leave out --bench, "
                           "--video, --frames, --sheet, --hashes and --check");
    const bool notes = !options.notePaths.empty() || !options.checkNotePaths.empty();
    if (notes && !options.flashCheck)
        return line.Refuse("--note and --check-note take the verdict of --flash-check: give it");
    if (notes && (options.from != 0.0 || options.to != Options().to || !options.keys.empty()))
        return line.Refuse("the photosensitivity note is about the whole show: leave out "
                           "--from, --to and --keys");
    if (line.everyGiven && options.sheetPath.empty())
        return line.Refuse("--every spaces the thumbnails of --sheet: give --sheet too");
    const CaptureRequest& capture = options.capture;
    if ((capture.frameOnly || capture.scale != 0 || capture.sized) && !writing)
        return line.Refuse("--scale, --size and --frame-only shape the pictures of --video and "
                           "--frames: give one of those");
    return MakeCaptureGeometry(capture, &options.geometry, line.error);
}

// A chapter title as ffmpeg's metadata file takes it: '=', ';', '#', '\\' and line ends escaped.
std::string MetadataEscaped(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c == '=' || c == ';' || c == '#' || c == '\\' || c == '\n')
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

} // namespace

std::vector<Chapter> VideoChapters(double first, double duration) {
    std::vector<Chapter> chapters;
    const double videoEnd = first + duration;
    double start = 0.0;
    for (int i = 0; i < kShowPartCount;) {
        // The parts of one scene share the number their names begin with.
        const std::string name = kShowParts[i].name;
        const std::string number = name.substr(0, name.find(' ') + 1);
        std::string title = name;
        int next = i + 1;
        for (; next < kShowPartCount && std::string(kShowParts[next].name).rfind(number, 0) == 0;
             ++next)
            title += ", " + std::string(kShowParts[next].name).substr(number.size());
        // The last scene runs to the video's end, even past the show's.
        const double end = next == kShowPartCount ? videoEnd : kShowParts[next - 1].end;
        if (end > first && start < videoEnd)
            chapters.push_back(
                {title, std::max(start, first) - first, std::min(end, videoEnd) - first});
        start = end;
        i = next;
    }
    return chapters;
}

std::string ChapterMetadata(const std::vector<Chapter>& chapters) {
    std::string text = ";FFMETADATA1\n";
    for (const Chapter& chapter : chapters)
        text += "[CHAPTER]\nTIMEBASE=1/1000\nSTART=" +
                std::to_string(std::llround(chapter.start * 1000)) +
                "\nEND=" + std::to_string(std::llround(chapter.end * 1000)) +
                "\ntitle=" + MetadataEscaped(chapter.title) + "\n";
    return text;
}

std::string Usage() {
    std::string usage =
        "usage: demo-render [options]\n"
        "Plays the show without a window, from the working directory (which holds data/).\n";
    constexpr size_t kLabelWidth = 20;
    for (const OptionRow& row : kOptionTable) {
        if (!row.label)
            continue;
        std::string label = row.label;
        label.resize(std::max(label.size() + 2, kLabelWidth), ' ');
        usage += "  " + label;
        for (const char* text = row.help; *text; ++text) {
            usage += *text;
            if (*text == '\n')
                usage += std::string(2 + kLabelWidth, ' ');
        }
        usage += '\n';
    }
    return usage;
}

bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
    options->progress = isatty(2) != 0;
    CommandLine line{options, error, argc - 1};
    for (int i = 1; i < argc; i++) {
        const std::string name = argv[i];
        const OptionRow* row = FindOption(name);
        if (!row)
            return line.Refuse("unknown option " + name);
        std::vector<std::string> values;
        while (static_cast<int>(values.size()) < row->values) {
            if (i + 1 >= argc)
                return line.Refuse(name + " needs a value");
            values.push_back(argv[++i]);
        }
        if (!row->read(line, values.data()))
            return false;
    }
    return CheckTogether(line);
}

int RenderShow(const Options& options) {
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN); // a failing ffmpeg shows as a write error, not a signal
#endif
    if (!options.comparePaths[0].empty()) {
        Manifest manifests[2];
        for (int i = 0; i < 2; i++) {
            std::string error;
            if (!ReadManifest(options.comparePaths[i], &manifests[i], &error)) {
                std::fprintf(stderr, "demo-render: %s\n", error.c_str());
                return 2;
            }
        }
        const ManifestComparison comparison =
            CompareManifests(manifests[0], manifests[1], 0.0, options.to);
        std::fputs(DescribeComparison(comparison).c_str(), stdout);
        return comparison.PicturesEqual() ? 0 : kManifestDiffers;
    }
    const VectorLevel level = options.levelGiven ? options.level : ProcessorVectorLevel();
    ScopedVectorLevel use(level);
    Renderer renderer(options);
    return renderer.Run();
}

} // namespace render
