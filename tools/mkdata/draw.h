// Drawing for the generated images: colours, a canvas, shapes by distance, tiling noise, and
// the writer that stores an image as a 24-bit BMP file and checks it by reading it back.
//
// A Canvas holds one Color per pixel, rows of `width` pixels top row first, with channels in
// 0..255 (values beyond that range are allowed while drawing and are clamped once, when the
// canvas becomes 32-bit words 0x00RRGGBB: blue in bits 0-7, green 8-15, red 16-23).
//
// Everything that ends in a file is computed with +, -, *, /, sqrt and floor, which IEEE 754
// rounds the same way on every machine (the build forbids fused multiply-add and fast math),
// and with the deterministic sine and exponential of detmath.h, never the C library's. So the
// same bytes come out everywhere.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mkdata {

// A colour with channels in 0..255 (more while mixing light).
struct Color {
    double r, g, b;
};

inline Color operator+(Color a, Color b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}
inline Color operator-(Color a, Color b) {
    return {a.r - b.r, a.g - b.g, a.b - b.b};
}
inline Color operator*(Color a, double k) {
    return {a.r * k, a.g * k, a.b * k};
}
inline Color operator*(Color a, Color b) {
    return {a.r * b.r / 255.0, a.g * b.g / 255.0, a.b * b.b / 255.0};
}
// a at t = 0, b at t = 1.
inline Color Mix(Color a, Color b, double t) {
    return a + (b - a) * t;
}

// The show's palette: every logo and texture takes its colours from here.
namespace palette {
constexpr Color kBlack{0, 0, 0};
constexpr Color kNight{8, 6, 28};       // the deepest background
constexpr Color kIndigo{34, 22, 86};    // shadows and dark tiles
constexpr Color kViolet{110, 48, 170};  // mid tones
constexpr Color kMagenta{214, 64, 150}; // sparse accents
constexpr Color kCyan{60, 205, 255};    // the glow colour
constexpr Color kIce{190, 240, 255};    // the light end of the glow
constexpr Color kAmber{255, 166, 60};   // the warm accent
constexpr Color kWhite{255, 252, 244};
} // namespace palette

// Clamps a channel to 0..255 and rounds it to the nearest whole value.
uint32_t ChannelByte(double value);
// The 32-bit pixel 0x00RRGGBB of a colour (channels clamped and rounded).
uint32_t ToPixel(Color color);

double Clamp(double value, double low, double high);
// 0 at or below edge0, 1 at or above edge1, a smooth S-curve between.
double SmoothStep(double edge0, double edge1, double value);
// Deterministic sine and cosine (detmath::Sine).
double Sin(double radians);
double Cos(double radians);

class Canvas {
  public:
    Canvas(int width, int height, Color fill = palette::kBlack);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    Color Get(int x, int y) const { return pixels_[size_t(y) * size_t(width_) + size_t(x)]; }
    // The three setters ignore pixels outside the canvas.
    void Set(int x, int y, Color color);
    // Adds light: color × amount onto the pixel.
    void Add(int x, int y, Color color, double amount = 1.0);
    // Paints color over the pixel with opacity `amount` (0..1).
    void Blend(int x, int y, Color color, double amount);

    // The canvas as 32-bit words, rows top first.
    std::vector<uint32_t> Pixels() const;

  private:
    int width_;
    int height_;
    std::vector<Color> pixels_;
};

// Distance from point (px, py) to the segment from (ax, ay) to (bx, by).
double SegmentDistance(double px, double py, double ax, double ay, double bx, double by);

// Adds a soft round glow centred on (cx, cy): color × peak × e^(-(d / radius)^2), over the
// pixels within 3 radii.
void AddGlow(Canvas& canvas, double cx, double cy, double radius, Color color, double peak);

// Paints an anti-aliased line of the given width over the canvas (pixel centres at +0.5).
void StrokeLine(Canvas& canvas, double x0, double y0, double x1, double y1, double width,
                Color color);

// Value noise that tiles: a lattice of `period` x `period` random values, smoothly interpolated,
// so Value(x + period, y) = Value(x, y + period) = Value(x, y). Values lie in 0..1.
class TilingNoise {
  public:
    TilingNoise(uint32_t seed, int period);
    double Value(double x, double y) const;

  private:
    int period_;
    std::vector<double> lattice_;
};

// Sum of `octaves` noise layers, each twice the frequency and `gain` times the amplitude of the
// one before, over a 256-pixel tile: (x, y) in pixels, the first layer `cells` lattice cells
// across the tile. Tiles every 256 pixels. Result normalised to 0..1.
class TilingFractal {
  public:
    TilingFractal(uint32_t seed, int cells, int octaves, double gain);
    double Value(double x, double y) const;

  private:
    std::vector<TilingNoise> layers_;
    std::vector<double> amplitudes_;
    int cells_;
};

// Cellular (Worley) noise that tiles every `size` pixels: `cells` x `cells` cells, each with one
// random feature point. Distances() gives the distances (in pixels) from (x, y) to the nearest
// and the second nearest feature point.
class TilingCells {
  public:
    TilingCells(uint32_t seed, int cells, int size);
    void Distances(double x, double y, double* nearest, double* second) const;

  private:
    int cells_;
    double cellSize_;
    std::vector<double> featureX_;
    std::vector<double> featureY_;
};

// Stores the canvas as a 24-bit BMP file with the program's own writer, then reads it back
// with the program's own reader and compares every pixel. The width must be a multiple of 4.
// Any failure ends the process through GeneratorFailure.
void SaveImage(const Canvas& canvas, const std::string& path);

// Ends the process through FatalError (exit code 9999) with the message, which mkdata's main
// prints on standard error.
[[noreturn]] void GeneratorFailure(const std::string& message);

// Makes the folder (and its parents); fails like GeneratorFailure.
void MakeFolder(const std::string& path);

} // namespace mkdata
