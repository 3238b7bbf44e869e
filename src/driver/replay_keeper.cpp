#include "driver/replay_keeper.h"

#include <cstdio>

#include "platform/files/files.h"

namespace pm {

ReplayKeeper::ReplayKeeper(std::string lastPath, std::string bestPath, NewBest newBest)
    : lastPath_(std::move(lastPath)), bestPath_(std::move(bestPath)), newBest_(std::move(newBest)) {}

void RunEnds::Start(const FormMain& form) {
    started_ = true;
    lastState_ = form.GameState;
    recordBeforeRun_ = form.HighScore;
}

bool RunEnds::Frame(const FormMain& form) {
    if (!started_) return false;
    if (lastState_ == State::Title && form.GameState == State::Play) recordBeforeRun_ = form.HighScore;
    const bool ended = lastState_ == State::GameOver && form.GameState == State::Title;
    lastState_ = form.GameState;
    return ended;
}

void ReplayKeeper::Start(const FormMain& form) { runs_.Start(form); }

void ReplayKeeper::Frame(const ReplayBuilder& session, const FormMain& form) {
    if (runs_.Frame(form)) RunEnded(session.Snapshot(FrameEnd::GoingOn, form.HighScore), form.HighScore);
}

void ReplayKeeper::RunEnded(const Replay& sofar, int32_t record) {
    Write(lastPath_, sofar);
    if (!runs_.Raised(record)) return;
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

void ReplayKeeper::Finish(const ReplayBuilder& session, ReplayEnd end, const FormMain& form) {
    if (!runs_.Started()) return;
    const Replay whole = session.Snapshot(end, form.KeptRecord);
    // A quit on the game-over screen ends a run too: that session may be
    // the best one.
    const bool runEnded = runs_.QuitInGameOver();
    runs_.Stop();
    if (runEnded) {
        RunEnded(whole, form.KeptRecord);
        return;
    }
    Write(lastPath_, whole);
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
    std::fprintf(stderr, "pellimunch: %s: %s; the replay was not saved\n", path.c_str(), reason.c_str());
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
