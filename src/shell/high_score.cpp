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
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.Reason = ErrnoText("cannot open");
        return result;
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

void FormMain::LoadHighScore() {
    const std::string path = HostPtr->ScoreFile();
    HighScore = DefaultHighScore;
    if (path.empty()) return;
    const ScoreFileRead read = ReadScoreFile(path);
    if (read.Status == ScoreFileStatus::Ok) {
        HighScore = read.Value;
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

void FormMain::SaveHighScore() {
    const std::string path = HostPtr->ScoreFile();
    if (path.empty()) return;
    std::string reason;
    if (ScoreFileUnreadable) {
        // Nothing new to keep: leave the unread file alone without a word.
        if (HighScore == DefaultHighScore) return;
        reason = "the file could not be read at start-up, so it is not replaced";
    }
    if (!reason.empty() || !WriteScoreFile(path, HighScore, &reason)) {
        std::fprintf(stderr, "pellimunch: %s: %s; the high score was not saved\n", path.c_str(), reason.c_str());
        HostPtr->ShowSaveError("終了時、書き込みエラー",
                               "score.datに対して正しい書き込みが行えませんでした。\r\n"
                               "書き込み禁止属性が掛かっている場合は解除してください。");
    }
}

}  // namespace pm
