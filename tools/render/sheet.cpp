#include "render/sheet.h"

#include "mkdata/font.h"
#include "render/capture.h"

#include <cmath>
#include <cstdio>

#if defined(DEMO_HAVE_PNG_WRITER)
#include <stb_image_write.h>
#endif

namespace render {
namespace {

constexpr int kThumbWidth = 256; // half the frame
constexpr int kThumbHeight = 128;
constexpr int kMargin = 16;
constexpr int kGap = 12;
constexpr int kTitleHeight = 34; // the title's capitals are 14 pixels tall
constexpr int kLabelHeight = 16; // below each thumbnail: 9 rows of text and some air
constexpr int kMaxColumns = 4;
constexpr uint32_t kBackground = 0x202028;
constexpr uint32_t kText = 0xE0E0E0;
constexpr uint32_t kDimText = 0x9090A0;

std::string TimeText(double seconds) {
    const long whole = std::lround(seconds * 10); // tenths
    char text[32];
    if (whole % 10 == 0)
        std::snprintf(text, sizeof(text), "%ld:%02ld", whole / 600, whole / 10 % 60);
    else
        std::snprintf(text, sizeof(text), "%ld:%02ld.%ld", whole / 600, whole / 10 % 60,
                      whole % 10);
    return text;
}

} // namespace

ContactSheet::ContactSheet(double every, double showEnd, int framesPerSecond)
    : every_(every), framesPerSecond_(framesPerSecond) {
    count_ = static_cast<int>(std::ceil(showEnd / every - 1e-9));
    if (count_ < 1)
        count_ = 1;
    columns_ = count_ < kMaxColumns ? count_ : kMaxColumns;
    const int rows = (count_ + columns_ - 1) / columns_;
    width_ = 2 * kMargin + columns_ * kThumbWidth + (columns_ - 1) * kGap;
    height_ =
        kMargin + kTitleHeight + rows * (kThumbHeight + kLabelHeight) + (rows - 1) * kGap + kMargin;
    pixels_.assign(static_cast<size_t>(width_) * height_, kBackground);
    char seconds[32];
    std::snprintf(seconds, sizeof(seconds), "%g", every);
    DrawText(kMargin, kMargin, "Duziv2i", 2, kText);
    DrawText(kMargin + 100, kMargin + 5, std::string("one picture every ") + seconds + " s", 1,
             kDimText);
}

long ContactSheet::NextFrame() const {
    if (added_ >= count_)
        return -1;
    return static_cast<long>(std::ceil(added_ * every_ * framesPerSecond_ - 1e-9));
}

void ContactSheet::Add(const uint8_t* display, long pitchBytes, const std::string& scene) {
    const int column = added_ % columns_;
    const int row = added_ / columns_;
    const int left = kMargin + column * (kThumbWidth + kGap);
    const int top = kMargin + kTitleHeight + row * (kThumbHeight + kLabelHeight + kGap);
    for (int y = 0; y < kThumbHeight; ++y) {
        const uint32_t* upper =
            reinterpret_cast<const uint32_t*>(display + (kFrameTop + 2 * y) * pitchBytes) +
            kFrameLeft;
        const uint32_t* lower =
            reinterpret_cast<const uint32_t*>(display + (kFrameTop + 2 * y + 1) * pitchBytes) +
            kFrameLeft;
        uint32_t* out = &pixels_[static_cast<size_t>(top + y) * width_ + left];
        for (int x = 0; x < kThumbWidth; ++x) {
            uint32_t pixel = 0;
            for (int shift = 0; shift <= 16; shift += 8) {
                const uint32_t sum =
                    (upper[2 * x] >> shift & 0xFF) + (upper[2 * x + 1] >> shift & 0xFF) +
                    (lower[2 * x] >> shift & 0xFF) + (lower[2 * x + 1] >> shift & 0xFF);
                pixel |= (sum + 2) / 4 << shift; // the mean, rounded
            }
            out[x] = pixel;
        }
    }
    DrawText(left, top + kThumbHeight + 4, TimeText(added_ * every_) + "  " + scene, 1, kText);
    ++added_;
}

void ContactSheet::DrawText(int x, int y, const std::string& text, int dot, uint32_t colour) {
    for (char c : text) {
        const char* const* rows = mkdata::GlyphRows(c);
        if (!rows) { // a space, or a character the font lacks
            x += 3 * dot;
            continue;
        }
        // Letters take their own width (blank columns trimmed) and one dot of space.
        int first = mkdata::kGlyphColumns, last = -1;
        for (int r = 0; r < mkdata::kGlyphRows; ++r)
            for (int k = 0; k < mkdata::kGlyphColumns; ++k)
                if (rows[r] && rows[r][k] == '#') {
                    first = k < first ? k : first;
                    last = k > last ? k : last;
                }
        for (int r = 0; r < mkdata::kGlyphRows; ++r)
            for (int k = first; k <= last; ++k)
                if (rows[r] && rows[r][k] == '#')
                    for (int dy = 0; dy < dot; ++dy)
                        for (int dx = 0; dx < dot; ++dx) {
                            const int px = x + (k - first) * dot + dx, py = y + r * dot + dy;
                            if (px >= 0 && px < width_ && py >= 0 && py < height_)
                                pixels_[static_cast<size_t>(py) * width_ + px] = colour;
                        }
        x += (last - first + 2) * dot;
    }
}

bool CanWritePng() {
#if defined(DEMO_HAVE_PNG_WRITER)
    return true;
#else
    return false;
#endif
}

bool ContactSheet::WritePng(const std::string& path, std::string* error) const {
#if defined(DEMO_HAVE_PNG_WRITER)
    std::vector<uint8_t> rgb(pixels_.size() * 3);
    for (size_t i = 0; i < pixels_.size(); ++i) {
        rgb[i * 3 + 0] = static_cast<uint8_t>(pixels_[i] >> 16);
        rgb[i * 3 + 1] = static_cast<uint8_t>(pixels_[i] >> 8);
        rgb[i * 3 + 2] = static_cast<uint8_t>(pixels_[i]);
    }
    if (stbi_write_png(path.c_str(), width_, height_, 3, rgb.data(), width_ * 3) == 0) {
        *error = "cannot write " + path;
        return false;
    }
    return true;
#else
    (void)path;
    *error = "this build cannot write PNG files (it was built without stb_image_write, Debian "
             "package libstb-dev)";
    return false;
#endif
}

} // namespace render
