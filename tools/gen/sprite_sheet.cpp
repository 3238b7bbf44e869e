// The main sprite sheet: the ball in its three kinds and its marker, the
// rival's walk, the items, digits, labels, pop-ups, specks and particles.
// White is the sheet's transparent key.
#include <cmath>
#include <numbers>
#include <string>

#include "art.h"
#include "font.h"
#include "kit.h"
#include "layout.h"
#include "game/game_constants.h"

namespace gen {

namespace L = layout;
namespace BallKind = pm::BallKind;
namespace ItemKind = pm::ItemKind;

namespace {

constexpr uint16_t kKey = 0xFFFF;
using Pts = std::vector<std::pair<double, double>>;

// ---- The ball ---------------------------------------------------------------

// The hero: a round creature with a big mouth facing right (it eats what
// comes from the right). The plain kind, the jumper (wings and springs),
// the shooter (a horn). `s` scales it about the origin for the life icon.
struct Hero {
    double S = 1.0, Ox = 0, Oy = 0;
    double X(double x) const { return Ox + x * S; }
    double Y(double y) const { return Oy + y * S; }
    double R(double r) const { return r * S; }
};

Ramp HeroRamp(int kind) {
    return kind == BallKind::Jumper ? ramp::Leaf : kind == BallKind::Shooter ? ramp::Berry : ramp::Sun;
}

void DrawHero(Layer& l, int kind, const Hero& h, bool details = true) {
    const Ramp body = HeroRamp(kind);
    const double cx = 37, cy = 43, rx = 29, ry = 30;

    // Behind the body: the jumper's wing, the shooter's horn.
    if (kind == BallKind::Jumper) {
        const Pts wing{{h.X(20), h.Y(36)}, {h.X(6), h.Y(30)}, {h.X(0.5), h.Y(19)}, {h.X(3), h.Y(8)},
                       {h.X(9), h.Y(2)}, {h.X(15), h.Y(8)}, {h.X(21), h.Y(3)}, {h.X(27), h.Y(12)}, {h.X(28), h.Y(24)}};
        l.Polygon(wing, ramp::Sky.Hi);
        // Feather lines and a shaded lower edge.
        l.Line(h.X(8), h.Y(26), h.X(19), h.Y(31), h.R(2.2), ramp::Sky.Light);
        l.Line(h.X(6), h.Y(15), h.X(18), h.Y(26), h.R(1.2), ramp::Sky.Mid);
        l.Line(h.X(12), h.Y(8), h.X(20), h.Y(22), h.R(1.2), ramp::Sky.Mid);
        l.Line(h.X(21), h.Y(6), h.X(24), h.Y(20), h.R(1.2), ramp::Sky.Mid);
    }
    if (kind == BallKind::Shooter) {
        const Pts horn{{h.X(40), h.Y(20)}, {h.X(66), h.Y(1.5)}, {h.X(54), h.Y(24)}};
        l.Polygon(horn, ramp::Ivory.Light);
        for (int i = 0; i < 4; ++i) {
            const double t = 0.2 + 0.2 * i;
            const double ax = 40 + (66 - 40) * t, ay = 20 + (1.5 - 20) * t;
            const double bx = 54 + (66 - 54) * t, by = 24 + (1.5 - 24) * t;
            l.Line(h.X(ax), h.Y(ay), h.X(bx - 1), h.Y(by - 2), h.R(1.3), ramp::Ivory.Dark);
        }
        l.Line(h.X(44), h.Y(18), h.X(63), h.Y(4), h.R(1.0), ramp::Ivory.Hi);
    }

    // Feet or springs.
    if (kind == BallKind::Jumper) {
        for (double fx : {26.0, 48.0}) {
            for (int k = 0; k < 4; ++k) {
                const double y0 = 66 + 2.6 * k, y1 = y0 + 2.6;
                l.Line(h.X(fx - 5), h.Y(y0), h.X(fx + 5), h.Y(y1), h.R(1.6), ramp::Silver.Light);
            }
            l.Ellipse(h.X(fx), h.Y(78), h.R(7.5), h.R(2.2), ramp::Berry.Mid);
        }
    } else {
        l.Ellipse(h.X(25), h.Y(73), h.R(8.5), h.R(5.5), body.Dark);
        l.Ellipse(h.X(50), h.Y(73), h.R(8.5), h.R(5.5), body.Dark);
    }

    // The body, lit from the upper left.
    for (int y = 0; y < l.H(); ++y)
        for (int x = 0; x < l.W(); ++x) {
            const int k = Layer::ShadeIndex((x - h.Ox) / h.S, (y - h.Oy) / h.S, cx, cy, rx, ry, 4);
            if (k >= 0) l.Set(x, y, body.All()[static_cast<size_t>(k)]);
        }
    // The mouth: a wide wedge opening to the right, cut into the body.
    const double ax = 38, ay = 47;
    auto inMouth = [&](double x, double y) {
        if (x <= ax) return false;
        const double upper = ay + (x - ax) * (-22.0 / 30.0);
        const double lower = ay + (x - ax) * (22.0 / 30.0);
        return y >= upper && y <= lower;
    };
    auto inBody = [&](double x, double y) { return Layer::ShadeIndex(x, y, cx, cy, rx, ry, 4) >= 0; };
    const Color mouth = Rgb(112, 14, 44), tongue = Rgb(246, 96, 128), teeth = kOffWhite;
    for (int y = 0; y < l.H(); ++y)
        for (int x = 0; x < l.W(); ++x) {
            const double bx = (x - h.Ox) / h.S, by = (y - h.Oy) / h.S;
            if (!inMouth(bx, by) || !inBody(bx, by)) continue;
            Color c = mouth;
            const double tx = (bx - 57) / 10.0, ty = (by - 63) / 6.5;
            if (tx * tx + ty * ty <= 1.0) c = tongue;
            // Two teeth hang from the upper lip, one stands on the lower.
            const double up = ay + (bx - ax) * (-22.0 / 30.0), lo = ay + (bx - ax) * (22.0 / 30.0);
            if (details && ((bx >= 50 && bx <= 54 && by <= up + 5 - std::fabs(bx - 52) * 1.2) ||
                            (bx >= 58 && bx <= 62 && by <= up + 5 - std::fabs(bx - 60) * 1.2) ||
                            (bx >= 47 && bx <= 51 && by >= lo - 4 + std::fabs(bx - 49) * 1.0)))
                c = teeth;
            l.Set(x, y, c);
        }
    // Lips: a dark line along both edges of the wedge inside the body.
    for (int y = 0; y < l.H(); ++y)
        for (int x = 0; x < l.W(); ++x) {
            const double bx = (x - h.Ox) / h.S, by = (y - h.Oy) / h.S;
            if (!inBody(bx, by) || inMouth(bx, by)) continue;
            const double d = 1.0 / h.S;
            if (inMouth(bx + d, by) || inMouth(bx, by + d) || inMouth(bx, by - d) || inMouth(bx - d, by))
                l.Set(x, y, kInk);
        }

    // The eye, looking ahead.
    l.Ellipse(h.X(36), h.Y(25), h.R(8), h.R(9.5), kInk);
    l.Ellipse(h.X(36), h.Y(25), h.R(6.6), h.R(8.2), kOffWhite);
    l.Ellipse(h.X(39), h.Y(26), h.R(3.6), h.R(5.2), kInk);
    if (details) {
        l.Rect(h.X(37), h.Y(22), h.X(38), h.Y(23), kOffWhite);
        if (kind == BallKind::Shooter) l.Line(h.X(27), h.Y(13), h.X(44), h.Y(17), h.R(2.6), kInk);   // a determined brow
        // A blush under the eye.
        l.Ellipse(h.X(26), h.Y(40), h.R(4.5), h.R(2.5), Mix(body.Mid, ramp::Berry.Light, 0.6));
    }
}

void DrawBalls(Image& img) {
    for (int kind = BallKind::Plain; kind <= BallKind::Shooter; ++kind) {
        const Box b = L::Ball[static_cast<size_t>(kind)];
        Layer l(b.W(), b.H());
        DrawHero(l, kind, Hero{});
        l.Outline(kInk);
        Paste(img, b, l, kKey);
    }
}

// Shown while the ball is above the screen: an arrow pointing up.
void DrawMarker(Image& img) {
    const Box b = L::Ball[3];
    Layer l(b.W(), b.H());
    l.Polygon({{11, 1}, {21, 15}, {15, 15}, {15, 47}, {7, 47}, {7, 15}, {1, 15}}, ramp::Sun.Mid);
    for (int y = 0; y < l.H(); ++y)
        for (int x = 0; x < l.W(); ++x)
            if (l.On(x, y) && x > 11) l.Set(x, y, ramp::Sun.Dark);
    l.Line(10, 4, 4, 13, 1.0, ramp::Sun.Hi);
    l.Line(9, 16, 9, 45, 1.0, ramp::Sun.Light);
    // Two dots under the shaft say "still up there".
    l.Ellipse(11, 51, 2.6, 2.6, ramp::Sun.Light);
    l.Ellipse(11, 55.5, 1.6, 1.6, ramp::Sun.Mid);
    l.Outline(kInk);
    Paste(img, b, l, kKey);
}

// ---- The rival --------------------------------------------------------------

// A spiky, angry creature seen from the front; two frames of a stomping walk.
void DrawRival(Layer& l, int frame) {
    const Ramp body = ramp::Grape;
    const double cx = 40, cy = 45, rx = 27, ry = 25;
    const double lift = frame == 0 ? 1 : -1;   // which foot is up

    // Spikes around the top half.
    for (int i = 0; i < 9; ++i) {
        const double a = std::numbers::pi * (1.08 + 0.105 * i);
        const double bx = cx + std::cos(a) * rx * 0.9, by = cy + std::sin(a) * ry * 0.9;
        const double tx = cx + std::cos(a) * (rx + 13), ty = cy + std::sin(a) * (ry + 13);
        const double px = -std::sin(a) * 6.5, py = std::cos(a) * 6.5;
        l.Polygon({{bx + px, by + py}, {tx, ty}, {bx - px, by - py}}, ramp::Flame.Light);
        l.Line(bx, by, tx * 0.6 + bx * 0.4, ty * 0.6 + by * 0.4, 2.2, ramp::Flame.Mid);
    }
    // Feet: one stomps, one lifts.
    l.Ellipse(27, 74 - 5 * std::max(lift, 0.0), 10, 5.5, body.Dark);
    l.Ellipse(53, 74 - 5 * std::max(-lift, 0.0), 10, 5.5, body.Dark);
    // Clawed arms swing against the feet.
    for (int side = -1; side <= 1; side += 2) {
        const double ax = cx + side * 28, ay = 50 + 4 * lift * side;
        l.Ellipse(ax, ay, 6, 5, body.Mid);
        for (int k = -1; k <= 1; ++k)
            l.Line(ax + side * 4, ay + k * 3, ax + side * 9, ay + k * 4 - 1, 1.6, ramp::Ivory.Light);
    }
    l.ShadedEllipse(cx, cy, rx, ry, body.All());

    // Angry eyes under heavy brows.
    for (int side = -1; side <= 1; side += 2) {
        const double ex = cx + side * 10;
        // Outer corners high, inner corners low: a scowl.
        l.Polygon({{ex + side * 8, 33}, {ex - side * 6, 39}, {ex - side * 5, 46}, {ex + side * 6, 45}}, kInk);
        l.Polygon({{ex + side * 7, 35}, {ex - side * 4.6, 40.2}, {ex - side * 4, 44.5}, {ex + side * 5, 43.6}},
                  Rgb(255, 236, 80));
        l.Ellipse(ex - side * 0.5, 41.5, 2.3, 2.6, Rgb(200, 20, 30));
        l.Line(ex + side * 10, 28, ex - side * 6, 36, 3.6, kInk);
    }
    // A jagged grin full of teeth.
    l.Polygon({{23, 52}, {57, 52}, {52, 63}, {28, 63}}, kInk);
    l.Polygon({{25, 53.5}, {55, 53.5}, {51, 61.5}, {29, 61.5}}, Rgb(120, 10, 30));
    for (int k = 0; k < 6; ++k) {
        const double tx = 27 + k * 5.2;
        l.Polygon({{tx, 53.5}, {tx + 4.4, 53.5}, {tx + 2.2, 58}}, kOffWhite);
    }
    for (int k = 0; k < 5; ++k) {
        const double tx = 30 + k * 4.6;
        l.Polygon({{tx, 61.5}, {tx + 3.8, 61.5}, {tx + 1.9, 57.8}}, kOffWhite);
    }
    l.Outline(kInk);
}

void DrawRivals(Image& img) {
    for (int f = 0; f < 2; ++f) {
        const Box b = L::Ball[static_cast<size_t>(4 + f)];
        Layer l(b.W(), b.H());
        DrawRival(l, f);
        Paste(img, b, l, kKey);
    }
}

// ---- Items ------------------------------------------------------------------

constexpr double kItemX = 14.5, kItemY = 15;

void Orb(Layer& l, const Ramp& r, double rad) {
    l.ShadedEllipse(kItemX, kItemY, rad, rad, r.All());
}

void UpArrow(Layer& l, double y, Color c) {
    l.Polygon({{kItemX, y}, {kItemX + 6, y + 6}, {kItemX + 2.5, y + 6}, {kItemX + 2.5, y + 11}, {kItemX - 2.5, y + 11},
               {kItemX - 2.5, y + 6}, {kItemX - 6, y + 6}},
              c);
}

void RightArrow(Layer& l, double x, Color c) {
    l.Polygon({{x + 11, kItemY}, {x + 5, kItemY - 6}, {x + 5, kItemY - 2.5}, {x, kItemY - 2.5}, {x, kItemY + 2.5},
               {x + 5, kItemY + 2.5}, {x + 5, kItemY + 6}},
              c);
}

// A four-pointed sparkle.
void Sparkle(Layer& l, double x, double y, double r, Color c, Color core) {
    l.Polygon({{x, y - r}, {x + r * 0.28, y - r * 0.28}, {x + r, y}, {x + r * 0.28, y + r * 0.28}, {x, y + r},
               {x - r * 0.28, y + r * 0.28}, {x - r, y}, {x - r * 0.28, y - r * 0.28}},
              c);
    l.Rect(x - 0.5, y - 0.5, x + 0.5, y + 0.5, core);
}

// The glow of a boosted item: a golden ring of rays around the orb.
void Glow(Layer& l) {
    for (int y = 0; y < l.H(); ++y)
        for (int x = 0; x < l.W(); ++x) {
            const double dx = x - kItemX, dy = y - kItemY;
            const double d = std::sqrt(dx * dx + dy * dy);
            const double a = std::atan2(dy, dx);
            const double ray = 0.5 + 0.5 * std::cos(a * 8);
            if (d <= 11.5 + 3.2 * ray) l.Set(x, y, d <= 12.5 ? ramp::Flame.Light : ramp::Flame.Hi);
        }
}

Layer DrawItem(int kind) {
    const bool boosted = kind == ItemKind::BoostedJumper || kind == ItemKind::BoostedShooter;
    Layer l(31, 31);
    switch (kind) {
    case ItemKind::Plain: {   // a ripe round fruit with a leaf
        l.Line(kItemX, 6, kItemX + 2, 1.5, 2.0, Rgb(120, 70, 30));
        l.Polygon({{kItemX + 2, 4}, {kItemX + 8, 0.5}, {kItemX + 12, 3}, {kItemX + 6, 7}}, ramp::Leaf.Mid);
        l.Line(kItemX + 3, 4, kItemX + 10, 2.5, 1.0, ramp::Leaf.Light);
        l.ShadedEllipse(kItemX - 0.5, kItemY + 2, 11.5, 10.5, ramp::Apple.All());
        l.Rect(kItemX - 1, 7, kItemX, 8, ramp::Apple.Dark);   // the dimple at the stem
        break;
    }
    case ItemKind::Jumper:
    case ItemKind::BoostedJumper:
        if (boosted) Glow(l);
        Orb(l, ramp::Leaf, 10.5);
        UpArrow(l, kItemY - (boosted ? 8 : 6), kOffWhite);
        if (boosted) UpArrow(l, kItemY - 2, ramp::Leaf.Hi);
        break;
    case ItemKind::Shooter:
    case ItemKind::BoostedShooter:
        if (boosted) Glow(l);
        Orb(l, ramp::Berry, 10.5);
        RightArrow(l, kItemX - (boosted ? 8 : 5.5), kOffWhite);
        if (boosted) RightArrow(l, kItemX - 2.5, ramp::Berry.Hi);
        break;
    case ItemKind::Stagger: {   // a suspicious mushroom with a skull on its stem
        l.Rect(9, 14, 20, 27, ramp::Ivory.Light);
        l.Rect(9, 14, 11, 27, ramp::Ivory.Mid);
        l.Ellipse(14.5, 28, 7, 2.5, ramp::Ivory.Mid);
        // The skull: two hollow eyes, a nose and teeth.
        l.Ellipse(12, 19, 1.8, 2.2, kInk);
        l.Ellipse(17, 19, 1.8, 2.2, kInk);
        l.Rect(14, 22, 15, 23, kInk);
        for (int x = 11; x <= 18; x += 2) l.Rect(x, 25, x, 26, kInk);
        // The cap.
        for (int y = 0; y < 31; ++y)
            for (int x = 0; x < 31; ++x) {
                const int k = Layer::ShadeIndex(x, y, 14.5, 13, 14, 12, 4);
                if (k >= 0 && y <= 14) l.Set(x, y, ramp::Grape.All()[static_cast<size_t>(k)]);
            }
        l.Rect(1, 14, 28, 15, ramp::Grape.Dark);
        struct Spot {
            double X, Y, R;
        };
        for (const Spot& sp : {Spot{8, 8, 2.6}, Spot{17, 5, 2.2}, Spot{22, 10.5, 2.0}, Spot{13, 12, 1.5}})
            l.Ellipse(sp.X, sp.Y, sp.R, sp.R * 0.85, Rgb(176, 240, 90));
        break;
    }
    default:
        break;
    }
    l.Outline(kInk);
    if (boosted) {
        Sparkle(l, 26, 4, 3.6, ramp::Sun.Hi, kOffWhite);
        Sparkle(l, 4, 25, 2.6, ramp::Sun.Hi, kOffWhite);
    }
    return l;
}

void DrawItems(Image& img) {
    for (int k = 0; k < 6; ++k) Paste(img, L::Item(k), DrawItem(k), kKey);
}

// ---- Digits -----------------------------------------------------------------

// Style 3 is the plain digit; styles 0 to 2 carry a slanted shine band that
// passes over it from left to right.
void DrawDigits(Image& img) {
    const std::vector<Color> plain{Rgb(255, 252, 214), Rgb(255, 236, 120), Rgb(255, 206, 60), Rgb(246, 150, 36)};
    for (int d = 0; d < 10; ++d)
        for (int s = 0; s < 4; ++s) {
            const char c = static_cast<char>('0' + d);
            Layer mask = TextMask(std::string(1, c), 3.0, 4.0, 0, Rgb(255, 255, 255));
            Layer l(mask.W() + 2, mask.H() + 2);
            mask.DrawOnto(l, 1, 1);
            BandRows(l, plain, 1, mask.H());
            for (int x = 1; x <= mask.W(); ++x)
                if (mask.On(x - 1, 0)) l.Set(x, 1, kOffWhite);
            for (int y = 1; y <= mask.H(); ++y)
                for (int x = 1; x <= mask.W(); ++x)
                    if (mask.On(x - 1, y - 1) && !mask.On(x - 1, y - 2)) l.Set(x, y, Rgb(255, 250, 200));
            l.Outline(kInk);
            if (s < 3) {
                const double centre = 3.0 + 5.5 * s;   // the band's x at mid height
                for (int y = 0; y < l.H(); ++y)
                    for (int x = 0; x < l.W(); ++x) {
                        if (!l.On(x, y)) continue;
                        const double bx = centre + (l.H() / 2.0 - y) * 0.35;
                        const double dist = std::fabs(x - bx);
                        const bool ink = l.At(x, y) == kInk;
                        if (dist <= 2.6) l.Set(x, y, ink ? Rgb(90, 200, 250) : Rgb(236, 250, 255));
                        else if (dist <= 4.2 && !ink) l.Set(x, y, Rgb(170, 236, 255));
                    }
            }
            Paste(img, L::Digit(d, s), l, kKey, 0, 1);
        }
}

// ---- Labels -----------------------------------------------------------------

TextLook Look(std::vector<Color> bands, int shadow = 0) {
    TextLook t;
    t.Bands = std::move(bands);
    t.Shadow = shadow;
    return t;
}

const std::vector<Color> kCyanBands{Rgb(214, 246, 255), Rgb(120, 214, 252), Rgb(56, 164, 240), Rgb(36, 110, 214)};
const std::vector<Color> kGoldBands{Rgb(255, 248, 196), Rgb(255, 226, 84), Rgb(255, 186, 40), Rgb(240, 128, 30)};
const std::vector<Color> kFireBands{Rgb(255, 244, 140), Rgb(255, 196, 40), Rgb(250, 120, 30), Rgb(226, 50, 40)};
const std::vector<Color> kGreenBands{Rgb(220, 255, 190), Rgb(150, 240, 110), Rgb(80, 206, 84), Rgb(36, 150, 70)};
const std::vector<Color> kPinkBands{Rgb(255, 220, 240), Rgb(255, 150, 204), Rgb(240, 90, 170), Rgb(200, 50, 140)};
const std::vector<Color> kRedBands{Rgb(255, 210, 200), Rgb(255, 120, 100), Rgb(236, 56, 56), Rgb(176, 24, 48)};
const std::vector<Color> kVioletBands{Rgb(236, 214, 255), Rgb(196, 150, 250), Rgb(150, 96, 230), Rgb(110, 60, 190)};

// The fever bar: hot diagonal stripes; it is cut from the left as it fills,
// so the pattern is the same all along.
void DrawFeverBar(Image& img, const Box& b) {
    Layer l(b.W(), b.H());
    for (int y = 0; y < b.H(); ++y)
        for (int x = 0; x < b.W(); ++x) {
            Color c = ((x + y) / 4) % 2 ? ramp::Flame.Light : ramp::Flame.Mid;
            if (y == 0 || y == b.H() - 1) c = kInk;
            else if (y == 1) c = ramp::Flame.Hi;
            else if (y == b.H() - 2) c = ramp::Flame.Dark;
            l.Set(x, y, c);
        }
    Paste(img, b, l, kKey);
}

// A small flame, for the fever gauge.
void Flame(Layer& l, double x, double y) {
    l.Polygon({{x, y + 11}, {x - 5, y + 6}, {x - 3, y + 1}, {x - 1, y + 4}, {x + 1, y - 1}, {x + 4, y + 5}, {x + 5, y + 7}},
              ramp::Flame.Mid);
    l.Polygon({{x, y + 10}, {x - 2.5, y + 7}, {x, y + 3.5}, {x + 2.5, y + 7}}, ramp::Flame.Light);
}

// The fever gauge's label: a flame and a trough lettered FEVER, over which
// the fever bar flashes (the bar lands 19 px in and 1 px down).
void DrawFeverGaugeLabel(Image& img, const Box& b) {
    Layer l(b.W(), b.H());
    Flame(l, 9, 2);
    l.Outline(kInk);
    l.Rect(18, 0, 138, 13, kInk);
    l.Rect(19, 1, 137, 12, Rgb(84, 24, 44));
    l.Rect(19, 1, 137, 1, Rgb(120, 40, 60));
    TextLook t = Look({Rgb(250, 150, 90), Rgb(226, 96, 60)});
    t.UseRim = false;
    t.Outline = 0;
    const Layer word = StyledText("FEVER", 2.0, 8.0 / 7.0, 2, t);
    word.DrawOnto(l, 19 + (119 - word.W()) / 2, 3);
    Paste(img, b, l, kKey);
}

// The ready sign: a speech bubble over the ball's upper left, its tail
// pointing down to the ball.
void DrawReady(Image& img, const Box& b) {
    Layer l(b.W(), b.H());
    const Color paper = Rgb(255, 250, 214);
    l.Ellipse(53, 21, 52, 20, paper);
    l.Rect(10, 6, 96, 36, paper);
    l.Polygon({{70, 36}, {86, 36}, {94, 54}}, paper);
    l.Rect(10, 37, 96, 38, Rgb(240, 214, 150));
    l.Outline(kInk);
    l.Outline(kInk, false);
    const Layer word = StyledText("READY!", 3.0, 3.0, 3, Look(kRedBands));
    word.DrawOnto(l, (b.W() - word.W()) / 2, 9);
    Paste(img, b, l, kKey);
}

void DrawLabels(Image& img) {
    const auto& lb = L::Label;
    DrawReady(img, lb[0]);
    {
        TextLook t = Look(kGoldBands, 2);
        t.Outline = 1;
        PasteCentred(img, lb[1], FitText("PUSH SHIFT KEY", lb[1].W(), lb[1].H(), 3, t, 1.2), kKey);
    }
    PasteCentred(img, lb[2], FitText("SCORE", lb[2].W(), lb[2].H(), 2, Look(kCyanBands)), kKey);
    PasteCentred(img, lb[3], FitText("CHAIN", lb[3].W(), lb[3].H() - 4, 2, Look(kFireBands)), kKey, 0, 2);
    {
        const Layer plus = StyledText("+", 3.0, 3.6, 0, Look(kGoldBands));
        PasteCentred(img, lb[4], plus, kKey);
    }
    // The fever label and its twin share one picture; it fits the smaller box.
    {
        const Box both{lb[11].L, lb[11].T, std::min(lb[5].R, lb[11].R), std::min(lb[5].B, lb[11].B)};
        PasteCentred(img, both, FitText("FEVER!!", both.W(), both.H(), 3, Look(kFireBands), 1.9), kKey);
    }
    PasteCentred(img, lb[6], FitText("LEVEL", lb[6].W(), lb[6].H(), 2, Look(kGreenBands)), kKey);
    PasteCentred(img, lb[7], FitText("LEVEL UP!", lb[7].W(), lb[7].H(), 3, Look(kGoldBands, 2), 1.3), kKey);
    {
        const Box b = lb[8];
        Layer l(b.W(), b.H());
        DrawHero(l, 0, Hero{0.43, -1.4, 4.5}, false);
        l.Outline(kInk);
        Paste(img, b, l, kKey);
    }
    PasteCentred(img, lb[9], FitText("HI-SCORE", lb[9].W(), lb[9].H(), 2, Look(kPinkBands)), kKey);
    PasteCentred(img, lb[10], FitText("GAME OVER", lb[10].W(), lb[10].H(), 3, Look(kRedBands), 1.6), kKey);
    DrawFeverBar(img, lb[12]);
    DrawFeverGaugeLabel(img, lb[13]);
}

// ---- Pop-ups ----------------------------------------------------------------

void DrawPopups(Image& img) {
    const char* texts[6] = {"5", "10", "15", "20", "25+", "OOPS"};
    const std::vector<Color> bands[6] = {
        {Rgb(255, 255, 226), Rgb(255, 240, 150)}, {Rgb(214, 255, 180), Rgb(120, 236, 90)},
        {Rgb(255, 248, 160), Rgb(255, 212, 50)},  {Rgb(255, 214, 150), Rgb(255, 150, 40)},
        {Rgb(255, 190, 220), Rgb(255, 90, 160)},  {Rgb(226, 200, 255), Rgb(180, 120, 255)}};
    for (int k = 0; k < 6; ++k) {
        TextLook t = Look(bands[k]);
        t.UseRim = false;
        // Numbers wide and bold; the word narrower so it fits.
        const Layer text = k == 5 ? StyledText(texts[k], 2.0, 10.0 / 7.0, 1, t) : StyledText(texts[k], 2.6, 10.0 / 7.0, 2, t);
        PasteCentred(img, L::Popup(k), text, kKey);
    }
}

// ---- Specks and particles ---------------------------------------------------

void DrawSpecks(Image& img) {
    const auto& s = L::Speck;
    {   // 0: a small plus star
        Layer l(6, 6);
        l.Rect(2, 0, 3, 5, Rgb(250, 236, 140));
        l.Rect(0, 2, 5, 3, Rgb(250, 236, 140));
        l.Rect(2, 2, 3, 3, kOffWhite);
        Paste(img, s[0], l, kKey);
    }
    {   // 1: a diamond
        Layer l(6, 6);
        l.Polygon({{2.5, -0.2}, {5.2, 2.5}, {2.5, 5.2}, {-0.2, 2.5}}, Rgb(120, 220, 250));
        l.Rect(2, 2, 3, 3, Rgb(220, 246, 255));
        Paste(img, s[1], l, kKey);
    }
    {   // 2: a four-pointed sparkle
        Layer l(8, 8);
        Sparkle(l, 3.5, 3.5, 4.2, Rgb(255, 246, 180), kOffWhite);
        Paste(img, s[2], l, kKey);
    }
    {   // 3: a pink plus star
        Layer l(7, 7);
        l.Rect(3, 0, 3, 6, Rgb(255, 150, 200));
        l.Rect(0, 3, 6, 3, Rgb(255, 150, 200));
        l.Rect(2, 2, 4, 4, Rgb(255, 190, 226));
        l.Rect(3, 3, 3, 3, kOffWhite);
        Paste(img, s[3], l, kKey);
    }
    {   // 4: a dot
        Layer l(4, 4);
        l.Rect(1, 0, 2, 3, Rgb(170, 190, 255));
        l.Rect(0, 1, 3, 2, Rgb(170, 190, 255));
        l.Rect(1, 1, 2, 2, Rgb(226, 232, 255));
        Paste(img, s[4], l, kKey);
    }
    {   // 5: a bright sparkle (fast)
        Layer l(6, 6);
        Sparkle(l, 2.5, 2.5, 3.2, Rgb(160, 240, 255), kOffWhite);
        Paste(img, s[5], l, kKey);
    }
    {   // 6: a streak, head to the left (fast specks fly left)
        Layer l(8, 4);
        l.Rect(0, 1, 2, 2, kOffWhite);
        l.Rect(3, 1, 4, 2, Rgb(180, 230, 255));
        l.Rect(5, 1, 7, 2, Rgb(90, 150, 230));
        l.Rect(1, 0, 1, 3, Rgb(200, 236, 255));
        Paste(img, s[6], l, kKey);
    }
    {   // 7: a white dot (fast)
        Layer l(4, 4);
        l.Rect(1, 0, 2, 3, Rgb(236, 236, 220));
        l.Rect(0, 1, 3, 2, Rgb(236, 236, 220));
        Paste(img, s[7], l, kKey);
    }
    {   // 8: a golden plus (fast)
        Layer l(5, 5);
        l.Rect(2, 0, 2, 4, Rgb(255, 206, 80));
        l.Rect(0, 2, 4, 2, Rgb(255, 206, 80));
        l.Rect(2, 2, 2, 2, kOffWhite);
        Paste(img, s[8], l, kKey);
    }
}

void DrawParticles(Image& img) {
    {   // 0: a long golden spark
        Layer l(8, 12);
        l.Polygon({{3.5, 0}, {5, 4.5}, {7.4, 5.5}, {5, 6.5}, {3.5, 11.4}, {2, 6.5}, {-0.4, 5.5}, {2, 4.5}},
                  ramp::Flame.Light);
        l.Polygon({{3.5, 2.5}, {4.5, 5.5}, {3.5, 8.5}, {2.5, 5.5}}, ramp::Flame.Hi);
        l.Rect(3, 5, 4, 6, kOffWhite);
        Paste(img, L::Particle[0], l, kKey);
    }
    {   // 1: a cyan shard
        Layer l(8, 12);
        l.Polygon({{4, 0}, {7.4, 5}, {4, 11.4}, {0.6, 5}}, ramp::Sky.Mid);
        l.Polygon({{4, 0}, {7.4, 5}, {4, 6}}, ramp::Sky.Light);
        l.Rect(3, 3, 4, 5, ramp::Sky.Hi);
        Paste(img, L::Particle[1], l, kKey);
    }
}

}  // namespace

Image DrawMainSheet() {
    Image img(L::MainW, L::MainH, Rgb(255, 255, 255));
    DrawBalls(img);
    DrawMarker(img);
    DrawRivals(img);
    DrawItems(img);
    DrawDigits(img);
    DrawLabels(img);
    DrawPopups(img);
    DrawSpecks(img);
    DrawParticles(img);
    return img;
}

}  // namespace gen
