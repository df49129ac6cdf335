// The show's pixel font and the one lettering style of its logos.
//
// Glyphs are 5 dots wide and 9 rows tall: capitals and digits fill rows 0-6 (row 6 is the
// baseline), lower-case letters have their x-height in rows 2-6 and descenders in rows 7-8.
// Letters are spaced by their own width (blank columns trimmed) plus a gap of one dot; a space
// is three dots wide. Characters the font lacks are drawn as a space.
//
// Every dot of a glyph is drawn as a rounded square, filled with a vertical gradient and
// surrounded by a soft glow: the look of the particle swarm, so that logos and particles read
// as one family.
#pragma once

#include "mkdata/draw.h"

#include <string>
#include <vector>

namespace mkdata {

constexpr int kGlyphColumns = 5;
constexpr int kGlyphRows = 9;
constexpr int kGlyphBaseline = 6; // the last row of capitals and the x-height

// The glyph's rows, top first, '#' for a dot and '.' for none; null for a character the font
// lacks. Every row has kGlyphColumns characters.
const char* const* GlyphRows(char c);

struct TextStyle {
    int dot = 4;                   // pixels per font dot
    Color top = palette::kWhite;   // fill at the top of the capitals
    Color bottom = palette::kCyan; // fill at the baseline
    Color glow = palette::kCyan;   // halo colour
    double glowRadius = 3.0;       // halo radius in pixels
    double glowStrength = 0.35;    // halo brightness at a dot's centre (0..1)
};

// Width in pixels of the text drawn in the style (from the first lit dot column to the last).
int TextWidth(const std::string& text, const TextStyle& style);

// Draws the text with the top of its capitals at row y and its first lit column at x: glow
// added first, then the dots painted over it.
void DrawText(Canvas& canvas, int x, int y, const std::string& text, const TextStyle& style);

// Draws a picture of dots in the lettering style: rows top first, '#' for a dot, with its top-left
// dot cell at (x, y). The gradient runs over the pattern's own height.
void DrawDotPattern(Canvas& canvas, int x, int y, const std::vector<std::string>& rows,
                    const TextStyle& style);

// Draws the text centred on column centreX.
void DrawTextCentred(Canvas& canvas, int centreX, int y, const std::string& text,
                     const TextStyle& style);

} // namespace mkdata
