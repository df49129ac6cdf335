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

// Shape 1: a ring around a five-pointed star.
Canvas PaintShapeStar() {
    return PaintShape(
        [](double x, double y) {
            double dx = x - 256.0, dy = y - 128.0;
            double d = std::fabs(Length2(dx, dy) - 112.0);
            double px[5], py[5];
            for (int k = 0; k < 5; ++k) {
                double angle = -kPi / 2 + k * kTwoPi / 5;
                px[k] = 256.0 + 100.0 * Cos(angle);
                py[k] = 128.0 + 100.0 * Sin(angle);
            }
            for (int k = 0; k < 5; ++k) {
                int next = (k + 2) % 5;
                double e = SegmentDistance(x, y, px[k], py[k], px[next], py[next]);
                d = e < d ? e : d;
            }
            return d;
        },
        1.2);
}

// Shape 2: a moth, the group's emblem, seen from above.
Canvas PaintShapeMoth() {
    return PaintShape(
        [](double x, double y) {
            double mx = std::fabs(x - 256.0) + 256.0; // the right half, mirrored
            double wings = TurnedEllipseDistance(mx, y, 330.0, 100.0, 78.0, 44.0, -0.35);
            double hind = TurnedEllipseDistance(mx, y, 310.0, 165.0, 52.0, 34.0, 0.45);
            double body = EllipseDistance(x - 256.0, y - 140.0, 10.0, 58.0);
            double head = Length2(x - 256.0, y - 74.0) - 11.0;
            double outline = wings < hind ? wings : hind;
            outline = body < outline ? body : outline;
            outline = head < outline ? head : outline;
            double d = std::fabs(outline);
            // Eye spots on the fore wings and the antennae.
            double eye = std::fabs(Length2(mx - 338.0, y - 98.0) - 16.0);
            d = eye < d ? eye : d;
            double antenna = SegmentDistance(mx, y, 262.0, 66.0, 282.0, 36.0);
            double tip = SegmentDistance(mx, y, 282.0, 36.0, 306.0, 26.0);
            d = antenna < d ? antenna : d;
            return tip < d ? tip : d;
        },
        1.2);
}

// Shape 3: a spiral of three turns.
Canvas PaintShapeSpiral() {
    return PaintShape(
        [](double x, double y) {
            double best = 1e300;
            double px = 256.0, py = 128.0;
            for (int step = 1; step <= 600; ++step) {
                double t = step / 600.0;
                double angle = t * 3.0 * kTwoPi;
                double radius = 8.0 + 108.0 * t;
                double qx = 256.0 + radius * Cos(angle), qy = 128.0 + radius * Sin(angle);
                double d = SegmentDistance(x, y, px, py, qx, qy);
                best = d < best ? d : best;
                px = qx;
                py = qy;
            }
            return best;
        },
        1.2);
}

// ---------------------------------------------------------------------------------------------
// Particle sprite and logos.

// The particle: a small soft glow, white at the core and cyan around it.
Canvas PaintLight() {
    Canvas canvas(16, 16);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            double dx = x + 0.5 - 8.0, dy = y + 0.5 - 8.0;
            double d2 = dx * dx + dy * dy;
            double halo = detmath::Exp(-d2 / 10.0), core = detmath::Exp(-d2 / 2.2);
            canvas.Set(x, y, kCyan * (0.55 * halo) + kWhite * (0.5 * core));
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

// The group logo, drawn over the particles in the top-left corner.
Canvas PaintGroupLogo() {
    Canvas canvas(176, 36);
    DrawText(canvas, 8, 7, "Lumenmoth", LogoStyle(3));
    return canvas;
}

// The overlay of the rotozoom, in the top-right corner: the demo's title.
Canvas PaintTitleOverlay() {
    Canvas canvas(160, 40);
    DrawText(canvas, 6, 6, "Duziv2i", LogoStyle(4));
    return canvas;
}

// The ball scene's logo (loaded with the scene, not drawn).
Canvas PaintBallLogo() {
    Canvas canvas(128, 32);
    DrawText(canvas, 8, 6, "Lumenmoth", LogoStyle(2));
    return canvas;
}

// The closing screen: the title, the group, and a line of thanks.
Canvas PaintEndLogo() {
    Canvas canvas(512, 256);
    DrawTextCentred(canvas, 256, 40, "Duziv2i", LogoStyle(8));
    DrawTextCentred(canvas, 256, 130, "a Lumenmoth production", LogoStyle(3));
    DrawTextCentred(canvas, 256, 200, "thanks for watching", WarmStyle(3));
    return canvas;
}

// ---------------------------------------------------------------------------------------------
// Object scene.

// The environment map: a chrome studio. The object is shaded by its camera-space normal n
// looked up at (n.x * 120 + 127, n.y * 120 + 127) (y down), so each texel is the colour a
// mirror with that normal reflects: sky above the horizon, warm floor below, and soft boxes.
Canvas PaintEnvironment() {
    Canvas canvas(256, 256);
    const double l1[3] = {-0.45, -0.62, -0.64}; // key light, up left behind the camera
    const double l2[3] = {0.82, -0.28, 0.5};    // cyan rim, right, behind the object
    const double l3[3] = {-0.78, 0.3, 0.55};    // magenta rim, low left, behind
    for (int v = 0; v < 256; ++v) {
        for (int u = 0; u < 256; ++u) {
            double x = (u + 0.5 - 127.0) / 120.0, y = (v + 0.5 - 127.0) / 120.0;
            double r2 = x * x + y * y;
            if (r2 > 1.0) {
                double r = std::sqrt(r2);
                x /= r;
                y /= r;
                r2 = 1.0;
            }
            double s = std::sqrt(1.0 - r2);
            // Mirror the view direction (0, 0, 1) on the normal (x, y, -s).
            double rx = 2.0 * s * x, ry = 2.0 * s * y, rz = 1.0 - 2.0 * s * s;
            double up = -ry;
            Color c;
            if (up >= 0.0) {
                c = Mix(kIce, kCyan * 0.8, SmoothStep(0.0, 0.25, up));
                c = Mix(c, kIndigo, SmoothStep(0.15, 0.7, up));
                c = Mix(c, kNight, SmoothStep(0.6, 1.0, up));
            } else {
                c = Mix(kAmber, Color{90, 40, 40}, SmoothStep(0.0, 0.3, -up));
                c = Mix(c, kNight, SmoothStep(0.3, 1.0, -up));
            }
            c = c + kWhite * (0.9 * detmath::Exp(-(up / 0.035) * (up / 0.035)));
            double d1 = rx * l1[0] + ry * l1[1] + rz * l1[2];
            double d2 = rx * l2[0] + ry * l2[1] + rz * l2[2];
            double d3 = rx * l3[0] + ry * l3[1] + rz * l3[2];
            c = c + kWhite * (1.2 * SmoothStep(0.9, 0.96, d1));
            c = c + kCyan * (0.9 * SmoothStep(0.85, 0.95, d2));
            c = c + kMagenta * (0.8 * SmoothStep(0.88, 0.96, d3));
            canvas.Set(u, v, c);
        }
    }
    return canvas;
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
                    double radius = 6.0 + 9.0 * (ring + frame / 4.0);
                    double fade = SmoothStep(5.0, 10.0, radius) * (1.0 - radius / 32.0);
                    double e = (d - radius) / 1.3;
                    c = c + Mix(kIce, kViolet, radius / 32.0) * (fade * detmath::Exp(-e * e));
                }
                canvas.Set(x, frame * kSize + y, c);
            }
        }
    }
    return canvas;
}

// ---------------------------------------------------------------------------------------------
// Ball scene.

// The ball's texture: glazed mosaic tiles in the palette, 16 x 16 tiles of 16 texels.
Canvas PaintBallTexture() {
    Canvas canvas(256, 256);
    TilingFractal grain(11, 16, 3, 0.5);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            int tile = (y / 16) * 16 + x / 16;
            uint32_t pick = uint32_t(tile) * 2654435761u;
            pick ^= pick >> 15;
            int which = int(pick % 20u);
            Color base = which < 9    ? kIndigo
                         : which < 14 ? kViolet
                         : which < 17 ? kCyan
                         : which < 19 ? kAmber
                                      : kMagenta;
            double lx = (x % 16) + 0.5, ly = (y % 16) + 0.5;
            double edge = lx < ly ? lx : ly;
            double far = (16.0 - lx) < (16.0 - ly) ? 16.0 - lx : 16.0 - ly;
            Color c = base * (0.85 + 0.3 * grain.Value(x, y));
            if (edge < 2.5)
                c = c + kWhite * 0.18; // lit bevel, top and left
            if (far < 2.5)
                c = c * 0.7; // shaded bevel, bottom and right
            if (edge < 1.0 || far < 1.0)
                c = kNight;
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
            AddGlow(cell, 32.0 + 21.0 * Cos(angle), 32.0 + 21.0 * Sin(angle), 2.6,
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
    TilingFractal depth(29, 4, 4, 0.5);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            double nearest = 0.0, second = 0.0;
            cells.Distances(x + 0.5, y + 0.5, &nearest, &second);
            double line = detmath::Exp(-(second - nearest) / 3.0);
            Color c = Mix(kNight, kIndigo, depth.Value(x, y));
            c = c + Mix(kCyan, kIce, line) * (0.9 * line);
            canvas.Set(x, y, c);
        }
    }
    return canvas;
}

// The floor, ceiling and column: metal panels with seams and lit strips.
Canvas PaintPanels() {
    Canvas canvas(256, 256);
    TilingFractal grain(41, 8, 4, 0.55);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            int px = x % 64, py = y % 64;
            int panel = (y / 64) * 4 + x / 64;
            Color base = panel % 3 == 0 ? kViolet * 0.7 : kIndigo * 1.2;
            Color c = base * (0.75 + 0.5 * grain.Value(x, y));
            if (px < 2 || py < 2)
                c = kNight;
            else if (px < 4 || py < 4)
                c = c + kWhite * 0.15;
            if (panel % 5 == 1 && py >= 28 && py < 36)
                c = c + kCyan * 0.8;
            canvas.Set(x, y, c);
        }
    }
    return canvas;
}

// The rotozoom: an emblem on a chequerboard.
Canvas PaintRotozoomTexture() {
    Canvas canvas(256, 256);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            bool dark = ((x / 32) + (y / 32)) % 2 == 0;
            Color c = dark ? kNight : kIndigo;
            double d = Length2(x + 0.5 - 128.0, y + 0.5 - 128.0);
            double ring = std::fabs(d - 96.0);
            if (ring < 6.0)
                c = Mix(c, kAmber, SmoothStep(6.0, 4.0, ring));
            double inner = std::fabs(d - 64.0);
            if (inner < 4.0)
                c = Mix(c, kCyan, SmoothStep(4.0, 2.0, inner));
            canvas.Set(x, y, c);
        }
    }
    return canvas;
}

// Strips the "data/" that the parameter file's paths begin with.
std::string BelowData(const char* path) {
    const char* prefix = "data/";
    size_t length = std::strlen(prefix);
    return std::strncmp(path, prefix, length) == 0 ? std::string(path + length) : path;
}

} // namespace

const std::vector<ImageFile>& ShowImages() {
    static const std::vector<ImageFile> images = {
        {"particules/forme.bmp", 320, 200, PaintShapeStar, 1, false},
        {"particules/forme2.bmp", 320, 200, PaintShapeMoth, 1, false},
        {"particules/forme3.bmp", 320, 200, PaintShapeSpiral, 1, false},
        {"particules/light2.bmp", 16, 16, PaintLight, 1, false},
        {"klvlogo.bmp", 176, 36, PaintGroupLogo, 1, false},
        {"3d/env_neg.bmp", 256, 256, PaintEnvironment, 1, false},
        {"boule/anim_cercle2.bmp", 64, 256, PaintCircleStrip, 4, false},
        {BelowData(kBallTexturePath), 256, 256, PaintBallTexture, 1, true},
        {BelowData(kBallAnimationPath), 64, 64 * 30, PaintOctetStrip, 30, false},
        {BelowData(kBallLogoPath), 128, 32, PaintBallLogo, 1, false},
        {"boule/tex7c.bmp", 256, 256, PaintCaustics, 1, true},
        {"zoom/texture1.bmp", 256, 256, PaintPanels, 1, true},
        {"rotozoom/texture.bmp", 256, 256, PaintRotozoomTexture, 1, true},
        {"boule/under.bmp", 160, 40, PaintTitleOverlay, 1, false},
        {"logofin.bmp", 512, 256, PaintEndLogo, 1, false},
    };
    return images;
}

void WriteImages(const std::string& dataDir) {
    for (const ImageFile& image : ShowImages()) {
        Canvas canvas = image.paint();
        if (canvas.Width() != image.width || canvas.Height() != image.height)
            GeneratorFailure("image " + image.path + " was painted at the wrong size");
        std::string path = dataDir + "/" + image.path;
        MakeFolder(path.substr(0, path.find_last_of('/')));
        SaveImage(canvas, path);
    }
}

} // namespace mkdata
