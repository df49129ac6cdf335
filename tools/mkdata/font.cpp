#include "mkdata/font.h"

#include <cmath>

namespace mkdata {

namespace {

struct Glyph {
    char character;
    const char* rows[kGlyphRows]; // rows left out are blank
};

// clang-format off
const Glyph kGlyphs[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'J', {"..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'a', {".....", ".....", ".###.", "....#", ".####", "#...#", ".####"}},
    {'b', {"#....", "#....", "####.", "#...#", "#...#", "#...#", "####."}},
    {'c', {".....", ".....", ".###.", "#....", "#....", "#...#", ".###."}},
    {'d', {"....#", "....#", ".####", "#...#", "#...#", "#...#", ".####"}},
    {'e', {".....", ".....", ".###.", "#...#", "#####", "#....", ".###."}},
    {'f', {"..##.", ".#..#", ".#...", "###..", ".#...", ".#...", ".#..."}},
    {'g', {".....", ".....", ".####", "#...#", "#...#", "#...#", ".####", "....#", ".###."}},
    {'h', {"#....", "#....", "#.##.", "##..#", "#...#", "#...#", "#...#"}},
    {'i', {"..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###."}},
    {'j', {"...#.", ".....", "..##.", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."}},
    {'k', {"#....", "#....", "#..#.", "#.#..", "##...", "#.#..", "#..#."}},
    {'l', {".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'m', {".....", ".....", "##.#.", "#.#.#", "#.#.#", "#.#.#", "#...#"}},
    {'n', {".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#"}},
    {'o', {".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."}},
    {'p', {".....", ".....", "####.", "#...#", "#...#", "#...#", "####.", "#....", "#...."}},
    {'q', {".....", ".....", ".####", "#...#", "#...#", "#...#", ".####", "....#", "....#"}},
    {'r', {".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."}},
    {'s', {".....", ".....", ".####", "#....", ".###.", "....#", "####."}},
    {'t', {".#...", ".#...", "###..", ".#...", ".#...", ".#..#", "..##."}},
    {'u', {".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#"}},
    {'v', {".....", ".....", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'w', {".....", ".....", "#...#", "#...#", "#.#.#", "#.#.#", ".#.#."}},
    {'x', {".....", ".....", "#...#", ".#.#.", "..#..", ".#.#.", "#...#"}},
    {'y', {".....", ".....", "#...#", "#...#", "#...#", "#...#", ".####", "....#", ".###."}},
    {'z', {".....", ".....", "#####", "...#.", "..#..", ".#...", "#####"}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {'.', {".....", ".....", ".....", ".....", ".....", ".##..", ".##.."}},
    {',', {".....", ".....", ".....", ".....", ".##..", ".##..", "..#..", ".#..."}},
    {'!', {"..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."}},
    {'?', {".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#.."}},
    {'-', {".....", ".....", ".....", ".###.", ".....", ".....", "....."}},
    {'\'', {"..#..", "..#..", ".#...", ".....", ".....", ".....", "....."}},
    {':', {".....", ".##..", ".##..", ".....", ".##..", ".##..", "....."}},
    {'/', {"....#", "...#.", "...#.", "..#..", ".#...", ".#...", "#...."}},
    {'&', {".##..", "#..#.", "#.#..", ".#...", "#.#.#", "#..#.", ".##.#"}},
    {'(', {"...#.", "..#..", ".#...", ".#...", ".#...", "..#..", "...#."}},
    {')', {".#...", "..#..", "...#.", "...#.", "...#.", "..#..", ".#..."}},
    {'+', {".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."}},
    {'*', {".....", "#.#.#", ".###.", "#####", ".###.", "#.#.#", "....."}},
};
// clang-format on

constexpr int kSpaceAdvance = 3; // dots
constexpr int kLetterGap = 1;    // dots between letters

const char* const kBlankRow = ".....";

// First and last lit column of a glyph; false for a blank glyph.
bool LitColumns(const char* const* rows, int* first, int* last) {
    *first = kGlyphColumns;
    *last = -1;
    for (int row = 0; row < kGlyphRows; ++row) {
        for (int column = 0; column < kGlyphColumns; ++column) {
            if (rows[row][column] == '#') {
                if (column < *first)
                    *first = column;
                if (column > *last)
                    *last = column;
            }
        }
    }
    return *last >= 0;
}

// Calls visit(column, row) in dots for every lit dot of the text, from its first lit column.
template <typename Visit> int WalkText(const std::string& text, Visit visit) {
    int pen = 0;    // dot column where the next glyph's first lit column goes
    int extent = 0; // one past the last lit column so far
    for (char c : text) {
        const char* const* rows = GlyphRows(c);
        int first = 0, last = 0;
        if (!rows || !LitColumns(rows, &first, &last)) {
            pen += kSpaceAdvance;
            continue;
        }
        for (int row = 0; row < kGlyphRows; ++row) {
            for (int column = first; column <= last; ++column) {
                if (rows[row][column] == '#')
                    visit(pen + column - first, row);
            }
        }
        extent = pen + last - first + 1;
        pen = extent + kLetterGap;
    }
    return extent;
}

} // namespace

const char* const* GlyphRows(char c) {
    static Glyph table[sizeof(kGlyphs) / sizeof(kGlyphs[0])];
    static bool filled = false;
    if (!filled) {
        for (size_t i = 0; i < sizeof(kGlyphs) / sizeof(kGlyphs[0]); ++i) {
            table[i] = kGlyphs[i];
            for (int row = 0; row < kGlyphRows; ++row) {
                if (!table[i].rows[row])
                    table[i].rows[row] = kBlankRow;
            }
        }
        filled = true;
    }
    for (const Glyph& glyph : table) {
        if (glyph.character == c)
            return glyph.rows;
    }
    return nullptr;
}

int TextWidth(const std::string& text, const TextStyle& style) {
    return WalkText(text, [](int, int) {}) * style.dot;
}

namespace {

// Draws lit dots, given as (column, row) cells, in the lettering style: the halo of every dot
// first, then the dots themselves, filled with the gradient from `top` at row y to `bottom` at
// y + gradientHeight.
template <typename Walk>
void DrawDots(Canvas& canvas, int x, int y, double gradientHeight, const TextStyle& style,
              Walk walk) {
    const double dot = style.dot;
    if (style.glowStrength > 0.0) {
        walk([&](int column, int row) {
            AddGlow(canvas, x + (column + 0.5) * dot, y + (row + 0.5) * dot,
                    style.glowRadius + dot * 0.5, style.glow, style.glowStrength);
        });
    }
    // Rounded squares with a one-pixel gutter once they are big enough to show it.
    const double inset = style.dot >= 4 ? 0.5 : 0.0;
    const double half = dot / 2.0 - inset;
    const double corner = style.dot >= 4 ? half * 0.55 : 0.0;
    walk([&](int column, int row) {
        double cx = x + (column + 0.5) * dot, cy = y + (row + 0.5) * dot;
        int left = x + column * style.dot, top = y + row * style.dot;
        for (int py = top; py < top + style.dot; ++py) {
            double t = Clamp((py + 0.5 - y) / gradientHeight, 0.0, 1.0);
            Color fill = Mix(style.top, style.bottom, t);
            for (int px = left; px < left + style.dot; ++px) {
                // Signed distance to the rounded square, in pixels.
                double qx = std::fabs(px + 0.5 - cx) - (half - corner);
                double qy = std::fabs(py + 0.5 - cy) - (half - corner);
                double ox = qx > 0 ? qx : 0, oy = qy > 0 ? qy : 0;
                double inside = qx > qy ? qx : qy;
                double d = std::sqrt(ox * ox + oy * oy) + (inside < 0 ? inside : 0) - corner;
                double coverage = Clamp(0.5 - d, 0.0, 1.0);
                if (coverage > 0.0)
                    canvas.Blend(px, py, fill, coverage);
            }
        }
    });
}

} // namespace

void DrawText(Canvas& canvas, int x, int y, const std::string& text, const TextStyle& style) {
    DrawDots(canvas, x, y, (kGlyphBaseline + 1) * double(style.dot), style,
             [&](auto visit) { WalkText(text, visit); });
}

void DrawDotPattern(Canvas& canvas, int x, int y, const std::vector<std::string>& rows,
                    const TextStyle& style) {
    DrawDots(canvas, x, y, double(rows.size()) * style.dot, style, [&](auto visit) {
        for (size_t row = 0; row < rows.size(); ++row)
            for (size_t column = 0; column < rows[row].size(); ++column)
                if (rows[row][column] == '#')
                    visit(int(column), int(row));
    });
}

void DrawTextCentred(Canvas& canvas, int centreX, int y, const std::string& text,
                     const TextStyle& style) {
    DrawText(canvas, centreX - TextWidth(text, style) / 2, y, text, style);
}

} // namespace mkdata
