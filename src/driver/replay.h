// Replays: a whole session as the game read it, in a small text file that
// reads by eye and replays anywhere.
//
//   pellimunch-replay 1
//   seed 43512
//   highscore 1000
//   30 -
//   1 LShift
//   12 Right+Space
//   ...
//   end 812 escape 1400
//
// The first line names the format and its version; then the seed of the
// random generator and the high score the session started with; then the
// key script of every frame (the keys the game reads, and the mouse press);
// last, how the session ended: after how many frames, by what (escape,
// mouse, close, or running for a session still going when the file was
// written) and the high score then. The file holds no path, time or
// locale-dependent text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "driver/script.h"
#include "platform/watch_overlay.h"
#include "shell/game_state.h"

namespace pm {

inline constexpr std::string_view ReplayMagic = "pellimunch-replay";
inline constexpr int ReplayVersion = 1;

// How a session ended: as the game's frames end it, or still running (a
// file written at a game over, while the session went on).
using ReplayEnd = FrameEnd;
const char* ReplayEndName(ReplayEnd end);   // "running", "escape", "mouse", "close"

struct Replay {
    uint32_t Seed = 0;
    int32_t HighScore = 0;         // the record when the session started
    keys::Script Keys;              // every frame, in order
    uint64_t EndFrame = 0;         // frames the session ran
    ReplayEnd End = FrameEnd::GoingOn;
    int32_t EndHighScore = 0;      // the record when it ended
};

std::string FormatReplay(const Replay& replay);

// Parses a replay file's text; on failure fills `error` (with its line) and
// returns false. A file of another version, a bad line or a missing end line
// (a truncated file) is refused.
bool ParseReplay(std::string_view text, Replay& replay, keys::ScriptError& error);

// Reads and parses a replay file; on failure returns false with a one-line
// message naming the file (and the line).
bool LoadReplay(const std::string& path, Replay& replay, std::string& message);

// The key-table entry and mouse press of one frame, as a replay keeps them.
keys::ScriptSpan SpanOf(const FrameInput& input);
FrameInput InputOf(const keys::ScriptSpan& span);

// Builds a replay frame by frame as the driver runs the game.
class ReplayBuilder {
public:
    void Begin(uint32_t seed, int32_t highScore);
    void Add(const FrameInput& input);
    uint64_t Frames() const { return frames_; }
    // The session so far, ended as given.
    Replay Snapshot(ReplayEnd end, int32_t highScore) const;

private:
    Replay replay_;
    uint64_t frames_ = 0;
};

// Where a replay ends up when it is played back, against what it recorded.
struct ReplayOutcome {
    uint64_t Frames = 0;
    ReplayEnd End = FrameEnd::GoingOn;
    int32_t HighScore = 0;
};
// How a watched replay ended, in words for the screen: "left with Escape at
// frame 1234, high score 5000".
std::string DescribeEnd(const ReplayOutcome& outcome);
// The note the watching window shows at the replay's end.
WatchNote EndNote(const Replay& replay, const ReplayOutcome& outcome);
// Empty when the outcome is the recorded one; otherwise one line saying how
// it differs.
std::string CompareWithRecording(const Replay& replay, const ReplayOutcome& outcome);

}  // namespace pm
