// Every session of the player's is kept as replays: last.replay holds the
// session so far (rewritten at each game over and at the end, so a crash
// loses at most the run being played), and best.replay the session up to the
// end of the run that set the best record it has seen.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "driver/replay.h"
#include "game/view.h"

namespace pm {

class ReplayKeeper {
public:
    // A run that raised the record: the session up to its end, and the
    // record it set (the browser keeps it for the world table).
    using NewBest = std::function<void(const Replay& sofar, int32_t record)>;

    // Where the two files go; an empty path keeps that file from being
    // written. `newBest`, when given, hears of every run that raised the record.
    ReplayKeeper(std::string lastPath, std::string bestPath, NewBest newBest = {});

    // A daily session: its first run is the day's attempt. When that run
    // ends, the session up to its end is kept in `path` unless the file
    // already holds an attempt that scored as much (older days' files are
    // other files), and `ended` hears of the attempt (the session up to its
    // end), what it earned and whether it was kept. An empty path keeps no
    // file (the browser keeps its own).
    using DailyEnded = std::function<void(const Replay& attempt, const RunResult& run, bool kept)>;
    void KeepDaily(std::string path, DailyEnded ended);

    // After the start-up.
    void Start(const GameView& game);
    // After frame `frame` of the session so far. A run ends when its game
    // over hands back to the title, or when the session is quit on the
    // game-over screen (RunWatch says which).
    void Frame(const ReplayBuilder& session, const GameView& game, uint64_t frame);
    // When the session is over (the game has shut down).
    void Finish(const ReplayBuilder& session, const GameView& game);

private:
    // Under the folder's lock, making the folder first; `wanted`, asked
    // under the lock, may decide against the write.
    void Write(const std::string& path, const Replay& replay, const std::function<bool()>& wanted = {});
    void RunEnded(const Replay& sofar, int32_t record);
    void DailyRunEnded(const Replay& sofar);

    std::string lastPath_, bestPath_;
    NewBest newBest_;
    RunWatch runs_;
    std::string dailyPath_;
    DailyEnded dailyEnded_;
    bool dailyDone_ = false;
};

// The high score a replay file claims at its end, or nothing when there is no
// such file or it is not a replay.
std::optional<int32_t> ClaimedHighScore(const std::string& path);

}  // namespace pm
