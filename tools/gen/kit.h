// The house style shared by every picture: the outline ink, colour ramps,
// lettering with flat colour bands, rim light, shadow and outline, and
// helpers to centre a sprite in its box.
#pragma once

#include <string_view>
#include <vector>

#include "image.h"

namespace gen {

// The dark outline of every sprite: deep violet rather than black, so it
// never turns into the black key of the title and gauge sheets.
inline constexpr Color kInk = Rgb(30, 18, 52);
inline constexpr Color kOffWhite = Rgb(240, 240, 240);

// Four flat shades of one colour, darkest first, the last a highlight.
struct Ramp {
    Color Dark, Mid, Light, Hi;
    std::vector<Color> All() const { return {Dark, Mid, Light, Hi}; }
};

namespace ramp {
inline constexpr Ramp Sun{Rgb(214, 112, 18), Rgb(250, 176, 28), Rgb(255, 218, 64), Rgb(255, 246, 196)};
inline constexpr Ramp Leaf{Rgb(26, 128, 66), Rgb(58, 190, 84), Rgb(128, 232, 104), Rgb(226, 252, 196)};
inline constexpr Ramp Berry{Rgb(170, 26, 70), Rgb(232, 58, 96), Rgb(255, 118, 140), Rgb(255, 214, 222)};
inline constexpr Ramp Grape{Rgb(72, 28, 118), Rgb(124, 56, 184), Rgb(172, 104, 228), Rgb(226, 184, 250)};
inline constexpr Ramp Sky{Rgb(22, 96, 186), Rgb(44, 156, 236), Rgb(112, 210, 252), Rgb(214, 244, 255)};
inline constexpr Ramp Flame{Rgb(200, 40, 24), Rgb(246, 110, 24), Rgb(255, 190, 40), Rgb(255, 240, 150)};
inline constexpr Ramp Apple{Rgb(168, 24, 30), Rgb(226, 46, 40), Rgb(255, 104, 72), Rgb(255, 220, 200)};
inline constexpr Ramp Silver{Rgb(92, 100, 130), Rgb(150, 160, 190), Rgb(202, 210, 230), Rgb(240, 242, 250)};
inline constexpr Ramp Ivory{Rgb(176, 140, 80), Rgb(226, 200, 140), Rgb(246, 232, 186), Rgb(250, 248, 230)};
}  // namespace ramp

struct TextLook {
    std::vector<Color> Bands;        // top to bottom, flat
    Color Rim = kOffWhite;           // top edge of every stroke
    bool UseRim = true;
    Color Ink = kInk;
    int Outline = 1;                 // outline rings (the outer ones in Ink)
    Color InnerOutline = kInk;       // first ring when Outline >= 2
    int Shadow = 0;                  // drop shadow offset, down and right
    Color ShadowColor = kInk;
};

// Lettering at a given grid scale, coloured and outlined.
Layer StyledText(std::string_view text, double sx, double sy, int gap, const TextLook& look);

// The largest scale (sx up to sy * aspect) with which the lettering fits w x h.
Layer FitText(std::string_view text, int w, int h, int gap, const TextLook& look, double aspect = 1.0);

// Pastes a layer centred in a box (rounding toward the top left).
void PasteCentred(Image& sheet, const Box& box, const Layer& layer, uint16_t key, int nudgeX = 0, int nudgeY = 0);

// Recolours set pixels by rows into flat bands (top to bottom) over y0..y1.
void BandRows(Layer& l, const std::vector<Color>& bands, int y0, int y1);

// Adds `n` outline rings: the first in `inner`, the rest in `outer`.
void Rings(Layer& l, int n, Color inner, Color outer);

}  // namespace gen
