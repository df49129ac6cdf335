// The flash check of demo-render: the general-flash and red-flash thresholds of WCAG 2.2
// (success criterion 2.3.1, "Three Flashes or Below Threshold"), applied to every picture of the
// show.
//
// What counts, as the definitions put it:
// - A general flash is a pair of opposing changes in relative luminance (an increase then a
//   decrease, or the other way round), each of 0.1 or more (10 % of the maximum, 1.0), where the
//   darker of the two states is below 0.80. Relative luminance is WCAG's, from sRGB:
//   each channel c = value / 255 is made linear (c / 12.92 up to 0.04045, else
//   ((c + 0.055) / 1.055) ^ 2.4), then L = 0.2126 R + 0.7152 G + 0.0722 B.
// - A red flash is a pair of opposing transitions involving a saturated red: one state of each
//   transition has R / (R + G + B) >= 0.8 (the stored sRGB values), and the two states lie more
//   than 0.2 apart in the CIE 1976 u'v' chromaticity diagram. Black and every grey have the
//   chromaticity of the sRGB white point (D65).
// - A second fails when, in some one-second period, the parts of the picture that have more
//   than three general flashes (or more than three red flashes) in it cover more than a quarter
//   of some 10-degree field of view.
//
// How it is counted: the picture is cut into blocks of 16 x 16 pixels, and each block's mean
// colour (the mean of the linear channels, since light adds up linearly) stands for it. A
// texture that moves changes every pixel but hardly the light of a block, and a flash of any
// size that matters (a quarter field is 33 blocks) changes its blocks whole; following single
// pixels would count the fast-moving floor of the planes scene as flashing, and blocks of 8
// still count some of it (failing seconds of the show, measured: 59 by single pixels, 32 with
// blocks of 8, 24 with 16, 22 with 32). Each block keeps the extreme of its current rise or fall,
// and a change counts once the block has moved 0.1 back from that extreme (so a slow fade over many
// frames is one change, and small wobbles are none). Two changes make a flash, so a block
// flashes more than three times in a second when it has eight changes or more in it. The
// one-second periods are every run of `framesPerSecond` frames: a change between frame i - 1
// and frame i belongs to the periods that end at frame i or up to framesPerSecond - 1 frames
// later. A field is the fewest whole blocks that hold it (14 x 10, 224 x 160 pixels, a
// little more than the field, so that no flashing area is cut in two). A flashing block adds
// to the area the pixels that changed colour in its last change: all of them in a flash of
// the whole block, the flashing part of a block at a flash's edge.
//
// The field of view: the show's 640 x 480 display filling a typical screen (15 to 17 inches,
// seen from 22 to 26 inches, as in WCAG's note of a 10-degree field being 341 x 256 pixels of a
// 1024 x 768 screen), so a 10-degree field is a third of the display each way: 213 x 160 of its
// pixels, and a quarter of it 8,520 pixels. Any smaller view of the display (the web page at
// its default scale, a window) puts more of its pixels in the field, so this is the strictest
// of the ways the show is seen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace render {

// A 10-degree field of view in display pixels, and the area that may flash inside it.
constexpr int kFieldWidth = 640 / 3;                                                // 213
constexpr int kFieldHeight = 480 / 3;                                               // 160
constexpr long kFlashAreaLimit = static_cast<long>(kFieldWidth) * kFieldHeight / 4; // 8,520
// The side of the square blocks whose mean colour the check follows, in display pixels.
constexpr int kFlashBlockSize = 16;

// WCAG's relative luminance of a 0x00RRGGBB word, from 0 to 1.
double RelativeLuminance(uint32_t rgb);

// Whether R / (R + G + B) >= 0.8 (black is not).
bool IsSaturatedRed(uint32_t rgb);

// The distance between two colours in the CIE 1976 u'v' chromaticity diagram.
double ChromaticityDistance(uint32_t a, uint32_t b);

// The worst one-second period ending in one second of the pictures, by one of the two rules.
struct FlashCount {
    int flashes = 0; // the most flashes of one block inside the worst field
    long area = 0;   // the pixels of blocks with more than three flashes in the worst field
    bool Fails() const { return area > kFlashAreaLimit; }
};

struct FlashSecond {
    long second = 0; // periods ending from this many seconds after the first picture to the next
    FlashCount general;
    FlashCount red;
    bool Fails() const { return general.Fails() || red.Fails(); }
};

// The analysis, one picture at a time. Pictures are rows of 0x00RRGGBB words (the top byte is
// ignored), all of the size given at construction.
class FlashAnalysis {
  public:
    FlashAnalysis(int width, int height, int framesPerSecond, int blockSize = kFlashBlockSize);

    // Adds the next picture; `pitchWords` is the distance from one row to the next, in words.
    void AddPicture(const uint32_t* words, long pitchWords);

    long Pictures() const { return pictures_; }
    int FramesPerSecond() const { return framesPerSecond_; }
    // Every second with a period that fails, in order.
    const std::vector<FlashSecond>& FailingSeconds() const { return failing_; }
    // The second with the largest area flashing more than three times, by either rule, failing
    // or not (area 0 when no block ever flashed more than three times in a second).
    const FlashSecond& Worst() const { return worst_; }

  private:
    struct Rule {
        std::vector<uint16_t> changes; // per block, changes in the current period
        std::vector<uint16_t> area;    // per block, its pixels that changed in its last change
        std::vector<std::vector<uint32_t>> changedAt; // per frame of the period, blocks changed
        long flashing = 0;                            // blocks with 8 changes or more
        bool dirty = false;                           // `flashing` blocks changed since the last
        FlashCount last;                              // count of the last period
    };
    void Expire(Rule& rule, long frame);
    void Change(Rule& rule, uint32_t block, long frame);
    FlashCount Count(Rule& rule);
    int FieldBlocks(int pixels, int blocks) const;
    void Record(const FlashSecond& period);

    int width_, height_, framesPerSecond_, blockSize_;
    int columns_, rows_; // of blocks
    long pictures_ = 0;
    std::vector<uint32_t> previous_;                    // the last picture
    std::vector<float> sumsRed_, sumsGreen_, sumsBlue_; // per block: linear channel sums
    std::vector<uint16_t> changedPixels_; // per block: pixels of another colour than before
    std::vector<float> low_, high_;       // per block: the extremes of the current fall or rise
    std::vector<int8_t> direction_;       // per block: +1 rising, -1 falling, 0 not yet changed
    std::vector<uint32_t> anchor_;        // per block: the colour at its last red transition
    Rule general_, red_;
    std::vector<long> sums_; // a summed-area table of the flashing blocks' pixels
    std::vector<FlashSecond> failing_;
    FlashSecond worst_;
};

// A time as minutes and whole seconds, "m:ss".
std::string ClockTime(double seconds);

// The failing seconds as times from `firstSeconds` (the time of the first picture), failing
// seconds at most `joinWithin` seconds apart joined in one stretch: "0:12-0:14, 1:00" (1
// joins runs of seconds). Empty when none fails.
std::string FailingTimes(const FlashAnalysis& analysis, double firstSeconds, long joinWithin);

// The report of a finished analysis: one line per failing second with its time (and, when
// `partName` is given, the scene of that time), then one verdict line beginning
// "flash check: passes" or "flash check: fails".
std::string DescribeFlashes(const FlashAnalysis& analysis, double firstSeconds,
                            const char* (*partName)(double seconds));

} // namespace render
