// The shell built for a window on the desktop (FullScreen 0, FlipChain 0): start-up differences
// and the windowed copy, clipped to the desktop.
#include "base/framebuffer.h"
#include "base/process.h"
#include "platform/headless/headless.h"
#include "process_capture.h"
#include "run_folder.h"
#include "shell/demo.h"
#include "shell/display.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

uint32_t PatternPixel(int i) {
    return (static_cast<uint32_t>(i) * 2654435761u) & 0xFFFFFF;
}

class WindowedShell : public testing::Test {
  protected:
    void TearDown() override { ResetShellState(); }

    // Opens the window and the display on a desktop of this shape, then presents one frame.
    void PresentOnDesktop(const headless::Config& config) {
        ResetShellState();
        headless::Reset(config);
        WNDCLASS windowClass = {};
        windowClass.lpfnWndProc = DemoWindowProc;
        windowClass.lpszClassName = "DOZEZER";
        RegisterClass(&windowClass);
        mainWindow = CreateWindowEx(0, "DOZEZER", "Duziv2i", WS_POPUP | WS_VISIBLE | WS_CAPTION, 0,
                                    0, 518, 281, nullptr, nullptr, nullptr, nullptr);
        InitDisplay(mainWindow);
        theDemo = new Demo;
        for (int i = 0; i < kFramePixels; i++)
            theDemo->frameBuffer[i] = PatternPixel(i);
        PresentFrame(theDemo->frameBuffer);
    }

    // Checks that exactly the frame pixels (c, r) with the given limits landed at
    // (origin + (c, r)) and that no other desktop pixel changed.
    void ExpectCopied(POINT origin, int firstColumn, int endColumn, int firstRow, int endRow) {
        headless::Picture desktop = headless::Display();
        ASSERT_NE(desktop.pixels, nullptr);
        const uint32_t fresh = headless::Config().freshSurfaceWord;
        int wrong = 0;
        for (int y = 0; y < desktop.height; y++)
            for (int x = 0; x < desktop.width; x++) {
                int c = x - origin.x, r = y - origin.y;
                bool copied = c >= firstColumn && c < endColumn && r >= firstRow && r < endRow;
                wrong += desktop.At(x, y) != (copied ? PatternPixel(r * 512 + c) : fresh);
            }
        EXPECT_EQ(wrong, 0);
    }
    TempWorkingDirectory folder;
};

TEST_F(WindowedShell, StartsACaptionedWindowAtTheNormalLevel) {
    headless::Reset();
    PrepareRunFolder();
    headless::ScriptKey(1, VK_ESCAPE);
    ProgramResult result = RunProgram();
    EXPECT_EQ(result.exitCode, 0);
    const std::vector<std::string>& log = headless::CallLog();
    const DWORD style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MAXIMIZEBOX;
    EXPECT_EQ(log[1], "CreateWindowEx 0 DOZEZER Duziv2i " + std::to_string(style) + " 0 0 518 281");
    EXPECT_EQ(log[5], "SetCooperativeLevel 12");
    EXPECT_EQ(log[6], "CreateSurface 1 16896 0");
    EXPECT_EQ(std::count(log.begin(), log.end(), "SetDisplayMode 640 480 32"), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "ShowCursor 0"), 1); // hidden once, not twice
    EXPECT_EQ(std::count(log.begin(), log.end(), "Flip 0"), 0);
}

TEST_F(WindowedShell, CopiesTheFrameToTheClientOrigin) {
    PresentOnDesktop(headless::Config());
    ExpectCopied({3, 22}, 0, 512, 0, 256);
}

TEST_F(WindowedShell, ALostDesktopIsRestoredButNotCleared) {
    PresentOnDesktop(headless::Config());
    headless::ScriptSurfaceLoss(1);
    EXPECT_EQ(PresentFrame(theDemo->frameBuffer), 0);
    const std::vector<std::string>& log = headless::CallLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Restore primary"), 1);
    ExpectCopied({3, 22}, 0, 512, 0, 256); // the other windows' pixels stay as restored
}

TEST_F(WindowedShell, ClipsAtTheDesktopsRightEdgeAndThirtyRowsAboveItsBottom) {
    headless::Config config;
    config.desktopWidth = 300;
    config.desktopHeight = 200;
    PresentOnDesktop(config);
    // Columns up to x = 299; rows down to y = 200 - 30 = 170, that is r = 148.
    ExpectCopied({3, 22}, 0, 297, 0, 149);
}

TEST_F(WindowedShell, SkipsRowsAndColumnsOffTheTopAndLeftOfTheScreen) {
    headless::Config config;
    config.clientOffset = {-10, -50};
    PresentOnDesktop(config);
    ExpectCopied({-10, -50}, 10, 512, 50, 256);
}

TEST_F(WindowedShell, WindowEntirelyOffTheDesktopWritesNothing) {
    headless::Config config;
    config.clientOffset = {2000, 10};
    PresentOnDesktop(config);
    ExpectCopied({0, 0}, 0, 0, 0, 0);
}

TEST_F(WindowedShell, RefusesADesktopThatIsNot32BitsPerPixel) {
    headless::Config config;
    config.desktopBitsPerPixel = 16;
    EXPECT_EQ(ExitCodeOf([&] { PresentOnDesktop(config); }), kFatalExitCode);
    EXPECT_STREQ(LastFatalMessage(), "le bureau doit etre en 32 bits par pixel!!\n");
}

} // namespace
