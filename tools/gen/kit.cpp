#include "kit.h"

#include <algorithm>
#include <cmath>

#include "font.h"

namespace gen {

void BandRows(Layer& l, const std::vector<Color>& bands, int y0, int y1) {
    if (bands.empty() || y1 < y0) return;
    const double span = y1 - y0 + 1;
    for (int y = std::max(0, y0); y <= std::min(l.H() - 1, y1); ++y) {
        const size_t k = std::min(bands.size() - 1, static_cast<size_t>((y - y0) / span * static_cast<double>(bands.size())));
        for (int x = 0; x < l.W(); ++x) l.Recolor(x, y, bands[k]);
    }
}

void Rings(Layer& l, int n, Color inner, Color outer) {
    for (int i = 0; i < n; ++i) l.Outline(i == 0 && n >= 2 ? inner : outer, i > 0 || n == 1);
}

Layer StyledText(std::string_view text, double sx, double sy, int gap, const TextLook& look) {
    const Layer mask = TextMask(text, sx, sy, gap, Rgb(255, 255, 255));
    const int pad = look.Outline;
    Layer l(mask.W() + 2 * pad + look.Shadow, mask.H() + 2 * pad + look.Shadow);
    mask.DrawOnto(l, pad, pad);
    BandRows(l, look.Bands, pad, pad + mask.H() - 1);
    if (look.UseRim)
        for (int y = pad; y < pad + mask.H(); ++y)
            for (int x = pad; x < pad + mask.W(); ++x)
                if (mask.On(x - pad, y - pad) && !mask.On(x - pad, y - pad - 1)) l.Set(x, y, look.Rim);
    if (look.Shadow > 0) {
        Layer shadow(l.W(), l.H());
        for (int y = 0; y < mask.H(); ++y)
            for (int x = 0; x < mask.W(); ++x)
                if (mask.On(x, y))
                    for (int s = 1; s <= look.Shadow; ++s) shadow.Set(x + pad + s, y + pad + s, look.ShadowColor);
        // The shadow gets its own outline so it reads on any background.
        Layer glyphs = l;
        Rings(glyphs, look.Outline, look.InnerOutline, look.Ink);
        Rings(shadow, look.Outline, look.Ink, look.Ink);
        glyphs.DrawOnto(shadow, 0, 0);
        return shadow;
    }
    Rings(l, look.Outline, look.InnerOutline, look.Ink);
    return l;
}

Layer FitText(std::string_view text, int w, int h, int gap, const TextLook& look, double aspect) {
    const int extra = 2 * look.Outline + look.Shadow;
    double sy = std::floor((h - extra) / 7.0 * 100.0) / 100.0;
    while (sy > 0.5 && static_cast<int>(std::floor(7 * sy + 1e-9)) + extra > h) sy -= 0.01;
    double sx = sy * aspect;
    while (sx > 0.5 && TextWidth(text, sx, gap) + extra > w) sx -= 0.01;
    return StyledText(text, sx, sy, gap, look);
}

void PasteCentred(Image& sheet, const Box& box, const Layer& layer, uint16_t key, int nudgeX, int nudgeY) {
    Paste(sheet, box, layer, key, (box.W() - layer.W()) / 2 + nudgeX, (box.H() - layer.H()) / 2 + nudgeY);
}

}  // namespace gen
