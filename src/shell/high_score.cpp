// Reading and writing score.dat, and the two game steps that use them: the
// load at start-up and the save at the end of the shutdown.
#include "shell/high_score.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/atomic_file.h"
#include "platform/folder_lock.h"
#include "platform/score_path.h"
#include "shell/game_state.h"

namespace pm {

std::string FormatScoreText(int32_t score) { return Str(score) + " \r\n"; }

std::optional<int32_t> ParseScoreText(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    // Mended: a record beyond 32 bits was never written by the game; it is kept as
    // the highest record the game can hold rather than thrown away, so the
    // player never finds a lower one afterwards.
    int64_t value = 0;
    size_t digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t{2147483648}) value = int64_t{2147483648};
    }
    if (digits == 0) return std::nullopt;
    if (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != ',' && text[i] != '\r' && text[i] != '\n')
        return std::nullopt;   // "12abc" is not a number
    if (negative) value = -value;
    if (value > INT32_MAX) value = INT32_MAX;
    if (value < INT32_MIN) value = INT32_MIN;
    return static_cast<int32_t>(value);
}

namespace {

std::string ErrnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

ScoreFileRead ReadScoreFile(const std::string& path) {
    ScoreFileRead result;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return result;   // Missing

    result.Status = ScoreFileStatus::Unreadable;
    // Without blocking: a named pipe put there since the look above must not
    // hold the game; it is no file of ours.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        result.Reason = ErrnoText("cannot open");
        return result;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ScoreFileRead{};   // Missing
    }
    // One short line is all the file should hold; more is never needed.
    char buffer[256];
    size_t have = 0;
    while (have < sizeof buffer) {
        const ssize_t n = ::read(fd, buffer + have, sizeof buffer - have);
        if (n < 0) {
            if (errno == EINTR) continue;
            result.Reason = ErrnoText("cannot read");
            ::close(fd);
            return result;
        }
        if (n == 0) break;
        have += static_cast<size_t>(n);
    }
    ::close(fd);
    result.Status = ScoreFileStatus::Invalid;
    if (have == 0) {
        result.Reason = "the file is empty";
        return result;
    }
    const std::optional<int32_t> value = ParseScoreText(std::string_view(buffer, have));
    if (!value) {
        result.Reason = "no score number at the start of the file";
        return result;
    }
    result.Status = ScoreFileStatus::Ok;
    result.Value = *value;
    return result;
}

bool WriteScoreFile(const std::string& path, int32_t score, std::string* reason) {
    return ReplaceFile(path, FormatScoreText(score), reason);
}

RecordSave SaveRecordKeepingHigher(const std::string& path, int32_t score) {
    RecordSave result;
    std::string why;
    if (!MakeFolderFor(path, &why)) {
        result.Reason = "cannot create the folder " + why;
        return result;
    }
    FolderLock lock(FolderOf(path));
    int32_t best = score;
    const ScoreFileRead now = ReadScoreFile(path);
    if (now.Status == ScoreFileStatus::Ok && now.Value > best) {
        best = now.Value;   // another copy of the game saved a higher record
    } else if (now.Status == ScoreFileStatus::Unreadable) {
        result.Reason = "the file cannot be read (" + now.Reason + "), so it is not replaced";
        return result;
    }
    if (!WriteScoreFile(path, best, &result.Reason)) return result;
    result.Ok = true;
    result.Saved = best;
    return result;
}

void FormMain::LoadHighScore() {
    const std::string path = HostPtr->ScoreFile();
    HighScore = DefaultHighScore;
    SavedHighScore = HighScore;
    if (path.empty()) return;
    const ScoreFileRead read = ReadScoreFile(path);
    if (read.Status == ScoreFileStatus::Ok) {
        HighScore = read.Value;
        SavedHighScore = HighScore;
    } else if (read.Status == ScoreFileStatus::Invalid) {
        // Keep playing with the default, but say why the old record is gone.
        std::fprintf(stderr, "pellimunch: %s: %s; the high score starts at %d\n", path.c_str(),
                     read.Reason.c_str(), static_cast<int>(DefaultHighScore));
    } else if (read.Status == ScoreFileStatus::Unreadable) {
        // Mended: the file may well hold a record we cannot see: play on
        // with the default, but never write over it.
        ScoreFileUnreadable = true;
        std::fprintf(stderr, "pellimunch: %s: %s; the high score starts at %d and the file is left as it is\n",
                     path.c_str(), read.Reason.c_str(), static_cast<int>(DefaultHighScore));
    }
}

bool FormMain::StoreRecord(std::string& reason) {
    const std::string path = HostPtr->ScoreFile();
    if (path.empty()) return true;
    if (ScoreFileUnreadable) {
        // Nothing new to keep: leave the unread file alone without a word.
        if (HighScore == DefaultHighScore) return true;
        reason = path + ": the file could not be read at start-up, so it is not replaced";
        return false;
    }
    const RecordSave save = SaveRecordKeepingHigher(path, HighScore);
    if (!save.Ok) reason = path + ": " + save.Reason;
    return save.Ok;
}

void FormMain::SaveHighScore() {
    std::string reason;
    if (StoreRecord(reason)) return;
    std::fprintf(stderr, "pellimunch: %s; the high score was not saved\n", reason.c_str());
    // The box says it in the game's words, then in plain ones.
    HostPtr->ShowSaveError("終了時、書き込みエラー",
                           "score.datに対して正しい書き込みが行えませんでした。\r\n"
                           "書き込み禁止属性が掛かっている場合は解除してください。\r\n\r\n" +
                               reason);
}

void FormMain::SaveRecordIfRaised() {
    // A record is set when the game-over state hands back to the title; it
    // is written then, so that whatever ends the program later (a lost
    // display, a signal that cannot be caught, a crash) loses at most the
    // run in progress. A failure here is left for the shutdown's save to
    // report, so it is not said twice.
    if (!HighScoreLoaded || Unloaded || GameState == State::GameOver || HighScore <= SavedHighScore) return;
    SavedHighScore = HighScore;
    std::string reason;
    StoreRecord(reason);
}

}  // namespace pm
