#include "render/flash.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace render {
namespace {

// A change of 0.1 or more in relative luminance, with the darker state below 0.8.
constexpr float kLuminanceChange = 0.1f;
constexpr float kDarkerBelow = 0.8f;
// More than 0.2 apart in u'v'.
constexpr double kChromaticityChange = 0.2;
// Eight changes make four flashes: more than three.
constexpr int kFlashingChanges = 8;

double Linear(int value) {
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

struct Tables {
    std::array<double, 256> linear;
    std::array<float, 256> linearFloat;
    Tables() {
        for (int v = 0; v < 256; v++) {
            linear[v] = Linear(v);
            linearFloat[v] = static_cast<float>(linear[v]);
        }
    }
};

const Tables& GetTables() {
    static const Tables tables;
    return tables;
}

// The 8-bit sRGB value nearest to a linear one: of the two values whose linear forms enclose it.
uint32_t Encoded(const Tables& t, float linear) {
    const auto above = std::lower_bound(t.linearFloat.begin(), t.linearFloat.end(), linear);
    if (above == t.linearFloat.begin())
        return 0;
    if (above == t.linearFloat.end())
        return 255;
    const auto below = above - 1;
    return static_cast<uint32_t>((linear - *below <= *above - linear ? below : above) -
                                 t.linearFloat.begin());
}

std::string WithThousands(long value) {
    std::string digits = std::to_string(value);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(static_cast<size_t>(i), ",");
    return digits;
}

std::string DescribeCount(const char* rule, const FlashCount& count) {
    if (count.area == 0)
        return std::string(rule) + ": none";
    return std::string(rule) + ": " + std::to_string(count.flashes) + " flashes over " +
           WithThousands(count.area) + " pixels";
}

} // namespace

double RelativeLuminance(uint32_t rgb) {
    const Tables& t = GetTables();
    return 0.2126 * t.linear[(rgb >> 16) & 0xFF] + 0.7152 * t.linear[(rgb >> 8) & 0xFF] +
           0.0722 * t.linear[rgb & 0xFF];
}

bool IsSaturatedRed(uint32_t rgb) {
    const uint32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    return r > 0 && r >= 4 * (g + b); // R / (R + G + B) >= 0.8, in whole numbers
}

double ChromaticityDistance(uint32_t a, uint32_t b) {
    const Tables& t = GetTables();
    auto uv = [&t](uint32_t rgb, double* u, double* v) {
        const double r = t.linear[(rgb >> 16) & 0xFF], g = t.linear[(rgb >> 8) & 0xFF],
                     bl = t.linear[rgb & 0xFF];
        // CIE XYZ of linear sRGB (D65).
        const double x = 0.4124 * r + 0.3576 * g + 0.1805 * bl;
        const double y = 0.2126 * r + 0.7152 * g + 0.0722 * bl;
        const double z = 0.0193 * r + 0.1192 * g + 0.9505 * bl;
        const double d = x + 15 * y + 3 * z;
        if (d <= 0) { // black: the white point's chromaticity, as every grey has
            *u = 0.19783;
            *v = 0.46832;
            return;
        }
        *u = 4 * x / d;
        *v = 9 * y / d;
    };
    double ua, va, ub, vb;
    uv(a, &ua, &va);
    uv(b, &ub, &vb);
    return std::hypot(ua - ub, va - vb);
}

FlashAnalysis::FlashAnalysis(int width, int height, int framesPerSecond, int blockSize)
    : width_(width), height_(height), framesPerSecond_(framesPerSecond), blockSize_(blockSize),
      columns_((width + blockSize - 1) / blockSize), rows_((height + blockSize - 1) / blockSize) {
    const size_t blocks = static_cast<size_t>(columns_) * static_cast<size_t>(rows_);
    previous_.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    sumsRed_.resize(blocks);
    sumsGreen_.resize(blocks);
    sumsBlue_.resize(blocks);
    changedPixels_.resize(blocks);
    low_.resize(blocks);
    high_.resize(blocks);
    direction_.resize(blocks);
    anchor_.resize(blocks);
    for (Rule* rule : {&general_, &red_}) {
        rule->changes.resize(blocks);
        rule->area.resize(blocks);
        rule->changedAt.resize(static_cast<size_t>(framesPerSecond));
    }
    sums_.resize(static_cast<size_t>(columns_ + 1) * static_cast<size_t>(rows_ + 1));
}

void FlashAnalysis::Expire(Rule& rule, long frame) {
    std::vector<uint32_t>& expired = rule.changedAt[static_cast<size_t>(frame % framesPerSecond_)];
    for (uint32_t block : expired)
        if (rule.changes[block]-- == kFlashingChanges) {
            --rule.flashing;
            rule.dirty = true;
        }
    expired.clear();
}

void FlashAnalysis::Change(Rule& rule, uint32_t block, long frame) {
    rule.area[block] = changedPixels_[block];
    if (++rule.changes[block] == kFlashingChanges)
        ++rule.flashing;
    rule.dirty = rule.dirty || rule.changes[block] >= kFlashingChanges;
    rule.changedAt[static_cast<size_t>(frame % framesPerSecond_)].push_back(block);
}

void FlashAnalysis::AddPicture(const uint32_t* words, long pitchWords) {
    const Tables& t = GetTables();
    const long frame = pictures_++;
    // The changes of the frame one second ago leave the period that ends at this frame.
    Expire(general_, frame);
    Expire(red_, frame);
    for (int blockRow = 0; blockRow < rows_; blockRow++) {
        const int top = blockRow * blockSize_;
        const int bottom = std::min(top + blockSize_, height_);
        // Only the rows of blocks with a changed pixel are summed again.
        bool changed = frame == 0;
        for (int y = top; y < bottom && !changed; y++)
            changed = std::memcmp(words + y * pitchWords,
                                  previous_.data() + static_cast<size_t>(y) * width_,
                                  static_cast<size_t>(width_) * 4) != 0;
        if (!changed)
            continue;
        const size_t firstBlock = static_cast<size_t>(blockRow) * columns_;
        std::fill_n(sumsRed_.begin() + firstBlock, columns_, 0.0f);
        std::fill_n(sumsGreen_.begin() + firstBlock, columns_, 0.0f);
        std::fill_n(sumsBlue_.begin() + firstBlock, columns_, 0.0f);
        std::fill_n(changedPixels_.begin() + firstBlock, columns_, 0);
        for (int y = top; y < bottom; y++) {
            const uint32_t* row = words + y * pitchWords;
            uint32_t* previousRow = previous_.data() + static_cast<size_t>(y) * width_;
            for (int column = 0; column < columns_; column++) {
                const int left = column * blockSize_;
                const int right = std::min(left + blockSize_, width_);
                float red = 0, green = 0, blue = 0;
                int changed = 0;
                for (int x = left; x < right; x++) {
                    const uint32_t rgb = row[x];
                    changed += (rgb & 0xFFFFFF) != (previousRow[x] & 0xFFFFFF);
                    red += t.linearFloat[(rgb >> 16) & 0xFF];
                    green += t.linearFloat[(rgb >> 8) & 0xFF];
                    blue += t.linearFloat[rgb & 0xFF];
                }
                sumsRed_[firstBlock + column] += red;
                sumsGreen_[firstBlock + column] += green;
                sumsBlue_[firstBlock + column] += blue;
                changedPixels_[firstBlock + column] += changed;
            }
            std::memcpy(previousRow, row, static_cast<size_t>(width_) * 4);
        }
        for (int column = 0; column < columns_; column++) {
            const size_t i = firstBlock + static_cast<size_t>(column);
            const int blockWidth = std::min(blockSize_, width_ - column * blockSize_);
            const float pixels = static_cast<float>(blockWidth * (bottom - top));
            // The block's mean colour: light adds up linearly, so the mean of linear values.
            const float red = sumsRed_[i] / pixels, green = sumsGreen_[i] / pixels,
                        blue = sumsBlue_[i] / pixels;
            const float v = 0.2126f * red + 0.7152f * green + 0.0722f * blue;
            const uint32_t rgb = static_cast<uint32_t>(Encoded(t, red)) << 16 |
                                 static_cast<uint32_t>(Encoded(t, green)) << 8 | Encoded(t, blue);
            if (frame == 0) {
                low_[i] = high_[i] = v;
                anchor_[i] = rgb;
                continue;
            }
            float& low = low_[i];
            float& high = high_[i];
            int8_t& direction = direction_[i];
            if (direction <= 0 && v - low >= kLuminanceChange && low < kDarkerBelow) {
                direction = 1;
                high = v;
                Change(general_, static_cast<uint32_t>(i), frame);
            } else if (direction >= 0 && high - v >= kLuminanceChange && v < kDarkerBelow) {
                direction = -1;
                low = v;
                Change(general_, static_cast<uint32_t>(i), frame);
            } else {
                // Still on the way up or down (or not yet changed): the extremes widen.
                if (direction >= 0)
                    high = std::max(high, v);
                if (direction <= 0)
                    low = std::min(low, v);
            }
            const uint32_t anchor = anchor_[i];
            if (rgb != anchor && (IsSaturatedRed(rgb) || IsSaturatedRed(anchor)) &&
                ChromaticityDistance(anchor, rgb) > kChromaticityChange) {
                anchor_[i] = rgb;
                Change(red_, static_cast<uint32_t>(i), frame);
            }
        }
    }
    FlashSecond period;
    period.second = frame / framesPerSecond_;
    period.general = Count(general_);
    period.red = Count(red_);
    Record(period);
}

int FlashAnalysis::FieldBlocks(int pixels, int blocks) const {
    return std::min((pixels + blockSize_ - 1) / blockSize_, blocks);
}

FlashCount FlashAnalysis::Count(Rule& rule) {
    if (!rule.dirty)
        return rule.last;
    rule.dirty = false;
    rule.last = FlashCount();
    if (rule.flashing == 0)
        return rule.last;
    // The flashing pixels of every field, from a summed-area table of the flashing blocks'
    // pixels. The field is the fewest whole blocks that hold kFieldWidth x kFieldHeight.
    const size_t stride = static_cast<size_t>(columns_) + 1;
    for (int row = 0; row < rows_; row++) {
        long rowSum = 0;
        const uint16_t* changes = rule.changes.data() + static_cast<size_t>(row) * columns_;
        long* above = sums_.data() + static_cast<size_t>(row) * stride;
        long* sums = above + stride;
        for (int column = 0; column < columns_; column++) {
            if (changes[column] >= kFlashingChanges)
                rowSum += rule.area[static_cast<size_t>(row) * columns_ + column];
            sums[column + 1] = above[column + 1] + rowSum;
        }
    }
    const int fieldColumns = FieldBlocks(kFieldWidth, columns_);
    const int fieldRows = FieldBlocks(kFieldHeight, rows_);
    int bestLeft = 0, bestTop = 0;
    for (int top = 0; top + fieldRows <= rows_; top++) {
        const long* upper = sums_.data() + static_cast<size_t>(top) * stride;
        const long* lower = upper + static_cast<size_t>(fieldRows) * stride;
        for (int left = 0; left + fieldColumns <= columns_; left++) {
            const long area =
                lower[left + fieldColumns] - lower[left] - upper[left + fieldColumns] + upper[left];
            if (area > rule.last.area) {
                rule.last.area = area;
                bestLeft = left;
                bestTop = top;
            }
        }
    }
    int most = 0;
    for (int row = bestTop; row < bestTop + fieldRows; row++)
        for (int column = bestLeft; column < bestLeft + fieldColumns; column++)
            most = std::max<int>(most, rule.changes[static_cast<size_t>(row) * columns_ + column]);
    rule.last.flashes = most / 2;
    return rule.last;
}

void FlashAnalysis::Record(const FlashSecond& period) {
    auto area = [](const FlashSecond& s) { return std::max(s.general.area, s.red.area); };
    if (area(period) > area(worst_))
        worst_ = period;
    if (!period.Fails())
        return;
    if (failing_.empty() || failing_.back().second != period.second) {
        failing_.push_back(period);
        return;
    }
    FlashSecond& second = failing_.back();
    for (auto count : {&FlashSecond::general, &FlashSecond::red}) {
        (second.*count).area = std::max((second.*count).area, (period.*count).area);
        (second.*count).flashes = std::max((second.*count).flashes, (period.*count).flashes);
    }
}

std::string ClockTime(double seconds) {
    const long whole = static_cast<long>(std::floor(seconds));
    char text[32];
    std::snprintf(text, sizeof(text), "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

std::string FailingTimes(const FlashAnalysis& analysis, double firstSeconds, long joinWithin) {
    std::string times;
    const std::vector<FlashSecond>& failing = analysis.FailingSeconds();
    for (size_t i = 0; i < failing.size();) {
        size_t last = i;
        while (last + 1 < failing.size() &&
               failing[last + 1].second - failing[last].second <= joinWithin)
            ++last;
        if (!times.empty())
            times += ", ";
        times += ClockTime(firstSeconds + static_cast<double>(failing[i].second));
        if (last > i)
            times += "-" + ClockTime(firstSeconds + static_cast<double>(failing[last].second));
        i = last + 1;
    }
    return times;
}

std::string DescribeFlashes(const FlashAnalysis& analysis, double firstSeconds,
                            const char* (*partName)(double seconds)) {
    std::string report;
    char line[256];
    for (const FlashSecond& second : analysis.FailingSeconds()) {
        const double seconds = firstSeconds + static_cast<double>(second.second);
        std::snprintf(line, sizeof(line), "%6s  %-20s %-40s %s\n", ClockTime(seconds).c_str(),
                      partName ? partName(seconds) : "",
                      DescribeCount("general", second.general).c_str(),
                      DescribeCount("red", second.red).c_str());
        report += line;
    }
    const long seconds = static_cast<long>(analysis.FailingSeconds().size());
    const std::string checked = WithThousands(analysis.Pictures()) + " pictures at " +
                                std::to_string(analysis.FramesPerSecond()) + " fps";
    const FlashSecond& worst = analysis.Worst();
    const long worstArea = std::max(worst.general.area, worst.red.area);
    if (seconds == 0) {
        report +=
            "flash check: passes: no more than " + WithThousands(kFlashAreaLimit) +
            " pixels of any " + std::to_string(kFieldWidth) + " x " + std::to_string(kFieldHeight) +
            " field flash more than three times in a second (" + checked + "; at most " +
            WithThousands(worstArea) + " pixels" +
            (worstArea > 0 ? ", at " + ClockTime(firstSeconds + static_cast<double>(worst.second))
                           : std::string()) +
            ")\n";
    } else {
        report += "flash check: fails in " + std::to_string(seconds) +
                  (seconds == 1 ? " second" : " seconds") + " (" +
                  FailingTimes(analysis, firstSeconds, 1) + "): more than " +
                  WithThousands(kFlashAreaLimit) + " pixels of a " + std::to_string(kFieldWidth) +
                  " x " + std::to_string(kFieldHeight) +
                  " field flash more than three times in a second (" + checked + ")\n";
    }
    return report;
}

} // namespace render
