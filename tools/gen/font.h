// The game's own pixel font: capitals, digits and a little punctuation on a
// 5 x 7 grid, scaled up by any factor so one face letters everything from
// the 12-pixel pop-ups to the logo.
#pragma once

#include <string_view>

#include "image.h"

namespace gen {

// Width in grid columns of a glyph (most are 5; punctuation is narrower).
int GlyphColumns(char c);
// Whether grid cell (col, row) of the glyph is inked. Unknown characters are blank.
bool GlyphInk(char c, int col, int row);

// Lays the text out with each grid cell sx by sy pixels (fractional scales
// are spread evenly) and `gap` grid-free pixels between glyphs. Returns a
// layer exactly as large as the text, inked pixels set to `ink`.
Layer TextMask(std::string_view text, double sx, double sy, int gap, Color ink);

// The width TextMask would give.
int TextWidth(std::string_view text, double sx, int gap);

}  // namespace gen
