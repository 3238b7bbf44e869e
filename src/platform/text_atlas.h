// Text from lines rendered ahead of time. A rendered line is kept as coverage
// only (how much of each pixel the glyphs cover), and blending coverage onto
// a 16-bit surface is one function shared by every text renderer, so a line
// drawn from a stored atlas gives the very pixels the font renderer gives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "game/canvas/canvas.h"

namespace pm {

// One rendered line of text: Width x Height coverage values, 0 to 255.
struct TextCoverage {
    int32_t Width = 0, Height = 0;
    std::vector<uint8_t> Alpha;
};

// Blends `colour` over dst with the line's coverage, its top left at (x, y).
// Text is clipped to the surface, unlike sprite copies.
void BlendCoverage(Surface& dst, int32_t x, int32_t y, const TextCoverage& line, Rgb colour);

// A line as it is compiled into a program: the text and its coverage.
struct AtlasLine {
    const char* Text;   // UTF-8
    int32_t Width, Height;
    const uint8_t* Alpha;
};

// Draws the lines it was given and nothing else: a line it does not hold is
// skipped, with one warning on stderr for each such line.
class AtlasText : public TextRenderer {
public:
    AtlasText(const AtlasLine* lines, size_t count);
    void Add(std::string text, TextCoverage line);
    size_t Size() const { return lines_.size(); }
    const TextCoverage* Find(std::string_view utf8) const;

    void Draw(Surface& dst, int32_t x, int32_t y, std::string_view utf8, Rgb colour) override;

private:
    std::unordered_map<std::string, TextCoverage> lines_;
    std::unordered_map<std::string, bool> warned_;
};

// The C++ source of an atlas: an array of AtlasLine named `symbol` (with
// `symbol`Count beside it) in namespace pm, ready to compile into a program.
std::string AtlasSource(const std::vector<std::pair<std::string, TextCoverage>>& lines, std::string_view symbol);

}  // namespace pm
