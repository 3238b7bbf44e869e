#include "platform/ghost_overlay.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "platform/pause_overlay.h"

namespace pm {

namespace {

// The band's letters, 5 x 7 pixels, a row a byte (the high bit of five on
// the left), drawn twice as large.
struct Glyph {
    char Letter;
    uint8_t Rows[7];
};
constexpr Glyph Glyphs[] = {
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}}, {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}}, {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}}, {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}}, {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}}, {'+', {0x00, 0x04, 0x04, 0x1F, 0x04, 0x04, 0x00}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
};
constexpr int32_t GlyphScale = 2, GlyphAdvance = 6 * GlyphScale;

void DrawLine(Surface& s, int32_t x, int32_t y, std::string_view text, uint16_t colour) {
    for (const char c : text) {
        for (const Glyph& g : Glyphs) {
            if (g.Letter != c) continue;
            for (int32_t row = 0; row < 7 * GlyphScale; ++row)
                for (int32_t col = 0; col < 5 * GlyphScale; ++col) {
                    const int32_t px = x + col, py = y + row;
                    if (px < 0 || py < 0 || px >= s.Width || py >= s.Height) continue;
                    if (g.Rows[row / GlyphScale] >> (4 - col / GlyphScale) & 1) s.At(px, py) = colour;
                }
        }
        x += GlyphAdvance;
    }
}

}  // namespace

uint16_t BlendTowards(uint16_t p, Rgb c, int32_t alpha) {
    const int32_t r = p >> 11, g = (p >> 5) & 0x3F, b = p & 0x1F;
    const int32_t cr = c.R >> 3, cg = c.G >> 2, cb = c.B >> 3;
    const auto mix = [alpha](int32_t from, int32_t to) { return from + (to - from) * alpha / 256; };
    return static_cast<uint16_t>(mix(r, cr) << 11 | mix(g, cg) << 5 | mix(b, cb));
}

std::string GhostBandText(const GhostNote& note) {
    char text[64];
    std::snprintf(text, sizeof text, "GHOST %d  %+d", static_cast<int>(note.Score), static_cast<int>(note.Difference));
    return text;
}

void DrawGhost(Surface& shown, const GhostNote& note) {
    if (shown.Width <= 0 || shown.Height <= 0) return;
    if (note.BallShown && note.Sheet && note.Opacity > 0) {
        // Where the game itself puts the ball's picture: 42 pixels up and
        // left of its centre, rounded to the nearest pixel.
        const int32_t left = static_cast<int32_t>(note.X - 42.0f + (note.X >= 42.0f ? 0.5f : -0.5f));
        const int32_t top = static_cast<int32_t>(note.Y - 42.0f + (note.Y >= 42.0f ? 0.5f : -0.5f));
        const Surface& sheet = *note.Sheet;
        for (int32_t sy = note.Where.Top; sy < note.Where.Bottom && sy < sheet.Height; ++sy) {
            const int32_t y = top + sy - note.Where.Top;
            if (y < 0 || y >= shown.Height || sy < 0) continue;
            for (int32_t sx = note.Where.Left; sx < note.Where.Right && sx < sheet.Width; ++sx) {
                const int32_t x = left + sx - note.Where.Left;
                if (x < 0 || x >= shown.Width || sx < 0 || (sheet.HasKey && sheet.At(sx, sy) == sheet.Key)) continue;
                shown.At(x, y) = BlendTowards(shown.At(x, y), GhostColour, note.Opacity);
            }
        }
    }
    const int32_t top = std::max(0, shown.Height - GhostBandHeight);
    for (int32_t y = top; y < shown.Height; ++y)
        for (int32_t x = 0; x < shown.Width; ++x) shown.At(x, y) = Darker(shown.At(x, y), 2);
    DrawLine(shown, 8, top + 2, GhostBandText(note), Rgb565(GhostColour.R, GhostColour.G, GhostColour.B));
}

}  // namespace pm
