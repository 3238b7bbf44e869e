// The software display: 16-bit RGB565 surfaces, the back buffer the game
// draws into, and the three drawing operations with the game's skip rule
// (a copy that does not lie wholly on the target draws nothing at all).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pm {

// Left, top, right, bottom; right and bottom are exclusive.
struct Rect {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Rgb {
    uint8_t R = 0, G = 0, B = 0;
};

constexpr uint16_t Rgb565(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

// A 5-6-5 pixel back to 8 bits a channel, the high bits repeated into the
// low ones so that white stays white and black black.
constexpr Rgb WidenRgb565(uint16_t p) {
    const uint32_t r5 = p >> 11, g6 = (p >> 5) & 0x3F, b5 = p & 0x1F;
    return Rgb{static_cast<uint8_t>(r5 << 3 | r5 >> 2), static_cast<uint8_t>(g6 << 2 | g6 >> 4),
               static_cast<uint8_t>(b5 << 3 | b5 >> 2)};
}

struct Surface {
    std::string Name;           // the record's name, e.g. "MainSurface"
    int32_t Width = 0, Height = 0;
    std::vector<uint16_t> Pixels;
    bool HasKey = false;        // source colour key for keyed copies
    uint16_t Key = 0;

    Surface() = default;
    Surface(std::string name, int32_t w, int32_t h, uint16_t fill = 0)
        : Name(std::move(name)), Width(w), Height(h),
          Pixels(static_cast<size_t>(w) * static_cast<size_t>(h), fill) {}

    const uint16_t& At(int32_t x, int32_t y) const { return Pixels[static_cast<size_t>(y) * Width + x]; }
    uint16_t& At(int32_t x, int32_t y) { return Pixels[static_cast<size_t>(y) * Width + x]; }
};

// Pure pixel operations on surfaces. They return whether anything was drawn.
bool FillSurface(Surface& dst, const Rect& r, uint16_t colour);
bool CopySurface(Surface& dst, int32_t x, int32_t y, const Surface& src, const Rect& sr, bool keyed);

// Something that watches every drawing call as the game makes it, before the
// skip rule (the headless runner's trace).
class DrawObserver {
public:
    virtual ~DrawObserver() = default;
    virtual void OnFill(const Rect& r, Rgb colour) = 0;
    virtual void OnCopy(bool keyed, const Surface& src, const Rect& sr, int32_t x, int32_t y) = 0;
    virtual void OnText(int32_t x, int32_t y, std::string_view utf8) = 0;
};

// Draws a line of UTF-8 text into a 16-bit surface.
class TextRenderer {
public:
    virtual ~TextRenderer() = default;
    virtual void Draw(Surface& dst, int32_t x, int32_t y, std::string_view utf8, Rgb colour) = 0;
};

}  // namespace pm
