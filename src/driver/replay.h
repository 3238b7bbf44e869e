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
// written) and the high score then. An escape or mouse end whose key the
// last frame does not hold is a player who left while paused: the quit came
// after the last frame, from outside any frame. The file holds no path, time
// or locale-dependent text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "driver/script.h"
#include "platform/watch_overlay.h"
#include "game/shell/game_state.h"

namespace pm {

inline constexpr std::string_view ReplayMagic = "pellimunch-replay";
inline constexpr int ReplayVersion = 1;

// The longest session a replay holds: 24 hours at 60 frames a second. The
// recorder stops recording there, and a file that claims more is refused.
inline constexpr uint64_t MaxReplayFrames = 24ull * 60 * 60 * 60;
// The longest line the recorder writes for a span of one frame, newline
// included: "1 Escape+LShift+RShift+Space+Up+Left+Right+Delete+W+E+R+Mouse".
inline constexpr uint64_t MaxReplayFrameBytes = 62;
// The largest replay file: the longest session with the keys changing every
// frame and every key held, plus room for the four lines around it. A larger
// file is refused before a byte of it is read.
inline constexpr uint64_t MaxReplayBytes = MaxReplayFrames * MaxReplayFrameBytes + 256;

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
// returns false. A file of another version, a bad line, a missing end line
// (a truncated file), spans that do not add up to the end line's frames or a
// session longer than MaxReplayFrames is refused.
bool ParseReplay(std::string_view text, Replay& replay, keys::ScriptError& error);

// Reads and parses a replay file a piece at a time (its text is never held
// whole); on failure returns false with a one-line message naming the file
// (and the line). A file larger than MaxReplayBytes is refused unread.
bool LoadReplay(const std::string& path, Replay& replay, std::string& message);

// How a replay says it ended, read from its first line and its last lines
// only: enough to compare records without loading the keys. Nothing when
// the file does not start as a replay or does not end with an end line.
struct ReplayEndLine {
    uint64_t Frames = 0;
    ReplayEnd End = FrameEnd::GoingOn;
    int32_t HighScore = 0;
};
bool ReadReplayEnd(const std::string& path, ReplayEndLine& end, std::string& message);
// The same from a file's text: `head` its start, `tail` its last bytes
// (`whole` when the tail is the whole file).
std::optional<ReplayEndLine> ReplayEndOf(std::string_view head, std::string_view tail, bool whole);

// The key-table entry and mouse press of one frame, as a replay keeps them.
keys::ScriptSpan SpanOf(const FrameInput& input);
FrameInput InputOf(const keys::ScriptSpan& span);

// Builds a replay frame by frame as the driver runs the game.
// It stops at MaxReplayFrames: a longer session is kept as its first 24
// hours, ended "running" with the record it had then, so that it plays back
// as far as it was kept.
class ReplayBuilder {
public:
    void Begin(uint32_t seed, int32_t highScore);
    // `highScore`: the record after this frame.
    void Add(const FrameInput& input, int32_t highScore = 0);
    uint64_t Frames() const { return frames_; }
    bool Full() const { return frames_ >= MaxReplayFrames; }
    // The session so far, ended as given.
    Replay Snapshot(ReplayEnd end, int32_t highScore) const;

private:
    Replay replay_;
    uint64_t frames_ = 0;
    int32_t highScoreWhenFull_ = 0;
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
