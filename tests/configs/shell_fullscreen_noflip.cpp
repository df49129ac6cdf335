// The shell built for full screen without a flip chain (FullScreen 1, FlipChain 0): frames are
// copied straight into the primary surface, which is never flipped.
#include "base/framebuffer.h"
#include "platform/headless/headless.h"
#include "process_capture.h"
#include "run_folder.h"
#include "shell/demo.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(FullScreenWithoutFlipChain, DrawsIntoThePrimaryAndNeverFlips) {
    TempWorkingDirectory folder;
    headless::Reset();
    PrepareRunFolder();
    const uint32_t fresh = headless::Config().freshSurfaceWord;
    long presents = 0;
    int wrongBorder = 0;
    headless::SetPresentHook([&](const headless::Picture& picture) {
        presents++;
        for (int y = 0; y < 480; y++)
            for (int x = 0; x < 640; x++)
                if (x < 64 || x >= 576 || y < 112 || y >= 368)
                    wrongBorder += picture.At(x, y) != fresh;
    });
    headless::ScriptKey(5, VK_ESCAPE);
    ProgramResult result = RunProgram();
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(presents, 6);
    EXPECT_EQ(wrongBorder, 0); // the primary is not cleared, and the border never written
    const std::vector<std::string>& log = headless::CallLog();
    EXPECT_EQ(log[7], "CreateSurface 1 16896 0");
    EXPECT_EQ(std::count(log.begin(), log.end(), "Flip 0"), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "GetAttachedSurface 4"), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "ShowCursor 0"), 2);
}

} // namespace
