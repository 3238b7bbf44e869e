// Reading back the digits a DrawNumber call put at a given row.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "draw_log.h"
#include "game/shell/game_state.h"

namespace pm::test {

// A digit sprite's value and style, or -1 when the rectangle is no digit.
inline std::pair<int, int> DigitOf(const FormMain& f, const Rect& r) {
    for (int d = 0; d < 10; ++d)
        for (int s = 0; s < 4; ++s)
            if (f.DigitRects[d][s] == r) return {d, s};
    return {-1, -1};
}

// The digits drawn on row y (left to right, in drawing order) as text.
inline std::string DigitsAt(const FormMain& f, const DrawLog& log, int32_t y) {
    std::string out;
    for (const DrawCall& c : log.Calls) {
        if (c.Op != "keyed" || c.Y != y) continue;
        const auto [d, s] = DigitOf(f, c.Source);
        if (d >= 0) out += static_cast<char>('0' + d);
    }
    return out;
}

}  // namespace pm::test
