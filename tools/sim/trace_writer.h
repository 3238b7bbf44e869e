// The runner's trace: JSON Lines, one object per frame, in a fixed format
// that tools outside the game read. Everything is appended to a std::string
// so a frame line costs no allocation once the buffer has grown.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "game/canvas/canvas.h"
#include "game/state_text.h"
#include "hosts/headless/headless_host.h"

namespace pm {
class FormMain;
}

namespace pm::sim {

// Which parts a frame line carries.
struct Channels {
    bool State = true;
    bool Sound = false;
    bool Draw = false;
    bool Any() const { return State || Sound || Draw; }
};

// Scalars and the "state" object are the game's own text of the record
// (game/state_text.h).
using pm::AppendFloat;
using pm::AppendInt;
using pm::AppendRect;
using pm::AppendState;
// A JSON string: quotes, backslashes and control characters escaped; text
// that is not valid UTF-8 has each bad byte replaced by U+FFFD so the line
// stays valid JSON.
void AppendJsonString(std::string& out, std::string_view utf8);

// The "sound" array: the buffer operations in the order made.
void AppendSound(std::string& out, const std::vector<SoundCall>& calls);

// Collects the drawing calls of one frame as the entries of the "draw" array.
class DrawTrace : public DrawObserver {
public:
    void OnFill(const Rect& r, Rgb colour) override;
    void OnCopy(bool keyed, const Surface& src, const Rect& sr, int32_t x, int32_t y) override;
    void OnText(int32_t x, int32_t y, std::string_view utf8) override;

    // The entries so far, without the enclosing brackets.
    const std::string& Entries() const { return entries_; }
    void Clear() { entries_.clear(); }

private:
    void Separate() {
        if (!entries_.empty()) entries_ += ',';
    }
    std::string entries_;
};

// A whole frame line, newline included. `drawEntries` is DrawTrace::Entries().
void AppendFrameLine(std::string& out, int64_t frame, const Channels& channels, const FormMain& form,
                     const std::vector<SoundCall>& sound, std::string_view drawEntries);
// The last line: how the run ended and the high score the shutdown saved.
void AppendEndLine(std::string& out, int64_t frame, std::string_view end, int32_t highScore);

}  // namespace pm::sim
