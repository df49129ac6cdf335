// The rotozoom and end-logo scene: the corners, the 20.12 fill (against its plain reference),
// the blur centre, and whole runs of both phases on the headless back end.
#include "assets/bmp.h"
#include "assets/surface.h"
#include "base/process.h"
#include "fx/blit.h"
#include "fx/radialblur.h"
#include "rotozoom_reference.h"
#include "scene_frames.h"
#include "scenes/rotozoom.h"
#include "shell/demo.h"
#include "test_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

// A texture whose texel at (row, column) is row * 256 + column.
std::vector<uint32_t> NumberedTexture() {
    std::vector<uint32_t> texture(256 * 256);
    for (uint32_t i = 0; i < texture.size(); ++i)
        texture[i] = i;
    return texture;
}

TEST(RotozoomCorners, AtAngleZero) {
    const RotozoomCorners corners = RotozoomCornersAt(0.0);
    EXPECT_NEAR(-191.9993, corners.a3, 1e-4);
    EXPECT_NEAR(163.3884, corners.b3, 1e-4);
    EXPECT_EQ(64.0, corners.a0);
    EXPECT_EQ(420.0, corners.b0);
    EXPECT_NEAR(64.4077, corners.a2, 1e-4);
    EXPECT_NEAR(-91.9997, corners.b2, 1e-4);

    const RotozoomSteps steps = RotozoomFixedPoint(corners);
    EXPECT_EQ(-786429, steps.a);
    EXPECT_EQ(669238, steps.b);
    EXPECT_EQ(4102, steps.ra);
    EXPECT_EQ(-4086, steps.rb);
    EXPECT_EQ(4095, steps.pa); // the pixel steps divide by 256 although a row has 512 pixels
    EXPECT_EQ(4105, steps.pb);
}

TEST(RotozoomCorners, FixedPointWrapsBeyond32Bits) {
    // 2^20 texels are 2^32 in 20.12: the start wraps to 0, the steps truncate toward zero.
    const RotozoomCorners far = {1048576.0, -1048576.5, 1048576.0 + 0.0001, 0.0, 1048576.0, 0.0};
    const RotozoomSteps steps = RotozoomFixedPoint(far);
    EXPECT_EQ(0, steps.a);
    EXPECT_EQ(-2048, steps.b);
    EXPECT_EQ(0, steps.pa);
}

TEST(RotozoomFill, FirstRowAtAngleZeroStepsBeforeEachFetch) {
    const std::vector<uint32_t> texture = NumberedTexture();
    std::vector<uint32_t> frame(kFramePixels, 0xDEADBEEF);
    FillRotozoom(texture.data(), frame.data(), RotozoomCornersAt(0.0));
    EXPECT_EQ(66u * 256 + 163, frame[0]);   // top-left: texel row 66, column 163
    EXPECT_EQ(64u * 256 + 163, frame[511]); // end of the first row: row 64, column 163
    // Every pixel written, each from the texture.
    for (uint32_t pixel : frame)
        ASSERT_LT(pixel, 65536u);
}

TEST(RotozoomFill, EveryMethodMatchesThePlainRuleOnRandomCorners) {
    std::mt19937 random(20240607);
    std::vector<uint32_t> texture(256 * 256);
    for (uint32_t& texel : texture)
        texel = random() & 0xFFFFFF;
    std::vector<uint32_t> expected(kFramePixels), actual(kFramePixels);
    std::uniform_real_distribution<double> angle(-100.0, 500.0);
    std::uniform_real_distribution<double> anywhere(-3.0e6, 3.0e6);
    std::uniform_real_distribution<double> near(-600.0, 600.0);
    const RotozoomMethod methods[] = {RotozoomMethod::kOneByOne, RotozoomMethod::kGather,
                                      RotozoomMethod::kBitExtract};
    for (int round = 0; round < 60; ++round) {
        RotozoomCorners corners;
        if (round < 20) {
            corners = RotozoomCornersAt(angle(random)); // as the scene turns
        } else {
            // Any corners: big and negative positions, wrapping sums, steps of any size.
            std::uniform_real_distribution<double>& spread = round < 40 ? near : anywhere;
            corners = {spread(random), spread(random), spread(random),
                       spread(random), spread(random), spread(random)};
        }
        ReferenceFillRotozoom(texture.data(), expected.data(), corners);
        FillRotozoom(texture.data(), actual.data(), corners);
        ASSERT_EQ(expected, actual) << "round " << round;
        for (RotozoomMethod method : methods) {
            if (!RotozoomMethodAvailable(method))
                continue;
            std::fill(actual.begin(), actual.end(), 0xDEADBEEF);
            FillRotozoomWith(method, texture.data(), actual.data(), corners);
            ASSERT_EQ(expected, actual)
                << "round " << round << ", method " << static_cast<int>(method);
        }
    }
}

TEST(RotozoomFill, PreferredMethodIsAvailable) {
    EXPECT_TRUE(RotozoomMethodAvailable(RotozoomMethod::kOneByOne));
    EXPECT_TRUE(RotozoomMethodAvailable(RotozoomPreferredMethod()));
}

TEST(RotozoomBlur, CentreWandersInsideTheFrame) {
    int32_t x, y;
    RotozoomBlurCentre(0.0, &x, &y);
    EXPECT_EQ(396, x);
    EXPECT_EQ(128, y);
    for (double angle = 0.0; angle < 0.6 * 132.0; angle += 0.01) {
        RotozoomBlurCentre(angle, &x, &y);
        ASSERT_GE(x, 116);
        ASSERT_LE(x, 396);
        ASSERT_GE(y, 33);
        ASSERT_LE(y, 223);
    }
}

// Runs of the whole scene on the headless back end, in a folder with images of our own: a grey
// texture, a white 32 x 16 overlay and a white 64 x 32 end logo.
class RotozoomScene : public SceneRun<RunRotozoomScene> {
  protected:
    void SetUp() override {
        SceneRun::SetUp();
        WriteImage("data/rotozoom/texture.bmp", 256, 256, 0x404040);
        WriteImage("data/boule/under.bmp", 32, 16, 0xFFFFFF);
        WriteImage("data/logofin.bmp", 64, 32, 0xFFFFFF);
        // Tells the two phases apart: the end logo's frame is black below the logo.
        headless::SetPresentHook([this](const headless::Picture& picture) {
            last_ = FrameOf(picture);
            phases_ += last_[200 * kFrameWidth + 300] == 0 ? 'L' : 'R';
        });
    }

    long Frames(char phase) const { return std::count(phases_.begin(), phases_.end(), phase); }
    // Rotozoom frames first, then end-logo frames.
    bool InOrder() const { return phases_.find("LR") == std::string::npos; }

    std::string phases_;         // R: a rotozoom frame, L: an end-logo frame, in order presented
    std::vector<uint32_t> last_; // the last frame presented
};

TEST_F(RotozoomScene, EnteredAfter180PresentsNothing) {
    EXPECT_EQ(-1, RunFrom(180.0));
    EXPECT_EQ(0, headless::PresentCount());
}

TEST_F(RotozoomScene, EnteredAfter132ShowsOnlyTheEndLogoUntil180) {
    EXPECT_EQ(-1, RunFrom(132.0));
    EXPECT_EQ(0, Frames('R'));
    EXPECT_EQ(48 * 60, Frames('L')); // the last reading after a present is exactly 180
    // The last frame: the white logo at the top-left corner of a black frame.
    EXPECT_EQ(0xFFFFFFu, last_[0]);
    EXPECT_EQ(0xFFFFFFu, last_[31 * kFrameWidth + 63]);
    EXPECT_EQ(0u, last_[32 * kFrameWidth]);
    EXPECT_EQ(0u, last_[64]);
    EXPECT_EQ(0u, last_[kFramePixels - 1]);
}

TEST_F(RotozoomScene, BothPhasesEndOnTheirOwnReadings) {
    // Rotozoom frames at 130, ..., 132 (float reading taken first in the frame), then end-logo
    // frames until a reading after a present reaches 180.
    EXPECT_EQ(-1, RunFrom(130.0));
    EXPECT_EQ(121, Frames('R'));
    EXPECT_EQ(50 * 60 - 121, Frames('L'));
    EXPECT_TRUE(InOrder());
}

TEST_F(RotozoomScene, ReadingsJustBelowTheEndsCountAsFloatForTheRotozoomOnly) {
    // 132 s minus one tick is 132.0 as a float: one rotozoom frame. The end logo then compares
    // unrounded readings, so 180 s minus one tick is still below 180.
    EXPECT_EQ(-1, RunFrom(132.0, -1));
    EXPECT_EQ(1, Frames('R'));
    EXPECT_EQ(48 * 60, Frames('L'));
}

TEST_F(RotozoomScene, OverlaySitsInTheTopRightCorner) {
    const std::vector<PresentedFrame> frames = RunAt({10.0}); // then on past the end
    ASSERT_EQ(2u, frames.size()); // the second frame's reading is past the end
    const std::vector<uint32_t>& first = frames[0].pixels;
    for (int y = 0; y < 16; ++y)
        for (int x = 480; x < 512; ++x)
            ASSERT_EQ(0xFFFFFFu, first[y * kFrameWidth + x]) << x << ", " << y;
    EXPECT_NE(0xFFFFFFu, first[479]);
    EXPECT_NE(0xFFFFFFu, first[16 * kFrameWidth + 511]);
}

TEST_F(RotozoomScene, FullWidthOverlayStartsAtTheLeftEdge) {
    WriteImage("data/boule/under.bmp", 512, 4, 0xFFFFFF);
    const std::vector<PresentedFrame> frames = RunAt({10.0}); // then on past the end
    ASSERT_EQ(2u, frames.size());
    for (const PresentedFrame& frame : frames)
        for (int x = 0; x < kFrameWidth; ++x)
            ASSERT_EQ(0xFFFFFFu, frame.pixels[3 * kFrameWidth + x]) << x;
}

TEST_F(RotozoomScene, RefusesATextureThatIsNot256Square) {
    WriteImage("data/rotozoom/texture.bmp", 128, 128, 0x404040);
    EXPECT_EQ(kFatalExitCode, RunFrom(10.0));
    EXPECT_EQ(0, headless::PresentCount());
}

TEST_F(RotozoomScene, LoadsTheEndLogoOnlyAfterTheRotozoom) {
    std::filesystem::remove("data/logofin.bmp");
    EXPECT_EQ(kFatalExitCode, RunFrom(131.0));
    EXPECT_EQ(61, Frames('R'));
    EXPECT_EQ(0, Frames('L'));
}

using RotozoomFrames = SceneFrames<RunRotozoomScene>;

// Frames of both phases with the show's own images, rebuilt from their steps. The clock moves
// half a frame between the two readings of a rotozoom frame: the end test takes the first, the
// picture A = 0.6 x the second. Each rotozoom frame is the texture through the corners of A,
// blurred from (256 + 140 cos(1.3 A), 128 + 95 sin(1.1 A)), with the overlay at the top-right
// corner; the end logo is added at (0, 0) to a black frame.
TEST_F(RotozoomFrames, AreRebuiltFromTheStepsWithTheSecondReadingAsTime) {
    constexpr int64_t kStep = 500000;
    // Rotozoom frames up to the one read at 132 s. The end logo is entered at 179.995 s, less
    // than one reading step before 180 s: the frame is still drawn, as the logo's loop reads
    // the clock after its present, and that reading is 180 s.
    const std::vector<double> times = {122.01, 125.5, 129.3, 131.99, 132.0, 179.995, 180.0};
    const std::vector<PresentedFrame> frames = RunAt(times, kStep);
    ASSERT_EQ(frames.size(), 6u);

    Surface texture("data/rotozoom/texture.bmp"), overlay("data/boule/under.bmp"),
        logo("data/logofin.bmp");
    std::vector<uint32_t> expected(kFramePixels);
    for (size_t k = 0; k < 5; ++k) {
        const double angle = 0.6 * static_cast<double>(ClockReading(frames[k].startTicks + kStep));
        const double ca = 100.0 * std::sin(0.13 * angle) + 1.4 * angle + 64.0;
        const double cb = 100.0 * std::cos(0.1 * angle) + 1.2 * angle + 64.0;
        RotozoomCorners corners;
        corners.a0 = ca + 256.0 * std::sin(angle);
        corners.b0 = cb + 256.0 * std::cos(angle);
        corners.a2 = ca + 256.0 * std::sin(angle + 3.14);
        corners.b2 = cb + 256.0 * std::cos(angle + 3.14);
        corners.a3 = ca + 256.0 * std::sin(angle + 4.71);
        corners.b3 = cb + 256.0 * std::cos(angle + 4.71);
        FillRotozoom(texture.data, expected.data(), corners);
        RadialBlur(expected.data(), static_cast<int32_t>(256.0 + 140.0 * std::cos(1.3 * angle)),
                   static_cast<int32_t>(128.0 + 95.0 * std::sin(1.1 * angle)));
        BlitAdditive(overlay.data, overlay.width, overlay.height, expected.data(),
                     512 - overlay.width, 0);
        ExpectSameFrame(expected, frames[k]);
    }
    std::fill(expected.begin(), expected.end(), 0u);
    BlitAdditive(logo.data, logo.width, logo.height, expected.data(), 0, 0);
    ExpectSameFrame(expected, frames[5]);
}

} // namespace
