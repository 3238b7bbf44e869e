// Where each sprite sits in the five sheets, and the sheets' sizes. The
// positions are the game's own table (src/sprite_rects.h); the data tests
// compare the generated pictures against the game's rectangle tables.
#pragma once

#include <array>

#include "image.h"
#include "game/sprite_rects.h"

namespace gen::layout {

inline constexpr int MainW = 493, MainH = 329;
inline constexpr int GroundW = 800, GroundH = 176;
inline constexpr int PinkW = 367, PinkH = 86;
inline constexpr int TitleW = 461, TitleH = 65;
inline constexpr int ScaleW = 265, ScaleH = 138;

// The game's own sprite table, in the generator's boxes.
constexpr Box FromRect(const pm::Rect& r) { return {r.Left, r.Top, r.Right, r.Bottom}; }
template <size_t N>
constexpr std::array<Box, N> FromRects(const std::array<pm::Rect, N>& rects) {
    std::array<Box, N> boxes{};
    for (size_t i = 0; i < N; ++i) boxes[i] = FromRect(rects[i]);
    return boxes;
}

// Ball kinds 0-2, the above-screen marker, the rival's two frames.
inline constexpr std::array<Box, 6> Ball = FromRects(pm::sprites::Balls);
inline constexpr Box Item(int i) { return FromRect(pm::sprites::Item(i)); }
inline constexpr Box Digit(int d, int s) { return FromRect(pm::sprites::Digit(d, s)); }
inline constexpr Box Popup(int i) { return FromRect(pm::sprites::Popup(i)); }
inline constexpr std::array<Box, pm::Label::Count> Label = FromRects(pm::sprites::Labels);
inline constexpr std::array<Box, 9> Speck = FromRects(pm::sprites::Specks);
inline constexpr std::array<Box, 2> Particle = FromRects(pm::sprites::Particles);
inline constexpr Box GroundStrip(int i) { return FromRect(pm::sprites::GroundStrip(i)); }
inline constexpr Box Banner = FromRect(pm::sprites::Banner);
inline constexpr Box Logo = FromRect(pm::sprites::Logo);
inline constexpr std::array<Box, 4> Gauge = FromRects(pm::sprites::Gauges);

}  // namespace gen::layout
