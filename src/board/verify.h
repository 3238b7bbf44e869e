// Runs a submitted replay through the game itself and says what it earned.
// Nothing the file claims is believed: the score, the level and the length
// of the best game are read from the game's own record as it runs. The
// session is played as the runner plays a recording back: the record it
// started with in memory, no file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "driver/replay.h"

namespace pm::board {

// The longest session the table takes: five hours at 60 frames a second.
// Checked from the file's end line and from its key spans before a single
// frame runs, so the cost of a verification is bounded by this.
inline constexpr uint64_t MaxSessionFrames = 5ull * 60 * 60 * 60;

enum class Verdict : uint8_t {
    Ranked,      // the game ran it, it ends as it says, it holds a game
    Malformed,   // the reader refused the text (Message names the line)
    TooLong,     // longer than MaxSessionFrames
    Mismatch,    // it does not end as its end line says (or holds more or fewer frames)
    Refused,     // ends as it says, but cannot be ranked (W, E or R in play; no game)
};

struct RunFacts {
    int32_t Score = 0;      // the best single game's score
    int32_t Level = 0;      // the level that game reached
    uint64_t Frames = 0;    // that game's length
};

struct Verification {
    Verdict Result = Verdict::Malformed;
    std::string Message;    // why, for anything but Ranked
    RunFacts Best;
    uint64_t SessionFrames = 0;
    int32_t Games = 0;      // games begun in the session
    uint32_t Seed = 0;
    int32_t StartRecord = 0;
    std::string Hash;       // the keys' identity (RunHash), kept for rows stored before GameHash
    std::string GameHash;   // what makes two submissions the same run (once Ranked): GameDigest
    std::string Flag;       // why the input looks machine-made, or empty (MachineMade)
};

// Parses and checks the limits and the frame count only: cheap, fit for the
// thread that reads requests. Result is Ranked when the replay may go on to Run.
Verification Check(std::string_view text, Replay& replay);

// What a caller may ask of Run besides the verdict (the tests do).
struct RunHooks {
    bool Picture = false;   // draw the back buffer's pixels too
    // Each frame as it is shown (frame 0 is the start-up's), as the runner
    // writes its trace.
    std::function<void(uint64_t frame, const FormMain& form)> OnFrame;
};

// Runs a checked replay through the game (the expensive part).
void Run(const Replay& replay, Verification& v, const RunHooks& hooks = {});

// Both.
Verification VerifyReplay(std::string_view text);

// The identity of a ranked run: SHA-256 (hex) of what the game did in its
// best game, frame by frame, from the frame that started it to the frame it
// was lost (see GameDigest in verify.cpp); then its score and level. Two
// submissions are one run when the game played the same frames: a Shift for
// the other Shift, keys the game ignores, another starting record or frames
// after the game over make no new run.

// Runs whose key spans look written by a program: nearly every span of keys
// (runs of equal frames) a multiple of one period of MachinePeriodMin frames
// or more. Judged once a session holds MachineSpansMin spans; a share of
// MachineShare or more is flagged for an operator to look at.
inline constexpr int MachinePeriodMin = 4;
inline constexpr int MachinePeriodMax = 240;
inline constexpr size_t MachineSpansMin = 16;
inline constexpr double MachineShare = 0.9;
// Empty when the input looks played, else the one-line reason.
std::string MachineMade(const Replay& replay);

// The identity of the keys as text, up to the end of the best game (the
// table's identity before GameHash; old rows keep it): SHA-256 (hex) of its seed and its keys
// frame by frame up to the end of its best game, whatever the spacing,
// comments or span splits.
std::string RunHash(const Replay& replay, uint64_t frames);

}  // namespace pm::board
