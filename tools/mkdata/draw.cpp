#include "mkdata/draw.h"

#include "assets/bmp.h"
#include "mkdata/detmath.h"
#include "base/process.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace mkdata {

uint32_t ChannelByte(double value) {
    if (!(value > 0.0))
        return 0;
    if (value >= 255.0)
        return 255;
    return uint32_t(std::floor(value + 0.5));
}

uint32_t ToPixel(Color color) {
    return (ChannelByte(color.r) << 16) | (ChannelByte(color.g) << 8) | ChannelByte(color.b);
}

double Clamp(double value, double low, double high) {
    return value < low ? low : (value > high ? high : value);
}

double SmoothStep(double edge0, double edge1, double value) {
    double t = Clamp((value - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

double Sin(double radians) {
    return detmath::Sine(radians);
}
double Cos(double radians) {
    return detmath::Sine(radians + detmath::kPi / 2.0);
}

Canvas::Canvas(int width, int height, Color fill)
    : width_(width), height_(height), pixels_(size_t(width) * size_t(height), fill) {}

void Canvas::Set(int x, int y, Color color) {
    if (Contains(x, y))
        pixels_[size_t(y) * size_t(width_) + size_t(x)] = color;
}

void Canvas::Add(int x, int y, Color color, double amount) {
    if (Contains(x, y)) {
        Color& pixel = pixels_[size_t(y) * size_t(width_) + size_t(x)];
        pixel = pixel + color * amount;
    }
}

void Canvas::Blend(int x, int y, Color color, double amount) {
    if (Contains(x, y)) {
        Color& pixel = pixels_[size_t(y) * size_t(width_) + size_t(x)];
        pixel = Mix(pixel, color, Clamp(amount, 0.0, 1.0));
    }
}

std::vector<uint32_t> Canvas::Pixels() const {
    std::vector<uint32_t> words(pixels_.size());
    for (size_t i = 0; i < pixels_.size(); ++i)
        words[i] = ToPixel(pixels_[i]);
    return words;
}

double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
    double dx = bx - ax, dy = by - ay;
    double lengthSquared = dx * dx + dy * dy;
    double t = 0.0;
    if (lengthSquared > 0.0)
        t = Clamp(((px - ax) * dx + (py - ay) * dy) / lengthSquared, 0.0, 1.0);
    double ex = px - (ax + t * dx), ey = py - (ay + t * dy);
    return std::sqrt(ex * ex + ey * ey);
}

void AddGlow(Canvas& canvas, double cx, double cy, double radius, Color color, double peak) {
    int x0 = int(std::floor(cx - 3.0 * radius)), x1 = int(std::floor(cx + 3.0 * radius)) + 1;
    int y0 = int(std::floor(cy - 3.0 * radius)), y1 = int(std::floor(cy + 3.0 * radius)) + 1;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            double dx = (x + 0.5 - cx) / radius, dy = (y + 0.5 - cy) / radius;
            double d2 = dx * dx + dy * dy;
            if (d2 < 9.0)
                canvas.Add(x, y, color, peak * detmath::Exp(-d2));
        }
    }
}

void StrokeLine(Canvas& canvas, double x0, double y0, double x1, double y1, double width,
                Color color) {
    double reach = width / 2.0 + 1.0;
    int left = int(std::floor((x0 < x1 ? x0 : x1) - reach));
    int right = int(std::floor((x0 > x1 ? x0 : x1) + reach));
    int top = int(std::floor((y0 < y1 ? y0 : y1) - reach));
    int bottom = int(std::floor((y0 > y1 ? y0 : y1) + reach));
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            double d = SegmentDistance(x + 0.5, y + 0.5, x0, y0, x1, y1);
            double coverage = Clamp(width / 2.0 + 0.5 - d, 0.0, 1.0);
            if (coverage > 0.0)
                canvas.Blend(x, y, color, coverage);
        }
    }
}

namespace {

// A well-mixed 32-bit hash (the finaliser of MurmurHash3).
uint32_t Hash(uint32_t value) {
    value ^= value >> 16;
    value *= 0x85EBCA6Bu;
    value ^= value >> 13;
    value *= 0xC2B2AE35u;
    value ^= value >> 16;
    return value;
}

double UnitRandom(uint32_t seed, uint32_t index) {
    return double(Hash(seed * 0x9E3779B9u + index * 0x7FEB352Du + 0x165667B1u)) / 4294967296.0;
}

int Wrap(int value, int period) {
    int r = value % period;
    return r < 0 ? r + period : r;
}

} // namespace

TilingNoise::TilingNoise(uint32_t seed, int period)
    : period_(period), lattice_(size_t(period) * size_t(period)) {
    for (size_t i = 0; i < lattice_.size(); ++i)
        lattice_[i] = UnitRandom(seed, uint32_t(i));
}

double TilingNoise::Value(double x, double y) const {
    double fx = std::floor(x), fy = std::floor(y);
    int ix = Wrap(int(fx), period_), iy = Wrap(int(fy), period_);
    int jx = Wrap(ix + 1, period_), jy = Wrap(iy + 1, period_);
    double tx = x - fx, ty = y - fy;
    // Quintic fade: continuous slope and curvature across cell edges.
    tx = tx * tx * tx * (tx * (tx * 6.0 - 15.0) + 10.0);
    ty = ty * ty * ty * (ty * (ty * 6.0 - 15.0) + 10.0);
    double a = lattice_[size_t(iy) * period_ + ix], b = lattice_[size_t(iy) * period_ + jx];
    double c = lattice_[size_t(jy) * period_ + ix], d = lattice_[size_t(jy) * period_ + jx];
    double top = a + (b - a) * tx, bottom = c + (d - c) * tx;
    return top + (bottom - top) * ty;
}

TilingFractal::TilingFractal(uint32_t seed, int cells, int octaves, double gain) : cells_(cells) {
    double amplitude = 1.0;
    for (int octave = 0; octave < octaves; ++octave) {
        layers_.emplace_back(seed + uint32_t(octave) * 1013u, cells << octave);
        amplitudes_.push_back(amplitude);
        amplitude *= gain;
    }
}

double TilingFractal::Value(double x, double y) const {
    double sum = 0.0, total = 0.0;
    for (size_t octave = 0; octave < layers_.size(); ++octave) {
        double scale = double(cells_ << octave) / 256.0;
        sum += amplitudes_[octave] * layers_[octave].Value(x * scale, y * scale);
        total += amplitudes_[octave];
    }
    return sum / total;
}

TilingCells::TilingCells(uint32_t seed, int cells, int size)
    : cells_(cells), cellSize_(double(size) / cells), featureX_(size_t(cells) * size_t(cells)),
      featureY_(size_t(cells) * size_t(cells)) {
    for (int cy = 0; cy < cells; ++cy) {
        for (int cx = 0; cx < cells; ++cx) {
            size_t i = size_t(cy) * size_t(cells) + size_t(cx);
            featureX_[i] = (cx + 0.1 + 0.8 * UnitRandom(seed, uint32_t(2 * i))) * cellSize_;
            featureY_[i] = (cy + 0.1 + 0.8 * UnitRandom(seed, uint32_t(2 * i + 1))) * cellSize_;
        }
    }
}

void TilingCells::Distances(double x, double y, double* nearest, double* second) const {
    double size = cellSize_ * cells_;
    int cx = int(std::floor(x / cellSize_)), cy = int(std::floor(y / cellSize_));
    double best = 1e300, next = 1e300;
    for (int oy = -2; oy <= 2; ++oy) {
        for (int ox = -2; ox <= 2; ++ox) {
            int nx = cx + ox, ny = cy + oy;
            int wx = Wrap(nx, cells_), wy = Wrap(ny, cells_);
            size_t i = size_t(wy) * size_t(cells_) + size_t(wx);
            // The feature point of the wrapped cell, moved to the copy of the tile next to (x, y).
            double fx = featureX_[i] + std::floor(double(nx) / cells_) * size;
            double fy = featureY_[i] + std::floor(double(ny) / cells_) * size;
            double d = std::sqrt((fx - x) * (fx - x) + (fy - y) * (fy - y));
            if (d < best) {
                next = best;
                best = d;
            } else if (d < next) {
                next = d;
            }
        }
    }
    *nearest = best;
    *second = next;
}

void GeneratorFailure(const std::string& message) {
    FatalError(message.c_str());
}

void MakeFolder(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error || !std::filesystem::is_directory(path))
        GeneratorFailure("cannot make the folder " + path);
}

void SaveImage(const Canvas& canvas, const std::string& path) {
    int width = canvas.Width(), height = canvas.Height();
    if (width <= 0 || height <= 0 || width % 4 != 0)
        GeneratorFailure("image " + path + ": width must be a positive multiple of 4");
    std::vector<uint32_t> words = canvas.Pixels();
    std::vector<uint8_t> packed(words.size() * 3);
    PackBGR24(words.data(), packed.data(), int(words.size()));
    if (WriteBMP(path.c_str(), packed.data(), width, height, 24, nullptr) != 0)
        GeneratorFailure("cannot write " + path);

    uint8_t* pixels = nullptr;
    uint8_t* palette = nullptr;
    int readWidth = 0, readHeight = 0, readBpp = 0;
    int result = ReadBMP(path.c_str(), &pixels, &readWidth, &readHeight, &readBpp, &palette);
    bool same = result == 0 && readWidth == width && readHeight == height && readBpp == 24 &&
                palette == nullptr;
    if (same) {
        std::vector<uint32_t> unpacked(words.size());
        UnpackBGR24(pixels, unpacked.data(), int(unpacked.size()));
        same = unpacked == words;
    }
    std::free(pixels);
    std::free(palette);
    if (!same)
        GeneratorFailure("image " + path + " does not read back as written");
}

} // namespace mkdata
