// The picture shown while the game is paused: the last frame, darkened, with
// a band across the middle that says the game is paused and how to go on.
// Made on a copy by the host; the game's own back buffer is never touched.
#pragma once

#include <string_view>

#include "game/canvas/canvas.h"

namespace pm {

// The band of the notice, in picture rows.
inline constexpr int32_t PauseBandTop = 240, PauseBandBottom = 350;

// A 5-6-5 pixel with each channel shifted right by `shift`: half as bright
// for 1, an eighth for 3.
uint16_t Darker(uint16_t pixel, int shift);

// `large` writes the word PAUSED, `small` the line under it; either may be
// null (no font: the darkened picture and its band still say enough).
Surface PausedPicture(const Surface& last, TextRenderer* large, TextRenderer* small);

// Writes a line centred on x = width / 2 with its top at y, wherever the
// renderer puts the ink of its glyphs.
void DrawCentred(Surface& dst, TextRenderer& text, int32_t y, std::string_view utf8, Rgb colour);

}  // namespace pm
