#include "mkdata/images.h"

#include "mkdata/detmath.h"
#include "mkdata/font.h"
#include "mkdata/paramfile.h"

#include <cmath>
#include <cstring>

namespace mkdata {

namespace {

using namespace palette;

constexpr double kPi = detmath::kPi;
constexpr double kTwoPi = detmath::kTwoPi;

// ---------------------------------------------------------------------------------------------
// Particle shapes. The scene stretches the 320 x 200 picture to the 512 x 256 frame: column c
// becomes frame x = c * 512 / 320 and row r frame y = r * 256 / 200. The figures are designed in
// frame coordinates, so that a circle here is round on the screen, and a picture pixel is lit
// when its frame position lies within `halfWidth` frame pixels of the figure's outline.

constexpr int kShapeWidth = 320;
constexpr int kShapeHeight = 200;

double Length2(double x, double y) {
    return std::sqrt(x * x + y * y);
}

// Approximate distance to the outline of an ellipse with radii (rx, ry) centred on the origin
// (negative inside): exact on the axes, close elsewhere.
double EllipseDistance(double x, double y, double rx, double ry) {
    double k0 = Length2(x / rx, y / ry);
    double k1 = Length2(x / (rx * rx), y / (ry * ry));
    if (k1 == 0.0)
        return -(rx < ry ? rx : ry);
    return k0 * (k0 - 1.0) / k1;
}

// The same for an ellipse centred on (cx, cy) and turned by `angle` radians.
double TurnedEllipseDistance(double x, double y, double cx, double cy, double rx, double ry,
                             double angle) {
    double c = Cos(angle), s = Sin(angle);
    double dx = x - cx, dy = y - cy;
    return EllipseDistance(dx * c + dy * s, -dx * s + dy * c, rx, ry);
}

template <typename Distance> Canvas PaintShape(Distance distance, double halfWidth) {
    Canvas canvas(kShapeWidth, kShapeHeight);
    for (int row = 0; row < kShapeHeight; ++row) {
        for (int column = 0; column < kShapeWidth; ++column) {
            double fx = column * 512.0 / kShapeWidth, fy = row * 256.0 / kShapeHeight;
            if (distance(fx, fy) < halfWidth)
                canvas.Set(column, row, Mix(kIce, kViolet, fy / 256.0));
        }
    }
    return canvas;
}

// Distance to a closed polyline through the points (xs[i], ys[i]).
double ClosedPolylineDistance(double x, double y, const std::vector<double>& xs,
                              const std::vector<double>& ys) {
    double best = 1e300;
    for (size_t i = 0; i < xs.size(); ++i) {
        size_t next = (i + 1) % xs.size();
        double d = SegmentDistance(x, y, xs[i], ys[i], xs[next], ys[next]);
        best = d < best ? d : best;
    }
    return best;
}

// Shape 1: the outline of a five-pointed star, drawn thick: 200 particles spread along its ten
// edges close enough together to draw them.
Canvas PaintShapeStar() {
    std::vector<double> xs, ys;
    for (int k = 0; k < 10; ++k) {
        double angle = -kPi / 2 + k * kPi / 5;
        double radius = k % 2 == 0 ? 118.0 : 48.0;
        xs.push_back(256.0 + radius * Cos(angle));
        ys.push_back(136.0 + radius * Sin(angle));
    }
    return PaintShape([&](double x, double y) { return ClosedPolylineDistance(x, y, xs, ys); },
                      2.6);
}

// Shape 2: a moth, the group's emblem, seen from above: the outline of its four wings and body,
// and two antennae.
Canvas PaintShapeMoth() {
    return PaintShape(
        [](double x, double y) {
            double mx = std::fabs(x - 256.0) + 256.0; // the right half, mirrored
            double wings = TurnedEllipseDistance(mx, y, 322.0, 98.0, 72.0, 40.0, -0.4);
            double hind = TurnedEllipseDistance(mx, y, 302.0, 162.0, 46.0, 32.0, 0.5);
            double body = EllipseDistance(x - 256.0, y - 128.0, 11.0, 62.0);
            double outline = wings < hind ? wings : hind;
            outline = body < outline ? body : outline;
            double d = std::fabs(outline);
            double antenna = SegmentDistance(mx, y, 260.0, 68.0, 274.0, 40.0);
            double tip = SegmentDistance(mx, y, 274.0, 40.0, 296.0, 30.0);
            d = antenna < d ? antenna : d;
            return tip < d ? tip : d;
        },
        2.2);
}

// Shape 3: a heart.
Canvas PaintShapeHeart() {
    std::vector<double> xs, ys;
    for (int step = 0; step < 240; ++step) {
        double t = step * kTwoPi / 240.0;
        double s = Sin(t);
        double hx = 16.0 * s * s * s;
        double hy = 13.0 * Cos(t) - 5.0 * Cos(2 * t) - 2.0 * Cos(3 * t) - Cos(4 * t);
        xs.push_back(256.0 + 7.2 * hx);
        ys.push_back(122.0 - 7.0 * hy); // the frame's y grows downward
    }
    return PaintShape(
        [&](double x, double y) {
            if (x < 131.0 || x > 381.0 || y < 22.0 || y > 250.0)
                return 1e300; // outside the heart's box: no need to measure
            return ClosedPolylineDistance(x, y, xs, ys);
        },
        2.6);
}

// ---------------------------------------------------------------------------------------------
// Particle sprite and logos.

// The particle: a soft glow, white at the core and cyan around it, fading to black well
// inside its square.
Canvas PaintLight() {
    Canvas canvas(20, 20);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            double dx = x + 0.5 - 10.0, dy = y + 0.5 - 10.0;
            double d2 = dx * dx + dy * dy;
            double halo = detmath::Exp(-d2 / 14.0) * (1.0 - SmoothStep(40.0, 90.0, d2));
            double core = detmath::Exp(-d2 / 2.6);
            canvas.Set(x, y, kCyan * (0.5 * halo) + kWhite * (0.6 * core));
        }
    }
    return canvas;
}

TextStyle LogoStyle(int dot) {
    TextStyle style;
    style.dot = dot;
    style.glowRadius = dot * 0.9;
    return style;
}

TextStyle WarmStyle(int dot) {
    TextStyle style = LogoStyle(dot);
    style.top = kWhite;
    style.bottom = kAmber;
    style.glow = kAmber;
    return style;
}

// The group's emblem in dots: a moth with its antennae up.
const std::vector<std::string> kMothDots = {
    ".#.......#.", "..#.....#..", "###..#..###", "####.#.####",
    ".###.#.###.", "..##.#.##..", ".....#.....",
};

// The group logo, drawn over the particles in the top-left corner.
Canvas PaintGroupLogo() {
    Canvas canvas(208, 36);
    DrawDotPattern(canvas, 8, 8, kMothDots, WarmStyle(2));
    DrawText(canvas, 40, 7, "Lumenmoth", LogoStyle(3));
    return canvas;
}

// The overlay of the rotozoom, in the top-right corner: the demo's title.
Canvas PaintTitleOverlay() {
    Canvas canvas(176, 56);
    DrawText(canvas, 14, 14, "Duziv2i", LogoStyle(4));
    return canvas;
}

// The ball scene's logo (loaded with the scene, not drawn).
Canvas PaintBallLogo() {
    Canvas canvas(152, 32);
    DrawDotPattern(canvas, 8, 9, kMothDots, WarmStyle(2));
    DrawText(canvas, 36, 9, "Lumenmoth", LogoStyle(2));
    return canvas;
}

// The closing screen: emblem, title, the group, a row of dots and a line of thanks, over a few
// faint stars.
Canvas PaintEndLogo() {
    Canvas canvas(512, 256);
    detmath::Noise stars(77);
    for (int i = 0; i < 60; ++i) {
        double x = 16.0 + 480.0 * (0.5 + 0.5 * stars.NextSigned());
        double y = 12.0 + 232.0 * (0.5 + 0.5 * stars.NextSigned());
        double level = 0.15 + 0.25 * (0.5 + 0.5 * stars.NextSigned());
        AddGlow(canvas, x, y, 0.9, i % 5 == 0 ? kAmber : kIce, level);
    }
    DrawDotPattern(canvas, 256 - 22, 14, kMothDots, WarmStyle(4));
    DrawTextCentred(canvas, 256, 56, "Duziv2i", LogoStyle(8));
    DrawTextCentred(canvas, 256, 132, "a Lumenmoth production", LogoStyle(3));
    for (int i = -7; i <= 7; ++i)
        AddGlow(canvas, 256.0 + i * 12.0, 176.0, 1.4, Mix(kCyan, kViolet, std::fabs(i) / 7.0),
                0.9 - 0.08 * std::fabs(i));
    DrawTextCentred(canvas, 256, 198, "thanks for watching", WarmStyle(3));
    return canvas;
}

// ---------------------------------------------------------------------------------------------
// Object scene.

// The environment map: a chrome studio. The object is shaded by its camera-space normal n,
// looked up at (n.x * 120 + 127, n.y * 120 + 127) with y down the screen, so each texel is the
// colour that a mirror with that normal reflects: a cyan sky over a white horizon, a violet
// floor, and three soft boxes. The scene's radial blur then carries the object's light outward
// as rays; their colour is the colour of the reflections.
Canvas PaintEnvironment() {
    Canvas canvas(256, 256);
    const double key[3] = {-0.45, -0.62, -0.64}; // white, up left, behind the camera
    const double rim[3] = {0.82, -0.28, 0.5};    // cyan, right, behind the object
    const double low[3] = {-0.78, 0.3, 0.55};    // magenta, low left, behind
    for (int v = 0; v < 256; ++v) {
        for (int u = 0; u < 256; ++u) {
            double x = (u + 0.5 - 127.0) / 120.0, y = (v + 0.5 - 127.0) / 120.0;
            double r2 = x * x + y * y;
            if (r2 > 1.0) {
                // Beyond the unit circle no normal looks: the floor's darkest tone.
                canvas.Set(u, v, kIndigo * 0.6);
                continue;
            }
            double s = std::sqrt(1.0 - r2);
            // Mirror the view direction (0, 0, 1) on the normal (x, y, -s).
            double rx = 2.0 * s * x, ry = 2.0 * s * y, rz = 1.0 - 2.0 * s * s;
            double up = -ry;
            Color c;
            if (up >= 0.0) {
                c = Mix(kIce * 0.85, kCyan * 0.7, SmoothStep(0.0, 0.3, up));
                c = Mix(c, kIndigo * 1.2, SmoothStep(0.3, 0.95, up));
            } else {
                c = Mix(kViolet, kIndigo, SmoothStep(0.0, 0.5, -up));
                c = Mix(c, kIndigo * 0.6, SmoothStep(0.5, 1.0, -up));
            }
            // The horizon line, fading where the mirror looks straight ahead (the outline of
            // the object), which would otherwise ring every silhouette in white.
            double horizon = up / 0.04;
            c = c + kWhite * (0.6 * detmath::Exp(-horizon * horizon) *
                              (1.0 - SmoothStep(0.5, 0.95, rz)));
            double d1 = rx * key[0] + ry * key[1] + rz * key[2];
            double d2 = rx * rim[0] + ry * rim[1] + rz * rim[2];
            double d3 = rx * low[0] + ry * low[1] + rz * low[2];
            c = c + kWhite * (0.9 * SmoothStep(0.94, 0.97, d1));
            c = c + kCyan * (0.7 * SmoothStep(0.92, 0.97, d2));
            c = c + kMagenta * (0.6 * SmoothStep(0.93, 0.975, d3));
            canvas.Set(u, v, c);
        }
    }
    return canvas;
}

// Adds a glow's light at distance d from its centre to one colour (AddGlow for a single pixel).
void AddGlowPixel(Color& c, double d, double radius, Color color, double peak) {
    double e = d / radius;
    c = c + color * (peak * detmath::Exp(-e * e));
}

// The object scene's strip: four frames of rings that spread from the centre, one ring step
// per second (the scene shows a frame every quarter second), so frame 3 runs into frame 0.
Canvas PaintCircleStrip() {
    constexpr int kSize = 64;
    Canvas canvas(kSize, kSize * 4);
    for (int frame = 0; frame < 4; ++frame) {
        for (int y = 0; y < kSize; ++y) {
            for (int x = 0; x < kSize; ++x) {
                double d = Length2(x + 0.5 - 32.0, y + 0.5 - 32.0);
                Color c = kBlack;
                for (int ring = 0; ring < 3; ++ring) {
                    double radius = 5.0 + 8.0 * (ring + frame / 4.0);
                    double fade = SmoothStep(4.0, 9.0, radius) * (1.0 - radius / 29.0);
                    double e = (d - radius) / 1.3;
                    c = c + Mix(kIce, kViolet, radius / 29.0) * (fade * detmath::Exp(-e * e));
                }
                AddGlowPixel(c, d, 2.2, kIce, 0.5 + 0.2 * ((frame + 1) % 2));
                canvas.Set(x, frame * kSize + y, c);
            }
        }
    }
    return canvas;
}

// ---------------------------------------------------------------------------------------------
// Ball scene.

// A well-mixed hash of a tile's position, for picking its colour.
uint32_t TileHash(int column, int row, uint32_t seed) {
    uint32_t h = uint32_t(column) * 0x8DA6B343u ^ uint32_t(row) * 0xD8163841u ^ seed;
    h ^= h >> 13;
    h *= 0x85EBCA6Bu;
    h ^= h >> 16;
    return h;
}

// The ball's texture: a mosaic of glazed tiles, 32 x 32 tiles of 8 texels. The ball is seen
// from close by, a texel covering up to 25 pixels, so the tiles carry the detail: dark glaze
// with a lit bevel, and a few bright tiles that the blur turns into rays.
Canvas PaintBallTexture() {
    Canvas canvas(256, 256);
    TilingFractal cloud(11, 4, 4, 0.5);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            // Tiles are offset by 4 texels, so the wrap falls inside a tile row.
            int tx = ((x + 4) / 8) % 32, ty = ((y + 4) / 8) % 32;
            int lx = (x + 4) % 8, ly = (y + 4) % 8;
            uint32_t pick = TileHash(tx, ty, 17) % 100u;
            double swirl = cloud.Value(tx * 8.0, ty * 8.0);
            Color base = Mix(kIndigo * 0.9, kViolet * 0.7, swirl);
            if (pick < 7)
                base = kCyan * 0.85;
            else if (pick < 10)
                base = kAmber * 0.75;
            else if (pick < 12)
                base = kMagenta * 0.7;
            Color c = base;
            if (lx == 1 || ly == 1)
                c = c * 1.35 + kWhite * 0.06; // lit bevel, top and left
            if (lx == 7 || ly == 7)
                c = c * 0.6; // shaded bevel, bottom and right
            if (lx == 0 || ly == 0)
                c = kNight; // grout
            canvas.Set(x, y, c);
        }
    }
    return canvas;
}

// The ball scene's strip: 30 frames of eight dots circling; over the loop they turn one eighth
// of a turn, so the last frame runs into the first.
Canvas PaintOctetStrip() {
    constexpr int kSize = 64;
    constexpr int kFrames = 30;
    Canvas canvas(kSize, kSize * kFrames);
    for (int frame = 0; frame < kFrames; ++frame) {
        Canvas cell(kSize, kSize);
        double phase = double(frame) / kFrames;
        for (int dot = 0; dot < 8; ++dot) {
            double angle = (dot + phase) * kTwoPi / 8.0;
            double pulse = 0.5 + 0.5 * Cos(angle * 2.0 - phase * kTwoPi);
            AddGlow(cell, 32.0 + 20.0 * Cos(angle), 32.0 + 20.0 * Sin(angle), 2.4,
                    Mix(kCyan, kIce, pulse), 0.6 + 0.5 * pulse);
        }
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                canvas.Set(x, frame * kSize + y, cell.Get(x, y));
    }
    return canvas;
}

// ---------------------------------------------------------------------------------------------
// Ray-cast scenes and rotozoom.

// The rippled plane: light caustics over deep water.
Canvas PaintCaustics() {
    Canvas canvas(256, 256);
    TilingCells cells(23, 8, 256);
    TilingCells fine(31, 16, 256);
    TilingFractal depth(29, 4, 4, 0.5);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            double nearest = 0.0, second = 0.0, fineNearest = 0.0, fineSecond = 0.0;
            cells.Distances(x + 0.5, y + 0.5, &nearest, &second);
            fine.Distances(x + 0.5, y + 0.5, &fineNearest, &fineSecond);
            double line = detmath::Exp(-(second - nearest) / 3.0);
            double fineLine = detmath::Exp(-(fineSecond - fineNearest) / 2.0);
            Color c = Mix(kNight, kIndigo, depth.Value(x, y));
            c = c + kViolet * (0.35 * fineLine);
            c = c + Mix(kCyan, kIce, line) * (0.9 * line);
            canvas.Set(x, y, c);
        }
    }
    return canvas;
}

// The floor, ceiling and column: metal panels of a space station, 4 x 4 panels of 64 texels,
// some split in two or four, with seams, rivets, lit strips and warning stripes.
Canvas PaintPanels() {
    Canvas canvas(256, 256);
    TilingFractal grain(41, 8, 4, 0.55);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            int panel = (y / 64) * 4 + x / 64;
            int px = x % 64, py = y % 64;
            uint32_t kind = TileHash(x / 64, y / 64, 5) % 6u;
            // Split panels: kind 1 in two halves side by side, kind 2 in four quarters.
            int sx = px, sy = py, size = 64;
            if (kind == 1 || kind == 2) {
                sx = px % 32;
                size = 32;
            }
            if (kind == 2)
                sy = py % 32;
            int sizeY = kind == 2 ? 32 : 64;
            Color base = (panel + int(kind)) % 3 == 0 ? kViolet * 0.75 : kIndigo * 1.3;
            Color c = base * (0.7 + 0.6 * grain.Value(x, y));
            // Bevel: lit on the top and left edges, shaded on the others.
            if (sx < 4 || sy < 4)
                c = c * 1.3 + kWhite * 0.08;
            else if (sx >= size - 3 || sy >= sizeY - 3)
                c = c * 0.6;
            // Rivets near the corners.
            for (int cy : {6, sizeY - 7}) {
                for (int cx : {6, size - 7}) {
                    double d = Length2(sx - cx, sy - cy);
                    if (d < 2.0)
                        c = Mix(c, kIce * 0.8, SmoothStep(2.0, 1.0, d));
                }
            }
            if (kind == 3 && py >= 28 && py < 36 && px >= 8 && px < 56)
                c = Mix(kCyan, kIce, SmoothStep(4.0, 0.0, std::fabs(py - 31.5))); // light strip
            if (kind == 4 && py >= 44 && py < 56 && px >= 6 && px < 58)
                c = ((px + py) / 6) % 2 == 0 ? kAmber * 0.9 : kNight; // warning stripes
            if (sx < 1 || sy < 1)
                c = kNight; // seam
            canvas.Set(x, y, c);
        }
    }
    return canvas;
}

// The rotozoom: the group's ring of eight lights on a chequered field of warm violet. The scene
// blurs every frame outward from a wandering centre: each level of 87 or more lifts the ray
// running through it and each level under 44 lowers it, so the field mixes the two and the
// light sits in the rings, the lights and the grid dots.
Canvas PaintRotozoomTexture() {
    Canvas canvas(256, 256);
    TilingFractal haze(53, 4, 3, 0.5);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            // Chequer cells of 32 texels, shifted by 16 so the wrap falls inside a cell.
            bool warm = (((x + 16) / 32) + ((y + 16) / 32)) % 2 == 0;
            double h = haze.Value(x, y);
            Color c = warm ? Mix(kMagenta * 0.42, kViolet * 0.75, h) : Mix(kNight, kIndigo, h);
            double gx = std::fmod(x + 0.5, 32.0) - 16.0, gy = std::fmod(y + 0.5, 32.0) - 16.0;
            c = c + kIce * (0.7 * SmoothStep(2.4, 1.0, Length2(gx, gy)));
            double d = Length2(x + 0.5 - 128.0, y + 0.5 - 128.0);
            c = Mix(c, kNight, SmoothStep(100.0, 96.0, d) * 0.45);
            double outer = (d - 92.0) / 2.4, inner = (d - 58.0) / 1.7;
            c = c + kAmber * (0.9 * detmath::Exp(-outer * outer));
            c = c + kCyan * (0.85 * detmath::Exp(-inner * inner));
            canvas.Set(x, y, c);
        }
    }
    // Eight lights on the ring between, and a star in the middle.
    for (int k = 0; k < 8; ++k) {
        double angle = k * kTwoPi / 8.0;
        AddGlow(canvas, 128.0 + 75.0 * Cos(angle), 128.0 + 75.0 * Sin(angle), 4.0,
                Mix(kIce, kAmber, (k % 2) * 0.7), 1.0);
    }
    for (int k = 0; k < 4; ++k) {
        double angle = k * kPi / 4.0;
        StrokeLine(canvas, 128.0 - 30.0 * Cos(angle), 128.0 - 30.0 * Sin(angle),
                   128.0 + 30.0 * Cos(angle), 128.0 + 30.0 * Sin(angle), 2.0,
                   k % 2 ? kIce : kMagenta);
    }
    AddGlow(canvas, 128.0, 128.0, 6.0, kWhite, 0.9);
    return canvas;
}

// Strips the "data/" that the parameter file's paths begin with.
std::string BelowData(const char* path) {
    const char* prefix = "data/";
    size_t length = std::strlen(prefix);
    return std::strncmp(path, prefix, length) == 0 ? std::string(path + length) : path;
}

} // namespace

const std::vector<std::string>& MothEmblemDots() {
    return kMothDots;
}

TextStyle EmblemStyle(int dot) {
    return WarmStyle(dot);
}

const std::vector<ImageFile>& ShowImages() {
    static const std::vector<ImageFile> images = {
        {"particules/forme.bmp", 320, 200, PaintShapeStar, 1, ImageKind::kShape},
        {"particules/forme2.bmp", 320, 200, PaintShapeMoth, 1, ImageKind::kShape},
        {"particules/forme3.bmp", 320, 200, PaintShapeHeart, 1, ImageKind::kShape},
        {"particules/light2.bmp", 20, 20, PaintLight, 1, ImageKind::kPicture},
        {"klvlogo.bmp", 208, 36, PaintGroupLogo, 1, ImageKind::kPicture},
        {"3d/env_neg.bmp", 256, 256, PaintEnvironment, 1, ImageKind::kPicture},
        {"boule/anim_cercle2.bmp", 64, 256, PaintCircleStrip, 4, ImageKind::kPicture},
        {BelowData(kBallTexturePath), 256, 256, PaintBallTexture, 1, ImageKind::kTexture},
        {BelowData(kBallAnimationPath), 64, 64 * 30, PaintOctetStrip, 30, ImageKind::kPicture},
        {BelowData(kBallLogoPath), 152, 32, PaintBallLogo, 1, ImageKind::kPicture},
        {"boule/tex7c.bmp", 256, 256, PaintCaustics, 1, ImageKind::kTexture},
        {"zoom/texture1.bmp", 256, 256, PaintPanels, 1, ImageKind::kTexture},
        {"rotozoom/texture.bmp", 256, 256, PaintRotozoomTexture, 1, ImageKind::kTexture},
        {"boule/under.bmp", 176, 56, PaintTitleOverlay, 1, ImageKind::kPicture},
        {"logofin.bmp", 512, 256, PaintEndLogo, 1, ImageKind::kPicture},
    };
    return images;
}

void WriteImages(const std::string& dataDir) {
    for (const ImageFile& image : ShowImages()) {
        Canvas canvas = image.paint();
        if (canvas.Width() != image.width || canvas.Height() != image.height)
            GeneratorFailure("image " + image.path + " was painted at the wrong size");
        if (image.kind == ImageKind::kShape) {
            int lit = 0;
            for (uint32_t pixel : canvas.Pixels())
                lit += pixel != 0;
            if (lit < kShapeMinLitPixels || lit > kShapeMaxLitPixels)
                GeneratorFailure("shape " + image.path + " has " + std::to_string(lit) +
                                 " lit pixels");
        }
        std::string path = dataDir + "/" + image.path;
        MakeFolder(path.substr(0, path.find_last_of('/')));
        SaveImage(canvas, path);
    }
}

} // namespace mkdata
