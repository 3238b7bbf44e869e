#include "platform/ghost_overlay.h"

#include <algorithm>
#include <cstdio>

#include "platform/pause_overlay.h"

namespace pm {

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

void DrawGhost(Surface& shown, const GhostNote& note, TextRenderer* text) {
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
    if (text) text->Draw(shown, 8, top + 1, GhostBandText(note), GhostColour);
}

}  // namespace pm
