// demo-render: frames and music written in step, equal to what the show presents, and videos.
#include "platform/headless/headless.h"
#include "process_capture.h"
#include "render/flash.h"
#include "render/manifest.h"
#include "render/note.h"
#include "render/render.h"
#include "render/sheet.h"
#include "run_folder.h"
#include "test_images.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
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
        int width = 0, height = 0;
        const std::vector<uint32_t> words = ReadImage(name, &width, &height);
        ASSERT_EQ(width, 640);
        ASSERT_EQ(height, 480);
        ASSERT_EQ(words.size(), 640u * 480u);
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
    command = "ffprobe -v error -select_streams a:0 -show_entries stream=codec_name,duration "
              "-of default=nw=1:nk=1 clip.mp4 > audio.txt";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string audio = ReadFileBytes("audio.txt");
    EXPECT_EQ(audio.substr(0, 4), "aac\n");
    EXPECT_NEAR(std::atof(audio.c_str() + 4), 1.0, 0.05);
    EXPECT_FALSE(fs::exists("clip.mp4.audio.m4a")); // the temporary files are gone
    EXPECT_FALSE(fs::exists("clip.mp4.video.mp4"));
    EXPECT_FALSE(fs::exists("clip.mp4.chapters.txt"));
    // The one scene the second shows is its one chapter.
    ASSERT_EQ(std::system("ffprobe -v error -show_entries chapter=end_time:chapter_tags=title "
                          "-of default=nw=1:nk=1 clip.mp4 > chapters.txt"),
              0);
    EXPECT_EQ(ReadFileBytes("chapters.txt"), "1.000000\n1 particle swarm\n");

    // A lossless video holds the pictures exactly, in the right colours on machines of either
    // byte order: its first picture, decoded, is the first one the show presents.
    options.to = 0.01;
    options.videoPath = "clip.mkv";
    ASSERT_EQ(render::RenderShow(options), 0);
    ASSERT_EQ(std::system("ffmpeg -v error -i clip.mkv -frames:v 1 -f rawvideo -pix_fmt rgb24 "
                          "first.rgb"),
              0);
    const std::string rgb = ReadFileBytes("first.rgb");
    const std::vector<uint32_t> shown = PresentedPictures(1)[0];
    ASSERT_EQ(rgb.size(), shown.size() * 3);
    for (size_t i = 0; i < shown.size(); i++)
        ASSERT_EQ((static_cast<uint32_t>(static_cast<uint8_t>(rgb[i * 3])) << 16 |
                   static_cast<uint32_t>(static_cast<uint8_t>(rgb[i * 3 + 1])) << 8 |
                   static_cast<uint8_t>(rgb[i * 3 + 2])),
                  shown[i] & 0x00FFFFFF)
            << "pixel " << i;
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
        {"--keys", "1e300:Return"}, // no frame number a long holds
        {"--bench", "--frames", "out"},
        {"--fps"},
        {"--unknown"},
        {"--scale", "0", "--frames", "out"},
        {"--scale", "two", "--frames", "out"},
        {"--scale", "13", "--frames", "out"}, // wider than 8192
        {"--size", "639x480", "--video", "a.mp4"},
        {"--size", "1920x", "--video", "a.mp4"},
        {"--size", "0x0", "--frames", "out"},
        {"--size", "1922x1080", "--frames", "out"}, // BMP rows need a multiple of 4
        {"--size", "1920x1081", "--frames", "out"}, // H.264 needs an even height
        {"--scale", "2", "--size", "1920x1080", "--frames", "out"},
        {"--frame-only"}, // nothing to shape
        {"--quality", "good", "--video", "a.mp4"},
        {"--sheet", "show.bmp"},
        {"--sheet", "show.png", "--every", "0"},
        {"--sheet", "show.png", "--every", "ten"},
        {"--sheet", "show.png", "--bench"},
        {"--every", "5"}, // nothing to space
        {"--simd", "sse4"},
        {"--hashes", "show.frames", "--bench"}, // the manifest needs the music
        {"--compare", "a.frames"},
        {"--compare", "a.frames", "b.frames", "--quiet"},
        {"--flash-check", "--bench"},
        {"--note", "README.md"}, // the note needs the check's verdict
        {"--flash-check", "--check-note", "README.md", "--to", "60"}, // a note for a part
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

TEST(Render, ManifestsReadBackAndCompareFrameByFrame) {
    TempWorkingDirectory folder;
    render::Manifest expected;
    for (long frame = 0; frame < 7200; frame += 600) // one frame every 10 s, to 119 s
        expected.frames.push_back({frame, frame / 60.0, 0x0123456789abcdefull + frame});
    expected.hasMusic = true;
    expected.music = {48000, 2, 5760000, 0xfedcba9876543210ull};
    {
        std::FILE* file = std::fopen("show.frames", "wb");
        const std::string text = render::ManifestText(expected);
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
    render::Manifest read;
    std::string error;
    ASSERT_TRUE(render::ReadManifest("show.frames", &read, &error)) << error;
    EXPECT_EQ(render::ManifestText(read), render::ManifestText(expected));

    // A build whose frame 3000 (50 s, the object) differs, which lacks frame 6600 (110 s,
    // planes), has a frame the manifest does not, and whose music differs.
    render::Manifest build = read;
    build.frames[5].hash ^= 1;
    build.frames.erase(build.frames.begin() + 11);
    build.frames.push_back({7250, 7250 / 60.0, 1});
    build.music.hash ^= 1;
    render::ManifestComparison result = render::CompareManifests(read, build, 0.0, 1.0e9);
    EXPECT_FALSE(result.PicturesEqual());
    EXPECT_EQ(result.compared, 11);
    EXPECT_EQ(result.equal, 10);
    EXPECT_EQ(result.missing, 1);
    EXPECT_EQ(result.unexpected, 1);
    EXPECT_EQ(result.differPerPart[1], 1); // the object
    EXPECT_EQ(result.differPerPart[4], 1); // planes and cylinder
    EXPECT_EQ(result.music, render::ManifestComparison::Music::kDiffers);
    const std::string report = render::DescribeComparison(result);
    EXPECT_NE(report.find("3000   50.000000  2 mirrored object"), std::string::npos) << report;
    EXPECT_NE(report.find("manifest: 11 frames compared, 10 equal; music differs"),
              std::string::npos);
    // A run of the first minute alone misses nothing, and its music is not comparable.
    render::Manifest firstMinute = read;
    firstMinute.frames.resize(6);
    firstMinute.music.sampleFrames = 48000 * 60;
    result = render::CompareManifests(read, firstMinute, 0.0, 60.0);
    EXPECT_TRUE(result.PicturesEqual());
    EXPECT_EQ(result.music, render::ManifestComparison::Music::kNotCompared);

    for (const char* line :
         {"12 0.2 0123456789abcdeX", "12 0.2 0123456789abcdef extra", "-1 0.0 0123456789abcdef",
          "0 0.0 0123456789abcdef", "music 48000 2 10 0123456789abcdef"}) {
        std::FILE* file = std::fopen("bad.frames", "wb");
        std::fprintf(
            file, "# header\n0 0.0 0123456789abcdef\nmusic 48000 2 1 00000000000000ff\n%s\n", line);
        std::fclose(file);
        EXPECT_FALSE(render::ReadManifest("bad.frames", &read, &error)) << line;
        EXPECT_NE(error.find("bad.frames:4:"), std::string::npos) << error;
    }
}

TEST(Render, CaptureGeometryEnlargesByWholeFactorsAndCentres) {
    struct Case {
        std::vector<const char*> arguments;
        int scale, width, height, left, top, sourceLeft, sourceTop;
    };
    const Case cases[] = {
        {{}, 1, 640, 480, 0, 0, 0, 0},
        {{"--scale", "3"}, 3, 1920, 1440, 0, 0, 0, 0},
        {{"--frame-only"}, 1, 512, 256, 0, 0, 64, 112},
        {{"--frame-only", "--scale", "2"}, 2, 1024, 512, 0, 0, 64, 112},
        {{"--size", "1920x1080"}, 2, 1920, 1080, 320, 60, 0, 0},
        {{"--size", "640x480"}, 1, 640, 480, 0, 0, 0, 0},
        {{"--frame-only", "--size", "1920x1080"}, 3, 1920, 1080, 192, 156, 64, 112},
        {{"--size", "3840x2160"}, 4, 3840, 2160, 640, 120, 0, 0},
    };
    for (const Case& c : cases) {
        std::vector<const char*> arguments = c.arguments;
        arguments.push_back("--frames");
        arguments.push_back("out");
        render::Options options;
        std::string error;
        ASSERT_TRUE(ParseArguments(arguments, &options, &error)) << error;
        const render::CaptureGeometry& g = options.geometry;
        EXPECT_EQ(std::vector<int>(
                      {g.scale, g.width, g.height, g.left, g.top, g.sourceLeft, g.sourceTop}),
                  std::vector<int>(
                      {c.scale, c.width, c.height, c.left, c.top, c.sourceLeft, c.sourceTop}))
            << (c.arguments.empty() ? "default" : c.arguments.back());
    }
}

TEST(Render, EverySourcePixelBecomesAUniformBlockOnBlack) {
    // A display whose every pixel differs, with the top byte set (it must not reach the output).
    std::vector<uint32_t> display(640 * 480);
    for (size_t i = 0; i < display.size(); i++)
        display[i] = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
    for (bool frameOnly : {false, true}) {
        render::CaptureRequest request;
        request.frameOnly = frameOnly;
        request.sized = true;
        request.width = 1920;
        request.height = 1080;
        render::CaptureGeometry g;
        std::string error;
        ASSERT_TRUE(render::MakeCaptureGeometry(request, &g, &error)) << error;
        std::vector<uint32_t> out(static_cast<size_t>(g.width) * g.height, 0x12345678);
        render::ComposeCapture(g, reinterpret_cast<const uint8_t*>(display.data()), 640 * 4,
                               out.data());
        int wrong = 0;
        for (int y = 0; y < g.height; y++)
            for (int x = 0; x < g.width; x++) {
                const int sx = x - g.left, sy = y - g.top;
                const bool inside = sx >= 0 && sy >= 0 && sx < g.sourceWidth * g.scale &&
                                    sy < g.sourceHeight * g.scale;
                const uint32_t expected = inside ? display[(g.sourceTop + sy / g.scale) * 640 +
                                                           g.sourceLeft + sx / g.scale] &
                                                       0x00FFFFFF
                                                 : 0u;
                wrong += out[static_cast<size_t>(y) * g.width + x] != expected;
            }
        EXPECT_EQ(wrong, 0) << (frameOnly ? "frame only" : "display");
    }
}

TEST(Render, WritesEnlargedFramesOfTheFrameAlone) {
    TempWorkingDirectory folder;
    PrepareRunFolder();
    render::Options options;
    std::string error;
    ASSERT_TRUE(ParseArguments({"--frames", "big", "--frame-only", "--scale", "2", "--to", "0.05"},
                               &options, &error))
        << error;
    ASSERT_EQ(render::RenderShow(options), 0);
    std::vector<std::vector<uint32_t>> shown = PresentedPictures(3);
    int width = 0, height = 0;
    const std::vector<uint32_t> words = ReadImage("big/frame_000002.bmp", &width, &height);
    ASSERT_EQ(width, 1024);
    ASSERT_EQ(height, 512);
    ASSERT_EQ(words.size(), 1024u * 512u);
    int wrong = 0;
    for (int y = 0; y < 512; y++)
        for (int x = 0; x < 1024; x++)
            wrong += words[y * 1024 + x] != (shown[2][(112 + y / 2) * 640 + 64 + x / 2] & 0xFFFFFF);
    EXPECT_EQ(wrong, 0);
}

TEST(Render, ContactSheetThumbnailsAreHalfFramesInRowsWithLabels) {
    render::ContactSheet sheet(10.0, 25.0, 60); // thumbnails at 0, 10 and 20 s
    EXPECT_EQ(sheet.Width(), 2 * 16 + 3 * 256 + 2 * 12);
    std::vector<uint32_t> display(640 * 480, 0);
    std::vector<long> frames;
    for (int k = 0; sheet.NextFrame() >= 0; k++) {
        frames.push_back(sheet.NextFrame());
        // Frame pixels (64 + x, 112 + y) of 10, 20, 30 and 41 in each channel around (0, 0) of
        // the frame: their mean, 25.25, rounds to 25.
        for (int i = 0; i < 4; i++)
            display[(112 + i / 2) * 640 + 64 + i % 2] =
                0x010101u * static_cast<uint32_t>(i == 3 ? 41 : 10 * (i + 1));
        display[(112 + 255) * 640 + 64 + 511] = 0x00FF0000u + static_cast<uint32_t>(k);
        sheet.Add(reinterpret_cast<const uint8_t*>(display.data()), 640 * 4, "scene");
    }
    EXPECT_EQ(frames, (std::vector<long>{0, 600, 1200}));
    const std::vector<uint32_t>& pixels = sheet.Pixels();
    const int top = 16 + 34;
    for (int k = 0; k < 3; k++) {
        const int left = 16 + k * (256 + 12);
        EXPECT_EQ(pixels[top * sheet.Width() + left], 0x191919u) << k;
        // The bottom-right 2 x 2 block holds one red pixel beside three black ones.
        EXPECT_EQ(pixels[(top + 127) * sheet.Width() + left + 255],
                  static_cast<uint32_t>((255 + 2) / 4) << 16 | static_cast<uint32_t>(k + 2) / 4)
            << k;
        int lettered = 0; // label pixels below the thumbnail
        for (int y = top + 128; y < top + 128 + 16; y++)
            for (int x = left; x < left + 256; x++)
                lettered += pixels[y * sheet.Width() + x] == 0xE0E0E0u;
        EXPECT_GT(lettered, 40) << k;
    }
    if (!render::CanWritePng())
        GTEST_SKIP() << "this build cannot write PNG files";
    TempWorkingDirectory folder;
    std::string error;
    ASSERT_TRUE(sheet.WritePng("a.png", &error)) << error;
    ASSERT_TRUE(sheet.WritePng("b.png", &error)) << error;
    const std::string bytes = ReadFileBytes("a.png");
    EXPECT_EQ(bytes, ReadFileBytes("b.png"));
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(1, 3), "PNG");
    auto bigEndian = [&](size_t at) {
        return static_cast<int>(
            static_cast<uint8_t>(bytes[at]) << 24 | static_cast<uint8_t>(bytes[at + 1]) << 16 |
            static_cast<uint8_t>(bytes[at + 2]) << 8 | static_cast<uint8_t>(bytes[at + 3]));
    };
    EXPECT_EQ(bigEndian(16), sheet.Width());
    EXPECT_EQ(bigEndian(20), sheet.Height());
}

// A picture of the display size, one colour inside a rectangle and another around it.
std::vector<uint32_t> Patch(int left, int top, int width, int height, uint32_t inside,
                            uint32_t outside) {
    std::vector<uint32_t> picture(640 * 480, outside);
    for (int y = top; y < top + height; y++)
        std::fill_n(picture.begin() + y * 640 + left, width, inside);
    return picture;
}

// Two seconds at 24 frames per second of pictures made by `picture(frame)`.
render::FlashAnalysis Analyse(const std::function<std::vector<uint32_t>(int frame)>& picture) {
    render::FlashAnalysis analysis(640, 480, 24);
    for (int frame = 0; frame < 48; frame++)
        analysis.AddPicture(picture(frame).data(), 640);
    return analysis;
}

TEST(Render, FlashCheckAppliesTheGeneralAndRedThresholds) {
    EXPECT_DOUBLE_EQ(render::RelativeLuminance(0xFFFFFF), 1.0);
    EXPECT_NEAR(render::RelativeLuminance(0x808080), 0.2159, 0.0001);
    EXPECT_TRUE(render::IsSaturatedRed(0xCC3300));  // 204 / 255 = 0.8
    EXPECT_FALSE(render::IsSaturatedRed(0xCB3300)); // 203 / 254
    EXPECT_FALSE(render::IsSaturatedRed(0x000000));

    struct Case {
        const char* name;
        int left, top, width, height; // the part that changes
        uint32_t on, off;
        int framesPerState; // 3: four flashes a second at 24 fps
        bool generalFails, redFails;
    };
    const Case cases[] = {
        {"full frame black and white, 4 a second", 0, 0, 640, 480, 0xFFFFFF, 0, 3, true, false},
        {"full frame black and white, 2 a second", 0, 0, 640, 480, 0xFFFFFF, 0, 6, false, false},
        {"a small square, 12 a second", 300, 200, 80, 80, 0xFFFFFF, 0, 1, false, false},
        {"33 blocks (8,448 pixels)", 160, 160, 176, 48, 0xFFFFFF, 0, 3, false, false},
        {"36 blocks (9,216 pixels)", 160, 160, 192, 48, 0xFFFFFF, 0, 3, true, false},
        {"darker state at 0.85", 0, 0, 640, 480, 0xFFFFFF, 0xEDEDED, 3, false, false},
        {"steps of 0.07, 12 a second", 0, 0, 640, 480, 0x808080, 0x6A6A6A, 1, false, false},
        {"saturated red and grey of its luminance", 0, 0, 640, 480, 0xFF0000, 0x808080, 3, false,
         true},
    };
    for (const Case& c : cases) {
        const render::FlashAnalysis analysis = Analyse([&c](int frame) {
            return Patch(c.left, c.top, c.width, c.height,
                         frame / c.framesPerState % 2 ? c.on : c.off, 0);
        });
        bool generalFails = false, redFails = false;
        for (const render::FlashSecond& second : analysis.FailingSeconds()) {
            generalFails = generalFails || second.general.Fails();
            redFails = redFails || second.red.Fails();
        }
        EXPECT_EQ(generalFails, c.generalFails) << c.name;
        EXPECT_EQ(redFails, c.redFails) << c.name;
    }

    // The report and the note name the failing seconds: a whole field (14 x 10 blocks of 16)
    // flashing; the first second has seven changes, the periods that end in the next eight.
    const render::FlashAnalysis flashing =
        Analyse([](int frame) { return Patch(0, 0, 640, 480, frame / 3 % 2 ? 0xFFFFFF : 0, 0); });
    ASSERT_EQ(flashing.FailingSeconds().size(), 1u);
    EXPECT_EQ(flashing.FailingSeconds()[0].general.flashes, 4);
    EXPECT_EQ(flashing.FailingSeconds()[0].general.area, 224 * 160);
    const std::string report = render::DescribeFlashes(flashing, 60.0, nullptr);
    EXPECT_NE(report.find("1:01"), std::string::npos) << report;
    EXPECT_NE(report.find("flash check: fails in 1 second (1:01)"), std::string::npos) << report;
    EXPECT_NE(render::FlashNote(flashing, 60.0)
                  .find("general-flash threshold of WCAG 2.2"
                        " (success criterion 2.3.1) in the stretch 1:01"),
              std::string::npos);
}

TEST(Render, FlashNoteGoesBetweenTheMarkersOfEachKindOfFile) {
    TempWorkingDirectory folder;
    const std::string note = "Photosensitivity: a <short> note & one that is long enough to be "
                             "wrapped at the width of each kind of file, which is about a hundred "
                             "columns for most of them.";
    struct Case {
        const char* path;
        const char* firstLine; // of the block, at most 100 or 95 (.txt) columns
    };
    const Case cases[] = {
        {"a.md", "Photosensitivity: a <short> note & one that is long enough to be wrapped at the "
                 "width of each kind\n"},
        {"a.txt", "Photosensitivity: a <short> note & one that is long enough to be wrapped at the "
                  "width of each\n"},
        {"a.html", "  Photosensitivity: a &lt;short&gt; note &amp; one that is long enough to be "
                   "wrapped at the width of\n"},
        {"a.xml", "  <p>Photosensitivity: a &lt;short&gt; note &amp; one that is long enough to "
                  "be wrapped at the width\n"},
    };
    for (const Case& c : cases) {
        const std::string indent =
            fs::path(c.path).extension() == ".md" || fs::path(c.path).extension() == ".txt" ? ""
                                                                                            : "  ";
        const std::string before = "text before\n" + indent + "<!-- flash-note:begin -->\n";
        const std::string after = indent + "<!-- flash-note:end -->\ntext after\n";
        std::ofstream(c.path, std::ios::binary) << before << "an old note\n" << after;
        bool current = true;
        std::string error;
        ASSERT_TRUE(
            render::UpdateNoteFile(c.path, note, render::NoteAction::kCompare, &current, &error))
            << error;
        EXPECT_FALSE(current) << c.path;
        ASSERT_TRUE(
            render::UpdateNoteFile(c.path, note, render::NoteAction::kWrite, &current, &error))
            << error;
        const std::string text = ReadFileBytes(c.path);
        EXPECT_EQ(text.substr(0, before.size() + std::string(c.firstLine).size()),
                  before + c.firstLine);
        EXPECT_EQ(text.substr(text.size() - after.size()), after) << c.path;
        ASSERT_TRUE(
            render::UpdateNoteFile(c.path, note, render::NoteAction::kCompare, &current, &error));
        EXPECT_TRUE(current) << c.path;
    }
    // A file without markers is refused and left alone; a new file gets markers and the note.
    std::ofstream("plain.md", std::ios::binary) << "no markers\n";
    bool current = false;
    std::string error;
    EXPECT_FALSE(
        render::UpdateNoteFile("plain.md", note, render::NoteAction::kWrite, &current, &error));
    EXPECT_NE(error.find("flash-note:begin"), std::string::npos) << error;
    EXPECT_EQ(ReadFileBytes("plain.md"), "no markers\n");
    EXPECT_FALSE(
        render::UpdateNoteFile("new.xml", note, render::NoteAction::kCompare, &current, &error));
    ASSERT_TRUE(
        render::UpdateNoteFile("new.xml", note, render::NoteAction::kWrite, &current, &error));
    ASSERT_TRUE(
        render::UpdateNoteFile("new.xml", note, render::NoteAction::kCompare, &current, &error));
    EXPECT_TRUE(current);
}

TEST(Render, VideoChaptersAreTheSixScenesCutToTheVideo) {
    struct Case {
        double first, duration;
        std::vector<std::string> chapters; // "title start end"
    };
    const Case cases[] = {
        {0.0,
         180.0 + 1.0 / 60,
         {"1 particle swarm 0 35", "2 mirrored object 35 60", "3 ball 60 75",
          "4 rippled plane 75 90", "5 planes, cylinder 90 122",
          "6 rotozoom, end logo 122 180.017"}},
        {30.0, 35.0, {"1 particle swarm 0 5", "2 mirrored object 5 30", "3 ball 30 35"}},
        {125.0, 10.0, {"6 rotozoom, end logo 0 10"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> chapters;
        for (const render::Chapter& chapter : render::VideoChapters(c.first, c.duration)) {
            char times[64];
            std::snprintf(times, sizeof(times), " %g %g", chapter.start, chapter.end);
            chapters.push_back(chapter.title + times);
        }
        EXPECT_EQ(chapters, c.chapters) << c.first;
    }
    EXPECT_EQ(
        render::ChapterMetadata({{"a=b;#c", 1.0, 2.5}}),
        ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=1000\nEND=2500\ntitle=a\\=b\\;\\#c\n");
}

} // namespace
