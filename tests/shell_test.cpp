// The shell on the headless back end, in the shipped configuration (full screen, flip chain):
// start-up order and failures, the message pump, presentation, the clock and screenshots.
#include "assets/bmp.h"
#include "base/framebuffer.h"
#include "base/framehash.h"
#include "base/process.h"
#include "platform/backend.h"
#include "platform/headless/headless.h"
#include "process_capture.h"
#include "run_folder.h"
#include "shell/clock.h"
#include "shell/demo.h"
#include "shell/display.h"
#include "test_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

using Names = std::vector<std::string>;

const Names kStartUp = {"RegisterClass",
                        "CreateWindowEx",
                        "BringWindowToTop",
                        "SetActiveWindow",
                        "DirectDrawCreate",
                        "SetCooperativeLevel",
                        "SetDisplayMode",
                        "CreateSurface",
                        "GetAttachedSurface",
                        "Lock",
                        "Unlock",
                        "ShowCursor",
                        "SetPriorityClass",
                        "MIDASstartup",
                        "MIDASsetOption",
                        "MIDASsetOption",
                        "MIDASconfig",
                        "MIDASinit",
                        "MIDASloadModule",
                        "MIDASplayModule",
                        "MIDASsetMusicSyncCallback",
                        "MIDASstartBackgroundPlay",
                        "ShowCursor"};

Names NamesStartingWith(const std::string& prefix) {
    Names found;
    for (const std::string& name : headless::CallNames())
        if (name.rfind(prefix, 0) == 0)
            found.push_back(name);
    return found;
}

// The calls after the last one recorded as `entry` (a whole entry, or a call's name).
Names NamesAfter(const std::string& entry) {
    const std::vector<std::string>& log = headless::CallLog();
    auto last = std::find_if(log.rbegin(), log.rend(), [&](const std::string& recorded) {
        return recorded == entry || recorded.rfind(entry + " ", 0) == 0;
    });
    Names after;
    for (auto it = last.base(); it != log.end(); ++it)
        after.push_back(it->substr(0, it->find(' ')));
    return after;
}

class ShellRun : public testing::Test {
  protected:
    void SetUp() override {
        headless::Reset();
        PrepareRunFolder();
    }
    TempWorkingDirectory folder;
};

TEST_F(ShellRun, StartsUpInOrderAndQuitsOnEscapeAfterStoppingTheMusic) {
    headless::ScriptKey(3, VK_ESCAPE);
    ProgramResult result = RunProgram();
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "");

    Names names = headless::CallNames();
    ASSERT_GE(names.size(), kStartUp.size());
    EXPECT_EQ(Names(names.begin(), names.begin() + kStartUp.size()), kStartUp);
    EXPECT_EQ(headless::CallLog()[1], "CreateWindowEx 0 DOZEZER Duziv2i " +
                                          std::to_string(WS_POPUP | WS_VISIBLE) + " 0 0 640 480");
    EXPECT_EQ(headless::CallLog()[5], "SetCooperativeLevel 23");
    EXPECT_EQ(headless::CallLog()[6], "SetDisplayMode 640 480 32");
    EXPECT_EQ(headless::CallLog()[7], "CreateSurface 33 16920 1");
    EXPECT_EQ(headless::CallLog()[12], "SetPriorityClass 128");
    ASSERT_NE(mainWindow, nullptr);
    EXPECT_EQ(headless::CallLog()[14],
              "MIDASsetOption 6 " + std::to_string(reinterpret_cast<uintptr_t>(mainWindow)));
    EXPECT_EQ(headless::CallLog()[15], "MIDASsetOption 5 2");
    EXPECT_EQ(headless::CallLog()[18], "MIDASloadModule data/mirel.xm");
    EXPECT_EQ(headless::CallLog()[19], "MIDASplayModule 1");
    EXPECT_EQ(headless::CallLog()[21], "MIDASstartBackgroundPlay 20");

    // The key is handled in the fourth present, the quit message taken by the fifth.
    EXPECT_EQ(headless::PresentCount(), 4);
    EXPECT_EQ(NamesAfter("PeekMessage 18 0"),
              Names({"MIDASstopModule", "MIDASfreeModule", "MIDASclose", "DestroyWindow"}));
    EXPECT_FALSE(headless::WindowExists());
    EXPECT_FALSE(headless::CursorVisible());
}

TEST_F(ShellRun, ClosingTheWindowQuitsTheSameWay) {
    headless::ScriptClose(2);
    ProgramResult result = RunProgram();
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(headless::PresentCount(), 3);
    EXPECT_EQ(NamesAfter("PeekMessage 18 0"),
              Names({"MIDASstopModule", "MIDASfreeModule", "MIDASclose", "DestroyWindow"}));
}

TEST_F(ShellRun, TakesOneMessagePerFrameInQueueOrderAndSwallowsOtherKeys) {
    headless::ScriptKey(2, 'A');
    headless::ScriptKey(2, 'B');
    headless::ScriptKey(2, VK_ESCAPE);
    ProgramResult result = RunProgram();
    EXPECT_EQ(result.exitCode, 0);
    // Keys at presents 2, 3 and 4; the quit message waits behind them and ends present 5.
    EXPECT_EQ(headless::PresentCount(), 5);
    EXPECT_EQ(NamesStartingWith("PeekMessage").size(), 4u);
    const std::vector<std::string>& log = headless::CallLog();
    auto a = std::find(log.begin(), log.end(), "PeekMessage 256 65");
    auto b = std::find(log.begin(), log.end(), "PeekMessage 256 66");
    auto escape = std::find(log.begin(), log.end(), "PeekMessage 256 27");
    ASSERT_TRUE(a < b && b < escape && escape != log.end());
    EXPECT_EQ(std::count(a, b, "Flip 0"), 1); // exactly one frame between two messages
    EXPECT_TRUE(NamesStartingWith("DefWindowProc").empty());
}

TEST_F(ShellRun, ConfigurationDeclinedEndsWithOneAndNothingElse) {
    headless::FailCall("MIDASconfig");
    ProgramResult result = RunProgram();
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(NamesAfter("MIDASconfig"), Names());
    EXPECT_EQ(headless::PresentCount(), 0);
}

TEST_F(ShellRun, SoundFailuresPrintTheLibraryTextAndEndWithOne) {
    for (const char* call : {"MIDASinit", "MIDASloadModule", "MIDASplayModule"}) {
        SCOPED_TRACE(call);
        headless::Reset();
        headless::FailCall(call);
        ProgramResult result = RunProgram();
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.output, std::string("MIDAS error: ") + call + " failed (simulated)\n");
        EXPECT_EQ(NamesAfter(call), Names({"MIDASclose"}));
    }
}

TEST_F(ShellRun, MissingModuleNamesTheFile) {
    std::filesystem::remove("data/mirel.xm");
    ProgramResult result = RunProgram();
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output,
              "MIDAS error: Unable to read module file data/mirel.xm: No such file or directory\n");
}

TEST_F(ShellRun, DamagedModuleIsASoundFailure) {
    std::filesystem::remove("data/mirel.xm");
    WriteFileBytes("data/mirel.xm", "Extended Module: but nothing else");
    ProgramResult result = RunProgram();
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output.rfind("MIDAS error: Invalid module file data/mirel.xm", 0), 0u)
        << result.output;
}

TEST_F(ShellRun, SoundFailureAtQuitEndsWithOne) {
    for (const char* call : {"MIDASstopModule", "MIDASfreeModule", "MIDASclose"}) {
        SCOPED_TRACE(call);
        headless::Reset();
        headless::FailCall(call);
        headless::ScriptKey(1, VK_ESCAPE);
        ProgramResult result = RunProgram();
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.output, std::string("MIDAS error: ") + call + " failed (simulated)\n");
    }
}

TEST_F(ShellRun, NoPerformanceCounterEndsWithTenBeforeTheDemoAndTheMusic) {
    for (const char* call : {"QueryPerformanceCounter", "QueryPerformanceFrequency"}) {
        SCOPED_TRACE(call);
        headless::Reset();
        headless::FailCall(call);
        ProgramResult result = RunProgram();
        EXPECT_EQ(result.exitCode, 10);
        EXPECT_EQ(result.output, "");
        EXPECT_EQ(theDemo, nullptr);
        EXPECT_TRUE(NamesStartingWith("MIDAS").empty());
    }
}

TEST_F(ShellRun, DisplaySetUpFailuresAreFatalAndSilent) {
    const std::pair<const char*, const char*> cases[] = {
        {"DirectDrawCreate", "impossible de poser le ddraw!!\n"},
        {"SetCooperativeLevel", "impossible de poser le SetCooperativeLevel!!\n"},
        {"SetDisplayMode", "impossible de poser le fullscreen!!\n"},
        {"CreateSurface", "impossible de poser le CreateSurface!!\n"},
        {"GetAttachedSurface", "impossible de poser le CreateSurface!!\n"},
        {"CreateWindowEx", "impossible de creer la fenetre!!\n"},
    };
    for (const auto& [call, message] : cases) {
        SCOPED_TRACE(call);
        headless::Reset();
        headless::FailCall(call);
        ProgramResult result = RunProgram();
        EXPECT_EQ(result.exitCode, kFatalExitCode);
        EXPECT_EQ(result.output, "");
        EXPECT_STREQ(LastFatalMessage(), message);
        EXPECT_TRUE(NamesStartingWith("MIDAS").empty());
    }
}

TEST_F(ShellRun, AfterALostDisplayTheShowGoesOnWithTheFramesItWouldHaveShown) {
    auto frameHashes = [](bool loseDisplay) {
        headless::Reset();
        if (loseDisplay)
            headless::ScriptSurfaceLoss(3); // after the third frame, and back at once
        headless::ScriptKey(8, VK_ESCAPE);
        std::vector<uint64_t> hashes;
        headless::SetPresentHook([&](const headless::Picture& picture) {
            hashes.push_back(HashFrame(picture.pixels + kFrameTop * picture.pitch + kFrameLeft * 4,
                                       picture.pitch));
        });
        EXPECT_EQ(RunProgram().exitCode, 0);
        headless::SetPresentHook(nullptr);
        return hashes;
    };
    const std::vector<uint64_t> lost = frameHashes(true);
    EXPECT_EQ(std::count(headless::CallLog().begin(), headless::CallLog().end(), "Restore primary"),
              1);
    EXPECT_EQ(lost.size(), 9u); // Escape handled in the ninth present
    EXPECT_EQ(lost, frameHashes(false));
    EXPECT_EQ(NamesStartingWith("Restore"), Names());
}

// --- Presentation, driven call by call ---

uint32_t PatternPixel(int i, uint32_t seed) {
    return ((static_cast<uint32_t>(i) + seed) * 2654435761u) & 0xFFFFFF;
}

class Presentation : public testing::Test {
  protected:
    void SetUp() override { Start(headless::Config()); }
    void TearDown() override { ResetShellState(); }

    void Start(const headless::Config& config) {
        headless::Reset(config);
        StartHeadlessDisplay();
    }

    void Fill(uint32_t seed) {
        for (int i = 0; i < kFramePixels; i++)
            theDemo->frameBuffer[i] = PatternPixel(i, seed);
    }

    // Checks the picture: the frame at (64, 112), `outside` everywhere else.
    static void ExpectPicture(const headless::Picture& picture, uint32_t seed, uint32_t outside) {
        ASSERT_NE(picture.pixels, nullptr);
        int wrongInside = 0, wrongOutside = 0;
        for (int y = 0; y < 480; y++)
            for (int x = 0; x < 640; x++) {
                bool inside = x >= 64 && x < 576 && y >= 112 && y < 368;
                uint32_t want = inside ? PatternPixel((y - 112) * 512 + (x - 64), seed) : outside;
                (inside ? wrongInside : wrongOutside) += picture.At(x, y) != want;
            }
        EXPECT_EQ(wrongInside, 0);
        EXPECT_EQ(wrongOutside, 0);
    }

    static void ExpectUniform(const headless::Picture& picture, uint32_t word) {
        ASSERT_NE(picture.pixels, nullptr);
        int wrong = 0;
        for (int y = 0; y < picture.height; y++)
            for (int x = 0; x < picture.width; x++)
                wrong += picture.At(x, y) != word;
        EXPECT_EQ(wrong, 0);
    }

    TempWorkingDirectory folder;
};

TEST_F(Presentation, SetUpClearsOnlyTheBackBufferAndFramesNeverTouchTheBorder) {
    const uint32_t fresh = headless::Config().freshSurfaceWord;
    ExpectUniform(headless::BackBuffer(), 0);
    ExpectUniform(headless::Display(), fresh);

    Fill(1);
    EXPECT_EQ(PresentFrame(theDemo->frameBuffer), 0);
    ExpectPicture(headless::Display(), 1, 0);
    ExpectUniform(headless::BackBuffer(), fresh);

    Fill(2);
    PresentFrame(theDemo->frameBuffer);
    ExpectPicture(headless::Display(), 2, fresh);
    Fill(3);
    PresentFrame(theDemo->frameBuffer);
    ExpectPicture(headless::Display(), 3, 0);
    ExpectPicture(headless::BackBuffer(), 2, fresh);
}

TEST_F(Presentation, UsesThePitchTheSurfaceReports) {
    headless::Config config;
    config.fullScreenPitch = 4096;
    Start(config);
    Fill(7);
    PresentFrame(theDemo->frameBuffer);
    ExpectPicture(headless::Display(), 7, 0);
}

TEST_F(Presentation, AFailedLockSkipsTheFrame) {
    Fill(1);
    PresentFrame(theDemo->frameBuffer);
    headless::FailCall("Lock");
    Fill(2);
    EXPECT_NE(PresentFrame(theDemo->frameBuffer), 0);
    EXPECT_EQ(headless::CallLog().back().rfind("Lock", 0), 0u); // no copy, no flip after it
    EXPECT_EQ(headless::PresentCount(), 1);
    ExpectPicture(headless::Display(), 1, 0);
}

TEST_F(Presentation, ALostDisplayIsRestoredClearedAndDrawnOnceItIsBack) {
    Fill(1);
    PresentFrame(theDemo->frameBuffer);
    headless::ScriptSurfaceLoss(1, 2); // the show is in the background for two frames
    Fill(2);
    for (int away = 0; away < 2; away++)
        EXPECT_NE(PresentFrame(theDemo->frameBuffer), 0);
    EXPECT_EQ(headless::PresentCount(), 1);

    EXPECT_EQ(PresentFrame(theDemo->frameBuffer), 0);
    EXPECT_EQ(headless::PresentCount(), 2);
    EXPECT_EQ(NamesAfter("Restore primary"),
              Names({"Lock", "Unlock", "Lock", "Unlock", "Lock", "Unlock", "Flip"}));
    // The restored memory held the fresh-surface word; both buffers were cleared.
    ExpectPicture(headless::Display(), 2, 0);
    ExpectUniform(headless::BackBuffer(), 0);
    Fill(3);
    PresentFrame(theDemo->frameBuffer);
    ExpectPicture(headless::Display(), 3, 0);
}

TEST_F(Presentation, OtherMessagesGoToTheDefaultProcedure) {
    PostWindowMessage(0x0400, 1, 2);
    PresentFrame(theDemo->frameBuffer);
    const std::vector<std::string>& log = headless::CallLog();
    EXPECT_NE(std::find(log.begin(), log.end(), "DefWindowProc 1024"), log.end());
}

TEST_F(Presentation, ClockStartsAtZeroAndAdvancesOneFramePerPresent) {
    ResetSceneClock();
    EXPECT_EQ(SceneSeconds(), 0.0L);
    EXPECT_EQ(SceneSeconds(), 0.0L);
    for (int frame = 1; frame <= 120; frame++) {
        PresentFrame(theDemo->frameBuffer);
        ASSERT_EQ(SceneSeconds(), frame * static_cast<long double>(headless::kTicksPerFrame) /
                                      (headless::kTicksPerFrame * 60));
    }
    EXPECT_EQ(SceneSeconds(), 2.0L);
}

TEST_F(Presentation, ReturnSavesTheFrameThatThisPresentShows) {
    const size_t kScreenshotBytes = 14 + 40 + 4 + kFramePixels * 3;
    for (int shot = 1; shot <= 3; shot++) {
        Fill(static_cast<uint32_t>(shot));
        PostWindowMessage(WM_KEYDOWN, VK_RETURN, 1);
        PresentFrame(theDemo->frameBuffer);
        Fill(100); // drawing goes on; the file holds what the display shows

        std::string name = "grab_" + std::to_string(shot) + ".bmp";
        ASSERT_EQ(std::filesystem::file_size(name), kScreenshotBytes);
        int width = 0, height = 0;
        const std::vector<uint32_t> words = ReadImage(name, &width, &height); // and 24-bit
        ASSERT_EQ(width, 512);
        ASSERT_EQ(height, 256);
        ASSERT_EQ(words.size(), static_cast<size_t>(kFramePixels));
        headless::Picture shown = headless::Display();
        int wrong = 0;
        for (int i = 0; i < kFramePixels; i++)
            wrong += words[i] != shown.At(64 + i % 512, 112 + i / 512);
        EXPECT_EQ(wrong, 0);
    }
    // A new run numbers from 1 again and overwrites the first file.
    ResetScreenshotCounter();
    Fill(9);
    PostWindowMessage(WM_KEYDOWN, VK_RETURN, 1);
    PresentFrame(theDemo->frameBuffer);
    EXPECT_FALSE(std::filesystem::exists("grab_4.bmp"));
    std::string bytes = ReadFileBytes("grab_1.bmp");
    ASSERT_EQ(bytes.size(), kScreenshotBytes);
    EXPECT_EQ(static_cast<uint8_t>(bytes[58]), PatternPixel(0, 9) & 0xFF);
}

TEST_F(Presentation, AScreenshotReadsTheSameInImageMagick) {
    if (std::system("convert -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    Fill(5);
    PostWindowMessage(WM_KEYDOWN, VK_RETURN, 1);
    PresentFrame(theDemo->frameBuffer);
    std::FILE* pipe = popen("convert grab_1.bmp -depth 8 rgb:- 2>/dev/null", "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<uint8_t> rgb(kFramePixels * 3);
    size_t got = std::fread(rgb.data(), 1, rgb.size(), pipe);
    pclose(pipe);
    ASSERT_EQ(got, rgb.size());
    int wrong = 0;
    for (int i = 0; i < kFramePixels; i++) {
        uint32_t word = static_cast<uint32_t>(rgb[3 * i]) << 16 |
                        static_cast<uint32_t>(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
        wrong += word != PatternPixel(i, 5);
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(Presentation, AScreenshotThatCannotBeWrittenIsSkipped) {
    std::filesystem::create_directory("grab_1.bmp"); // the name is taken by a folder
    PostWindowMessage(WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(PresentFrame(theDemo->frameBuffer), 0);
    EXPECT_EQ(headless::PresentCount(), 1);
    PostWindowMessage(WM_KEYDOWN, VK_RETURN, 1);
    PresentFrame(theDemo->frameBuffer);
    EXPECT_TRUE(std::filesystem::is_regular_file("grab_2.bmp"));
}

} // namespace
