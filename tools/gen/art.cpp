// The four smaller pictures: the scrolling ground, the title banner, the
// logo and the gauges. The main sprite sheet is in sprite_sheet.cpp.
#include "art.h"

#include <cmath>

#include "kit.h"
#include "layout.h"

namespace gen {

namespace L = layout;

namespace {

// One period of the ground pattern; strip i shows it shifted left by a
// quarter period per strip, so stepping through the strips scrolls it.
constexpr int kGroundPeriod = 32;

Color GroundPixel(int x, int y) {
    const int px = ((x % kGroundPeriod) + kGroundPeriod) % kGroundPeriod;
    // Top edge of the lawn.
    if (y == 0) return Rgb(40, 110, 40);
    if (y <= 2) return Rgb(186, 250, 120);
    if (y <= 17) {
        // Checkered turf, light and dark squares of half a period.
        const bool light = ((px / 16) + (y <= 9 ? 0 : 1)) % 2 == 0;
        Color c = light ? Rgb(104, 214, 70) : Rgb(70, 180, 56);
        // A tuft on each square: a few darker blades.
        const int tx = px % 16;
        if ((y == 5 || y == 13) && (tx == 5 || tx == 9)) c = light ? Rgb(70, 180, 56) : Rgb(46, 146, 50);
        if ((y == 6 || y == 14) && (tx >= 4 && tx <= 10 && tx % 2 == 1)) c = light ? Rgb(70, 180, 56) : Rgb(46, 146, 50);
        if (y == 3 || y == 10) c = light ? Rgb(140, 232, 96) : Rgb(96, 200, 66);
        return c;
    }
    // The turf's front edge hangs over the soil in a zigzag.
    const int fringe = 19 + std::abs((px % 8) - 4) / 2;
    if (y < fringe) return Rgb(46, 146, 50);
    if (y == fringe) return Rgb(30, 90, 40);
    // Bricks of soil: half a period wide... a full period, staggered by half.
    const int row = (y - 21) / 7;
    const int by = (y - 21) % 7;
    const int bx = (px + (row % 2 ? 16 : 0)) % kGroundPeriod;
    if (y < 21) return Rgb(122, 66, 34);
    if (by == 6 || bx == 0) return Rgb(80, 40, 26);          // mortar
    Color c = row % 2 ? Rgb(196, 112, 54) : Rgb(214, 128, 62);
    if (by == 0 || bx == 1) c = Rgb(236, 164, 96);            // lit edge
    if (by == 5 || bx == kGroundPeriod - 1) c = Rgb(160, 84, 42);
    // Deeper rows are darker.
    return Mix(c, Rgb(60, 26, 30), std::min(0.45, row * 0.12));
}

}  // namespace

Image DrawGround() {
    Image img(L::GroundW, L::GroundH, Rgb(0, 0, 0));
    for (int i = 0; i < 4; ++i) {
        const Box b = L::GroundStrip(i);
        const int shift = i * kGroundPeriod / 4;
        // The whole row band, the spare column included, so nothing odd
        // shows if a strip is ever copied a pixel wider.
        for (int y = b.T; y < b.B; ++y)
            for (int x = 0; x < L::GroundW; ++x) img.Set(x, y, GroundPixel(x + shift, y - b.T));
    }
    return img;
}

Image DrawPinkLine() {
    Image img(L::PinkW, L::PinkH, Rgb(0, 0, 0));
    const Color rim = Rgb(140, 24, 84), light = Rgb(255, 206, 232), pink = Rgb(246, 104, 168),
                stripe = Rgb(255, 138, 192), dot = kOffWhite;
    for (int y = 0; y < L::PinkH; ++y)
        for (int x = 0; x < L::PinkW; ++x) {
            Color c = pink;
            // Distance from the nearer long edge of the banner (rows 0..84).
            const int e = std::max(0, std::min(y, 84 - y));
            if (e <= 2) c = rim;
            else if (e <= 8) c = light;
            else if (e == 9) c = rim;
            else if (((x + y) / 10) % 2 == 0) c = stripe;
            // A row of little dots along each light border.
            if (e == 5 && (x % 12) >= 5 && (x % 12) <= 7) c = dot;
            if ((e == 4 || e == 6) && (x % 12) == 6) c = dot;
            img.Set(x, y, c);
        }
    return img;
}

Image DrawTitle() {
    Image img(L::TitleW, L::TitleH, Rgb(0, 0, 0));
    TextLook t;
    t.Bands = {Rgb(255, 250, 190), Rgb(255, 232, 90), Rgb(255, 200, 40), Rgb(255, 150, 30), Rgb(238, 90, 40)};
    t.Rim = Rgb(255, 255, 236);
    t.Outline = 2;
    t.InnerOutline = Rgb(150, 30, 70);
    t.Ink = Rgb(36, 20, 64);
    t.Shadow = 3;
    t.ShadowColor = Rgb(120, 50, 170);
    const Layer logo = FitText("PELLIMUNCH", L::TitleW, L::TitleH, 6, t, 1.0);
    PasteCentred(img, L::Logo, logo, 0);
    return img;
}

namespace {

// A bar that is cut from the left: flat bands with a light top row and a
// slanted stripe so movement of its end reads.
void Bar(Image& img, const Box& b, const Ramp& r, int stripeEvery) {
    Layer l(b.W(), b.H());
    for (int y = 0; y < b.H(); ++y)
        for (int x = 0; x < b.W(); ++x) {
            const double f = static_cast<double>(y) / (b.H() - 1);
            Color c = f < 0.12 ? r.Hi : f < 0.45 ? r.Light : f < 0.8 ? r.Mid : r.Dark;
            if (((x + y) % stripeEvery) < 3 && f >= 0.12) c = Mix(c, r.Hi, 0.45);
            if (y == 0 || y == b.H() - 1) c = kInk;
            l.Set(x, y, c);
        }
    Paste(img, b, l, 0);
}

}  // namespace

Image DrawScale() {
    Image img(L::ScaleW, L::ScaleH, Rgb(0, 0, 0));
    {
        // The frame: a metal rim with rivets around an empty window where
        // the bar (drawn 2 px in and 8 px down) shows through.
        const Box b = L::Gauge[0];
        Layer l(b.W(), b.H());
        const Box window{2, 8, 258, 37};
        for (int y = 0; y < b.H(); ++y)
            for (int x = 0; x < b.W(); ++x) {
                if (x >= window.L && x < window.R && y >= window.T && y < window.B) continue;
                // Rounded outer corners.
                const int cx = std::min(x, b.W() - 1 - x), cy = std::min(y, b.H() - 1 - y);
                if (cx + cy < 3) continue;
                Color c = ramp::Silver.Mid;
                if (y <= 2) c = ramp::Silver.Hi;
                else if (y <= 5) c = ramp::Silver.Light;
                else if (y >= b.H() - 3) c = ramp::Silver.Dark;
                l.Set(x, y, c);
            }
        for (int x = 14; x < 250; x += 24) {
            l.Ellipse(x, 4, 1.6, 1.6, ramp::Silver.Dark);
            l.Rect(x - 1, 3, x - 1, 3, ramp::Silver.Hi);
        }
        // A dark lip round the window.
        for (int x = window.L - 1; x <= window.R; ++x) {
            l.Set(x, window.T - 1, kInk);
            l.Set(x, window.B, kInk);
        }
        for (int y = window.T - 1; y <= window.B; ++y) {
            l.Set(window.L - 1, y, kInk);
            l.Set(window.R, y, kInk);
        }
        // The outer edge in ink.
        Layer edge(b.W(), b.H());
        for (int y = 0; y < b.H(); ++y)
            for (int x = 0; x < b.W(); ++x) {
                if (!l.On(x, y)) continue;
                const bool border = !l.On(x - 1, y) || !l.On(x + 1, y) || !l.On(x, y - 1) || !l.On(x, y + 1) ||
                                    x == 0 || y == 0 || x == b.W() - 1 || y == b.H() - 1;
                const bool inWindowEdge = x >= window.L - 1 && x <= window.R && y >= window.T - 1 && y <= window.B;
                if (border && !inWindowEdge) edge.Set(x, y, kInk);
            }
        edge.DrawOnto(l, 0, 0);
        Paste(img, b, l, 0);
    }
    Bar(img, L::Gauge[1], Ramp{Rgb(236, 150, 20), Rgb(255, 214, 40), Rgb(255, 244, 130), Rgb(255, 255, 226)}, 10);
    Bar(img, L::Gauge[2], ramp::Sky, 12);
    Bar(img, L::Gauge[3], ramp::Berry, 12);
    return img;
}

}  // namespace gen
