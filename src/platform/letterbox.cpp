#include "platform/letterbox.h"

#include <cstddef>

namespace pm {

Letterbox FitPicture(int32_t w, int32_t h) {
    Letterbox l;
    if (w <= 0 || h <= 0) return l;
    // Whichever side is shorter for 4:3 sets the scale; 64-bit products so
    // no screen is too large.
    if (static_cast<int64_t>(w) * 3 <= static_cast<int64_t>(h) * 4) {
        l.Picture = {0, 0, w, static_cast<int32_t>(static_cast<int64_t>(w) * 3 / 4)};
        l.Picture.Y = (h - l.Picture.H) / 2;
    } else {
        l.Picture = {0, 0, static_cast<int32_t>(static_cast<int64_t>(h) * 4 / 3), h};
        l.Picture.X = (w - l.Picture.W) / 2;
    }
    const Box& p = l.Picture;
    if (p.H < h) {
        if (p.Y > 0) l.Bars[static_cast<std::size_t>(l.BarCount++)] = {0, 0, w, p.Y};
        if (p.Y + p.H < h) l.Bars[static_cast<std::size_t>(l.BarCount++)] = {0, p.Y + p.H, w, h - p.Y - p.H};
    } else if (p.W < w) {
        if (p.X > 0) l.Bars[static_cast<std::size_t>(l.BarCount++)] = {0, 0, p.X, h};
        if (p.X + p.W < w) l.Bars[static_cast<std::size_t>(l.BarCount++)] = {p.X + p.W, 0, w - p.X - p.W, h};
    }
    return l;
}

Box WindowForScale(int32_t scale, int32_t usableW, int32_t usableH) {
    if (scale < 1) scale = 1;
    Box b{0, 0, 800 * scale, 600 * scale};
    if (usableW > 0 && usableH > 0 && (b.W > usableW || b.H > usableH)) {
        const Box fit = FitPicture(usableW, usableH).Picture;
        b.W = fit.W;
        b.H = fit.H;
    }
    return b;
}

}  // namespace pm
