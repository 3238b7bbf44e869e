#include "game/canvas/canvas.h"

#include <cstring>

namespace pm {

namespace {
bool Inside(const Surface& s, int32_t l, int32_t t, int32_t r, int32_t b) {
    return l >= 0 && t >= 0 && r <= s.Width && b <= s.Height && l <= r && t <= b;
}
}  // namespace

bool FillSurface(Surface& dst, const Rect& r, uint16_t colour) {
    if (!Inside(dst, r.Left, r.Top, r.Right, r.Bottom)) return false;
    if (r.Left == r.Right || r.Top == r.Bottom) return true;
    // The game clears the whole screen to black every frame: a colour whose
    // two bytes are equal is a plain byte fill, several times faster.
    const bool bytewise = (colour & 0xFF) == (colour >> 8);
    const size_t width = static_cast<size_t>(r.Right - r.Left);
    for (int32_t y = r.Top; y < r.Bottom; ++y) {
        uint16_t* row = &dst.At(r.Left, y);
        if (bytewise) {
            std::memset(row, colour & 0xFF, width * sizeof(uint16_t));
        } else {
            for (size_t x = 0; x < width; ++x) row[x] = colour;
        }
    }
    return true;
}

bool CopySurface(Surface& dst, int32_t x, int32_t y, const Surface& src, const Rect& sr, bool keyed) {
    if (!Inside(src, sr.Left, sr.Top, sr.Right, sr.Bottom)) return false;
    const int64_t w = static_cast<int64_t>(sr.Right) - sr.Left;
    const int64_t h = static_cast<int64_t>(sr.Bottom) - sr.Top;
    // Never clipped: the whole destination must lie on the target.
    if (x < 0 || y < 0 || x + w > dst.Width || y + h > dst.Height) return false;
    const bool useKey = keyed && src.HasKey;
    for (int64_t j = 0; j < h; ++j) {
        const uint16_t* s = &src.At(sr.Left, static_cast<int32_t>(sr.Top + j));
        uint16_t* d = &dst.At(x, static_cast<int32_t>(y + j));
        if (useKey) {
            for (int64_t i = 0; i < w; ++i)
                if (s[i] != src.Key) d[i] = s[i];
        } else if (w > 0) {
            std::memmove(d, s, static_cast<size_t>(w) * sizeof(uint16_t));
        }
    }
    return true;
}

}  // namespace pm
