// demo-render: frames and music written in step, equal to what the show presents, and videos.
#include "assets/bmp.h"
#include "platform/headless.h"
#include "process_capture.h"
#include "render/render.h"
#include "run_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

namespace fs = std::filesystem;

bool ParseArguments(std::vector<const char*> arguments, render::Options* options,
                    std::string* error) {
    arguments.insert(arguments.begin(), "demo-render");
    return render::ParseOptions(static_cast<int>(arguments.size()),
                                const_cast<char**>(arguments.data()), options, error);
}

// The first `count` pictures the program itself presents, captured on the headless back end.
std::vector<std::vector<uint32_t>> PresentedPictures(long count) {
    std::vector<std::vector<uint32_t>> pictures;
    headless::Config config;
    config.freshSurfaceWord = 0; // as the renderer sets it
    headless::Reset(config);
    headless::SetPresentHook([&](const headless::Picture& picture) {
        std::vector<uint32_t> pixels(640 * 480);
        for (int y = 0; y < 480; y++)
            for (int x = 0; x < 640; x++)
                pixels[y * 640 + x] = picture.At(x, y);
        pictures.push_back(std::move(pixels));
    });
    headless::ScriptKey(count - 1, VK_ESCAPE); // the run ends at frame count + 1
    RunProgram();
    headless::SetPresentHook(nullptr);
    pictures.resize(static_cast<size_t>(count));
    return pictures;
}

TEST(Render, WritesTheShowsFramesAndItsMusicInStep) {
    TempWorkingDirectory folder;
    PrepareRunFolder();
    render::Options options;
    options.from = 0.25; // frames 15 to 29 are written, the earlier ones only computed
    options.to = 0.5;
    options.framesPath = "frames";
    ASSERT_EQ(render::RenderShow(options), 0);

    std::vector<std::vector<uint32_t>> shown = PresentedPictures(30);
    for (int written = 0; written < 15; written++) {
        char name[64];
        std::snprintf(name, sizeof(name), "frames/frame_%06d.bmp", written);
        uint8_t* pixels = nullptr;
        uint8_t* palette = nullptr;
        int width = 0, height = 0, bpp = 0;
        ASSERT_EQ(ReadBMP(name, &pixels, &width, &height, &bpp, &palette), 0) << name;
        ASSERT_EQ(width, 640);
        ASSERT_EQ(height, 480);
        std::vector<uint32_t> words(640 * 480);
        UnpackBGR24(pixels, words.data(), 640 * 480);
        std::free(pixels);
        const std::vector<uint32_t>& expected = shown[15 + written];
        int wrong = 0;
        for (size_t i = 0; i < words.size(); i++)
            wrong += words[i] != (expected[i] & 0xFFFFFF);
        EXPECT_EQ(wrong, 0) << name;
    }
    EXPECT_FALSE(fs::exists("frames/frame_000015.bmp"));
    // 15 frames of 48000 / 60 = 800 stereo 16-bit samples, after the 44-byte header.
    EXPECT_EQ(fs::file_size("frames/music.wav"), 44u + 15u * 800u * 4u);
}

TEST(Render, KeysReachTheShowAtTheirFrames) {
    TempWorkingDirectory folder;
    PrepareRunFolder();
    render::Options options;
    std::string error;
    ASSERT_TRUE(ParseArguments({"--keys", "2:Return,5:Escape", "--bench"}, &options, &error))
        << error;
    testing::internal::CaptureStdout();
    EXPECT_EQ(render::RenderShow(options), 0);
    std::string table = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(fs::exists("grab_1.bmp"));
    // Escape is handled in the sixth present; the quit message ends the next frame before its
    // present.
    EXPECT_NE(table.find("whole show: 6 frames"), std::string::npos) << table;
}

TEST(Render, WritesAVideoOfTheRightLength) {
    if (std::system("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null 2>&1"))
        GTEST_SKIP() << "ffmpeg is not installed";
    TempWorkingDirectory folder;
    PrepareRunFolder();
    render::Options options;
    options.to = 1.0;
    options.framesPerSecond = 30;
    options.videoPath = "clip.mp4";
    ASSERT_EQ(render::RenderShow(options), 0);
    std::string command = "ffprobe -v error -select_streams v:0 -show_entries stream=duration "
                          "-of default=nw=1:nk=1 clip.mp4 > duration.txt";
    ASSERT_EQ(std::system(command.c_str()), 0);
    double duration = std::atof(ReadFileBytes("duration.txt").c_str());
    EXPECT_NEAR(duration, 1.0, 1.0 / 30);
    EXPECT_FALSE(fs::exists("clip.mp4.audio.wav")); // the temporary files are gone
}

TEST(Render, SaysClearlyWhenFfmpegIsMissing) {
    TempWorkingDirectory folder;
    PrepareRunFolder();
    render::Options options;
    options.videoPath = "clip.mp4";
    options.ffmpeg = "no-such-ffmpeg-program";
    testing::internal::CaptureStderr();
    EXPECT_EQ(render::RenderShow(options), 2);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("no-such-ffmpeg-program not found"), std::string::npos) << said;
}

TEST(Render, RefusesOptionsItCannotHonour) {
    const std::vector<std::vector<const char*>> refused = {
        {"--fps", "0"},
        {"--fps", "2.5"},
        {"--from", "-1"},
        {"--from", "5", "--to", "4"},
        {"--video", "show.avi"},
        {"--keys", "x:Return"},
        {"--keys", "10:NoSuchKey"},
        {"--bench", "--frames", "out"},
        {"--fps"},
        {"--unknown"},
    };
    for (const auto& arguments : refused) {
        render::Options options;
        std::string error;
        EXPECT_FALSE(ParseArguments(arguments, &options, &error)) << arguments[0];
        EXPECT_FALSE(error.empty());
    }
    render::Options options;
    std::string error;
    ASSERT_TRUE(ParseArguments({"--fps", "30", "--from", "1.5", "--to", "2", "--keys",
                                "0:Escape,12:a", "--video", "x.mkv"},
                               &options, &error))
        << error;
    EXPECT_EQ(options.framesPerSecond, 30);
    EXPECT_EQ(options.from, 1.5);
    EXPECT_EQ(options.to, 2.0);
    ASSERT_EQ(options.keys.size(), 2u);
    EXPECT_EQ(options.keys[1].frame, 12);
    EXPECT_EQ(options.keys[1].virtualKey, static_cast<unsigned>('A'));
}

} // namespace
