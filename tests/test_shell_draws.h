// A draw recorder for the shell's tests: keeps every drawing call of a frame
// and can read back the digits a DrawNumber call put at a given row.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "shell/game_state.h"

namespace pm::test {

struct DrawCall {
    std::string Op;        // "fill", "opaque", "keyed" or "text"
    std::string Surface;   // source surface of a copy
    Rect Source;
    int32_t X = 0, Y = 0;
    std::string Text;
};

class DrawLog : public DrawRecorder {
public:
    std::vector<DrawCall> Calls;

    void OnFill(const Rect& r, Rgb) override { Calls.push_back({"fill", "", r, r.Left, r.Top, ""}); }
    void OnCopy(bool keyed, const Surface& src, const Rect& sr, int32_t x, int32_t y) override {
        Calls.push_back({keyed ? "keyed" : "opaque", src.Name, sr, x, y, ""});
    }
    void OnText(int32_t x, int32_t y, std::string_view utf8) override {
        Calls.push_back({"text", "", {}, x, y, std::string(utf8)});
    }

    // Copies of one source rectangle, in order.
    std::vector<DrawCall> Of(const Rect& source) const {
        std::vector<DrawCall> out;
        for (const DrawCall& c : Calls)
            if ((c.Op == "keyed" || c.Op == "opaque") && c.Source == source) out.push_back(c);
        return out;
    }
};

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
