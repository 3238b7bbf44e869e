// Where each sprite sits in the five sheets, and the sheets' sizes. The game
// reads the same positions from its rectangle tables; the data tests compare
// the generated pictures against those tables.
#pragma once

#include <array>

#include "image.h"

namespace gen::layout {

inline constexpr int MainW = 493, MainH = 329;
inline constexpr int GroundW = 800, GroundH = 176;
inline constexpr int PinkW = 367, PinkH = 86;
inline constexpr int TitleW = 461, TitleH = 65;
inline constexpr int ScaleW = 265, ScaleH = 138;

// Ball kinds 0-2, the above-screen marker, the rival's two frames.
inline constexpr std::array<Box, 6> Ball{{
    {1, 1, 71, 82}, {72, 1, 142, 82}, {143, 1, 213, 82}, {191, 239, 214, 297}, {1, 115, 82, 196}, {83, 115, 164, 196}}};

inline constexpr Box Item(int i) { return {1 + 32 * i, 83, 32 + 32 * i, 114}; }
inline constexpr Box Digit(int d, int s) { return {1 + 19 * d, 197 + 33 * s, 19 + 19 * d, 229 + 33 * s}; }
inline constexpr Box Popup(int i) { return {165, 115 + 13 * i, 210, 127 + 13 * i}; }

inline constexpr std::array<Box, 14> Label{{
    {315, 65, 422, 122}, {191, 208, 491, 237}, {214, 65, 313, 95}, {214, 129, 313, 165},
    {191, 299, 208, 327}, {214, 187, 364, 206}, {214, 97, 314, 128}, {214, 1, 447, 32},
    {315, 124, 345, 160}, {214, 33, 390, 64}, {214, 166, 431, 186}, {214, 187, 365, 207},
    {366, 187, 485, 199}, {216, 239, 365, 254}}};

inline constexpr std::array<Box, 9> Speck{{
    {193, 83, 199, 89}, {200, 83, 206, 89}, {193, 90, 201, 98}, {202, 90, 209, 97}, {207, 83, 211, 87},
    {193, 99, 199, 105}, {200, 99, 208, 103}, {193, 106, 197, 110}, {198, 106, 203, 111}}};

inline constexpr std::array<Box, 2> Particle{{{191, 193, 199, 205}, {200, 193, 208, 205}}};

inline constexpr Box GroundStrip(int i) { return {0, 44 * i, 799, 44 * i + 42}; }
inline constexpr Box Banner{0, 0, 366, 85};
inline constexpr Box Logo{0, 0, 461, 65};
inline constexpr std::array<Box, 4> Gauge{{{0, 0, 264, 42}, {0, 44, 264, 72}, {0, 75, 264, 104}, {0, 106, 264, 135}}};

}  // namespace gen::layout
