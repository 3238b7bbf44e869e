#include "platform/pause_overlay.h"

#include <algorithm>

namespace pm {

uint16_t Darker(uint16_t p, int shift) {
    const uint16_t r = static_cast<uint16_t>((p >> 11) >> shift), g = static_cast<uint16_t>(((p >> 5) & 0x3F) >> shift),
                   b = static_cast<uint16_t>((p & 0x1F) >> shift);
    return static_cast<uint16_t>(r << 11 | g << 5 | b);
}

void DrawCentred(Surface& dst, TextRenderer& text, int32_t y, std::string_view utf8, Rgb colour) {
    // The renderer has no measure of its own: draw the line once on black to
    // find the ink's width, then again where it is centred.
    Surface scratch("text", dst.Width, 120, 0);
    text.Draw(scratch, 0, 0, utf8, Rgb{255, 255, 255});
    int32_t right = -1;
    for (int32_t yy = 0; yy < scratch.Height; ++yy)
        for (int32_t x = scratch.Width - 1; x > right; --x)
            if (scratch.At(x, yy) != 0) {
                right = x;
                break;
            }
    if (right < 0) return;
    text.Draw(dst, (dst.Width - (right + 1)) / 2, y, utf8, colour);
}

Surface PausedPicture(const Surface& last, TextRenderer* large, TextRenderer* small) {
    Surface shown("Paused", last.Width, last.Height);
    for (int32_t y = 0; y < last.Height; ++y) {
        const int shift = y >= PauseBandTop && y < PauseBandBottom ? 3 : 1;
        for (int32_t x = 0; x < last.Width; ++x) shown.At(x, y) = Darker(last.At(x, y), shift);
    }
    if (large) DrawCentred(shown, *large, PauseBandTop + 18, "PAUSED", Rgb{255, 224, 64});
    if (small)
        DrawCentred(shown, *small, PauseBandTop + 72, "P or Start: play on    Esc: quit", Rgb{255, 255, 255});
    return shown;
}

}  // namespace pm
