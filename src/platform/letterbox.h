// Where the 800 x 600 picture goes in a window of any size: as large as it
// fits, keeping 4:3, centred, with black bars on the two sides it leaves.
#pragma once

#include <array>
#include <cstdint>

namespace pm {

struct Box {
    int32_t X = 0, Y = 0, W = 0, H = 0;
    friend bool operator==(const Box&, const Box&) = default;
};

struct Letterbox {
    Box Picture;
    std::array<Box, 2> Bars{};   // left and right, or top and bottom
    int32_t BarCount = 0;
};

// The picture's place in a drawable of w x h pixels (nothing when empty).
Letterbox FitPicture(int32_t w, int32_t h);

// The window for a scale (800 x 600 times it), shrunk to the usable part of
// the screen, keeping 4:3, when it is larger; usable sizes of 0 are unknown.
Box WindowForScale(int32_t scale, int32_t usableW, int32_t usableH);

}  // namespace pm
