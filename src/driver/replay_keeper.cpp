#include "driver/replay_keeper.h"

#include <cstdio>

#include "driver/ghost.h"
#include "platform/files/files.h"

namespace pm {

ReplayKeeper::ReplayKeeper(std::string lastPath, std::string bestPath, NewBest newBest)
    : lastPath_(std::move(lastPath)), bestPath_(std::move(bestPath)), newBest_(std::move(newBest)) {}

void ReplayKeeper::KeepDaily(std::string path, DailyEnded ended) {
    dailyPath_ = std::move(path);
    dailyEnded_ = std::move(ended);
    dailyDone_ = false;
}

void ReplayKeeper::Start(const GameView& game) { runs_.Start(game); }

void ReplayKeeper::Frame(const ReplayBuilder& session, const GameView& game, uint64_t frame) {
    if (runs_.Frame(game, frame) != RunWatch::Event::Ended) return;
    const Replay sofar = session.Snapshot(FrameEnd::GoingOn, game.Record());
    DailyRunEnded(sofar);
    RunEnded(sofar, game.Record());
}

// The daily attempt is the session's first run; a better attempt of the same
// day already in the file (another copy's, or an earlier session's) stays.
void ReplayKeeper::DailyRunEnded(const Replay& sofar) {
    if (dailyDone_ || (dailyPath_.empty() && !dailyEnded_)) return;
    dailyDone_ = true;
    const RunResult run = runs_.Last();
    bool kept = false;
    Write(dailyPath_, sofar, [&] {
        Replay held;
        std::string message;
        if (KindOf(dailyPath_) != FileKind::Missing && LoadReplay(dailyPath_, held, message)) {
            const std::optional<RunResult> before = FirstRun(held);
            if (before && before->Score >= run.Score) return false;
        } else if (!message.empty()) {
            std::fprintf(stderr, "pellimunch: %s; it will be replaced by this attempt\n", message.c_str());
        }
        kept = true;
        return true;
    });
    if (dailyEnded_) dailyEnded_(sofar, run, kept);
}

void ReplayKeeper::RunEnded(const Replay& sofar, int32_t record) {
    Write(lastPath_, sofar);
    if (record <= runs_.Last().RecordBefore) return;
    if (newBest_) newBest_(sofar, record);
    if (bestPath_.empty()) return;
    // A new record in this session; keep it unless the file already holds a
    // better run (say, from before the score file was reset, or another copy
    // of the game's).
    // Mended: the look at the file and the write used to be apart, so a copy
    // with a lower run could write over a higher one in between; both are
    // under the folder's lock now, as score.dat's save is.
    Write(bestPath_, sofar, [&] {
        const std::optional<int32_t> best = ClaimedHighScore(bestPath_);
        return !best || *best < record;
    });
}

void ReplayKeeper::Finish(const ReplayBuilder& session, const GameView& game) {
    if (!runs_.Started()) return;
    const Replay whole = session.Snapshot(game.Ended(), game.KeptRecord());
    // A quit on the game-over screen ends a run too: that session may be
    // the best one.
    if (runs_.InGameOver()) {
        DailyRunEnded(whole);
        RunEnded(whole, game.KeptRecord());
    } else {
        Write(lastPath_, whole);
    }
    runs_ = {};
}

void ReplayKeeper::Write(const std::string& path, const Replay& replay, const std::function<bool()>& wanted) {
    if (path.empty()) return;
    std::string reason;
    // Mended: on a fresh account the data folder did not exist yet, and no
    // replay was saved until a record made score.dat's save create it.
    if (MakeFolderFor(path, &reason)) {
        const FolderLock lock(FolderOf(path));
        RemoveStaleTemporaries(path);
        if (wanted && !wanted()) return;
        if (ReplaceFile(path, FormatReplay(replay), &reason)) return;
    } else {
        reason = "cannot create the folder " + reason;
    }
    SayLine(path + ": " + reason + "; the replay was not saved");
}

std::optional<int32_t> ClaimedHighScore(const std::string& path) {
    if (KindOf(path) == FileKind::Missing) return std::nullopt;
    // Mended: only the first line and the end line are read; loading the
    // whole file (keys and all) froze the return to the title for seconds
    // when the file was large.
    ReplayEndLine end;
    std::string message;
    if (!ReadReplayEnd(path, end, message)) {
        std::fprintf(stderr, "pellimunch: %s; it will be replaced by the next record\n", message.c_str());
        return std::nullopt;
    }
    return end.HighScore;
}

}  // namespace pm
