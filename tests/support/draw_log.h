// A draw recorder for tests: keeps every drawing call in order, with the
// source surface's name, and finds the copies of one sprite.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "game/shell/game_state.h"

namespace pm::test {

struct DrawCall {
    std::string Op;        // "fill", "opaque", "keyed" or "text"
    std::string Surface;   // source surface of a copy
    Rect Source;
    int32_t X = 0, Y = 0;
    std::string Text;
};

class DrawLog : public DrawObserver {
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

}  // namespace pm::test
