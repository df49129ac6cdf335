#include "fx_reference.h"

#include "base/numeric.h"

#include <cstdlib>

void ReferenceBlitAdditive(const uint32_t* source, int32_t width, int32_t height, FrameBuffer frame,
                           int32_t x, int32_t y) {
    if (width <= 0 || height <= 0)
        return;
    if (x <= -width || y <= -height || x > 511 || y > 255)
        return;
    int32_t firstColumn = x, firstRow = y;
    const uint32_t* rowSource = source;
    if (x < 0) {
        rowSource += -x;
        firstColumn = 0;
    }
    if (y < 0) {
        rowSource += static_cast<int64_t>(-y) * width;
        firstRow = 0;
    }
    int32_t endColumn = x + width > 512 ? 512 : x + width;
    int32_t endRow = y + height > 256 ? 256 : y + height;
    if (firstRow >= endRow)
        return;
    for (int32_t row = firstRow; row < endRow; ++row) {
        const uint32_t* s = rowSource;
        for (int32_t column = firstColumn; column < endColumn; ++column, ++s) {
            uint32_t& d = frame[row * 512 + column];
            uint32_t red = (d & 0xFF0000) + (*s & 0xFF0000);
            if (red > 0xFF0000)
                red = 0xFF0000;
            uint32_t green = (d & 0xFF00) + (*s & 0xFF00);
            if (green > 0xFF00)
                green = 0xFF00;
            uint32_t blue = (d & 0xFF) + (*s & 0xFF);
            if (blue > 0xFF)
                blue = 0xFF;
            d = red + green + blue;
        }
        rowSource += width;
    }
}

namespace {

const float kNear = 0.996874988079071044921875f;
const double kSelf = 0.023;

uint32_t Channel(uint32_t pixel, int shift) {
    return (pixel >> shift) & 0xFF;
}

uint32_t RayPixel(uint32_t own, uint32_t neighbour) {
    uint32_t result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        int32_t a = TruncateToInt32(Channel(own, shift) * kSelf);
        int32_t v = TruncateToInt32(Channel(neighbour, shift) * static_cast<double>(kNear) + a);
        if (v > 255)
            v = 255;
        result |= static_cast<uint32_t>(v) << shift;
    }
    return result;
}

uint32_t InteriorPixel(uint32_t own, uint32_t diagonal, uint32_t axis, int32_t w) {
    uint32_t result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        int32_t o = Channel(own, shift), d = Channel(diagonal, shift), e = Channel(axis, shift);
        int32_t v = 1507 * o / 65536 + d * w / 65536 + e * (65536 - w) / 65536;
        if (v > 255)
            v = 255;
        result |= static_cast<uint32_t>(v) << shift;
    }
    return result;
}

uint32_t& At(FrameBuffer frame, int32_t x, int32_t y) {
    return frame[y * 512 + x];
}

} // namespace

void ReferenceRadialBlur(FrameBuffer frame, int32_t cx, int32_t cy) {
    static const int kRays[8][2] = {{1, 1},  {1, -1}, {0, -1}, {-1, -1},
                                    {-1, 0}, {1, 0},  {-1, 1}, {0, 1}};
    for (const auto& ray : kRays) {
        for (int32_t k = 1; k <= 511; ++k) {
            int32_t x = cx + k * ray[0], y = cy + k * ray[1];
            if (x < 0 || x >= 512 || y < 0 || y >= 256)
                continue;
            At(frame, x, y) = RayPixel(At(frame, x, y), At(frame, x - ray[0], y - ray[1]));
        }
    }

    // Quadrants: bottom-right, bottom-left, top-right, top-left.
    static const int kQuadrants[4][2] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}};
    for (const auto& quadrant : kQuadrants) {
        int sx = quadrant[0], sy = quadrant[1];
        for (int32_t y = cy + sy; y >= 0 && y < 256; y += sy) {
            int32_t dy = std::abs(y - cy);
            // Part A: between the vertical ray and the diagonal.
            for (int32_t x = cx + sx; std::abs(x - cx) < dy && x >= 0 && x < 512; x += sx) {
                int32_t w = 65536 * std::abs(x - cx) / dy;
                At(frame, x, y) = InteriorPixel(At(frame, x, y), At(frame, x - sx, y - sy),
                                                At(frame, x, y - sy), w);
            }
            // Part B: beyond the diagonal.
            for (int32_t x = cx + sx * (dy + 1); x >= 0 && x < 512; x += sx) {
                int32_t w = 65536 * dy / std::abs(x - cx);
                At(frame, x, y) = InteriorPixel(At(frame, x, y), At(frame, x - sx, y - sy),
                                                At(frame, x - sx, y), w);
            }
        }
    }
}

namespace {

// 32-bit machine arithmetic: wraps around instead of overflowing.
int32_t Add(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t StepOf(int32_t to, int32_t from) {
    return static_cast<int32_t>(static_cast<uint32_t>(to) - static_cast<uint32_t>(from)) >> 3;
}

} // namespace

void ReferenceMapBlock(const BlockGrid& grid, const uint32_t* texture, uint32_t* blockTopLeft,
                       int j, int i) {
    const int32_t* planes[3] = {grid.u, grid.v, grid.light};
    int32_t left[3], leftStep[3], right[3], rightStep[3];
    for (int p = 0; p < 3; ++p) {
        left[p] = planes[p][GridIndex(j, i)];
        leftStep[p] = StepOf(planes[p][GridIndex(j, i + 1)], left[p]);
        right[p] = planes[p][GridIndex(j + 1, i)];
        rightStep[p] = StepOf(planes[p][GridIndex(j + 1, i + 1)], right[p]);
    }
    uint32_t* row = blockTopLeft;
    for (int y = 0; y < 8; ++y) {
        int32_t value[3], step[3];
        for (int p = 0; p < 3; ++p) {
            value[p] = left[p];
            step[p] = StepOf(right[p], left[p]);
        }
        for (int x = 0; x < 8; ++x) {
            int32_t u = value[0], v = value[1], light = value[2];
            uint32_t texel = texture[((v >> 16) & 255) * 256 + ((u >> 16) & 255)];
            int32_t level = light >> 8;
            uint32_t red = ((texel >> 16) & 255) + (level & 255);
            uint32_t green = ((texel >> 8) & 255) + (level & 255);
            // The level as an unsigned number, without wrapping: a negative one saturates.
            uint64_t blue = (texel & 255) + uint64_t{static_cast<uint32_t>(level)};
            if (red > 255)
                red = 255;
            if (green > 255)
                green = 255;
            if (blue > 255)
                blue = 255;
            row[x] = red << 16 | green << 8 | static_cast<uint32_t>(blue);
            for (int p = 0; p < 3; ++p)
                value[p] = Add(value[p], step[p]);
        }
        for (int p = 0; p < 3; ++p) {
            left[p] = Add(left[p], leftStep[p]);
            right[p] = Add(right[p], rightStep[p]);
        }
        row += 512;
    }
}

void ReferenceMapGrid(const BlockGrid& grid, const uint32_t* texture, FrameBuffer frame) {
    for (int i = 0; i < 32; ++i)
        for (int j = 0; j < 64; ++j)
            ReferenceMapBlock(grid, texture, frame + 8 * i * 512 + 8 * j, j, i);
}

void ReferenceMapGridMasked(const BlockGrid& grid, const uint32_t* texture, FrameBuffer frame) {
    for (int i = 1; i < 32; ++i)
        for (int j = 1; j < 64; ++j) {
            if (grid.light[GridIndex(j, i)] == 256 || grid.light[GridIndex(j, i + 1)] == 256 ||
                grid.light[GridIndex(j + 1, i)] == 256 ||
                grid.light[GridIndex(j + 1, i + 1)] == 256)
                continue;
            ReferenceMapBlock(grid, texture, frame + 8 * i * 512 + 8 * j, j, i);
        }
}
