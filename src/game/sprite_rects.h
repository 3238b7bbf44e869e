// Where every sprite sits on its sheet: the one table that both the game's
// rectangle tables and the art generator's drawing are built from.
#pragma once

#include <array>
#include <cstdint>

#include "game/game_constants.h"
#include "game/canvas/canvas.h"

namespace pm::sprites {

inline constexpr Rect Screen{0, 0, 800, 600};

// Ball kinds 0 to 2, the marker shown while the ball is above the screen,
// the rival's two frames.
inline constexpr std::array<Rect, 6> Balls{{
    {1, 1, 71, 82}, {72, 1, 142, 82}, {143, 1, 213, 82}, {191, 239, 214, 297}, {1, 115, 82, 196}, {83, 115, 164, 196}}};

// The six item kinds.
constexpr Rect Item(int32_t kind) { return {1 + 32 * kind, 83, 32 + 32 * kind, 114}; }

// Digit 0 to 9 in one of the four DigitStyle styles.
constexpr Rect Digit(int32_t digit, int32_t style) {
    return {1 + 19 * digit, 197 + 33 * style, 19 + 19 * digit, 229 + 33 * style};
}

// Indexed by Label::Index.
inline constexpr std::array<Rect, Label::Count> Labels{{
    {315, 65, 422, 122}, {191, 208, 491, 237}, {214, 65, 313, 95}, {214, 129, 313, 165},
    {191, 299, 208, 327}, {214, 187, 364, 206}, {214, 97, 314, 128}, {214, 1, 447, 32},
    {315, 124, 345, 160}, {214, 33, 390, 64}, {214, 166, 431, 186}, {214, 187, 365, 207},
    {366, 187, 485, 199}, {216, 239, 365, 254}}};

// The four ground animation strips of the ground sheet.
constexpr Rect GroundStrip(int32_t i) { return {0, 44 * i, 799, 44 * i + 42}; }

inline constexpr Rect Banner{0, 0, 366, 85};   // the pink line sheet
inline constexpr Rect Logo{0, 0, 461, 65};     // the title sheet

// Pop-up kinds 0 to 5.
constexpr Rect Popup(int32_t kind) { return {165, 115 + 13 * kind, 210, 127 + 13 * kind}; }

inline constexpr std::array<Rect, 9> Specks{{
    {193, 83, 199, 89}, {200, 83, 206, 89}, {193, 90, 201, 98}, {202, 90, 209, 97}, {207, 83, 211, 87},
    {193, 99, 199, 105}, {200, 99, 208, 103}, {193, 106, 197, 110}, {198, 106, 203, 111}}};

inline constexpr std::array<Rect, 2> Particles{{{191, 193, 199, 205}, {200, 193, 208, 205}}};

// Gauge frame and bars of the scale sheet.
inline constexpr std::array<Rect, 4> Gauges{{{0, 0, 264, 42}, {0, 44, 264, 72}, {0, 75, 264, 104}, {0, 106, 264, 135}}};

}  // namespace pm::sprites
