// Saving a 16-bit surface as a 24-bit BMP picture (for --shot).
#pragma once

#include <string>

#include "game/canvas/canvas.h"

namespace pm::sim {

// The file's bytes: BITMAPFILEHEADER, BITMAPINFOHEADER, bottom-up rows of
// blue, green, red padded to four bytes. Each 5- or 6-bit channel is widened
// by repeating its top bits, so white stays 255 and black 0.
std::string EncodeBmp24(const Surface& surface);

// Writes the picture; on failure returns false with the reason.
bool SaveBmp24(const Surface& surface, const std::string& path, std::string& error);

}  // namespace pm::sim
