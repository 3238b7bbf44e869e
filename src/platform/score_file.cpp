// Reading and writing score.dat.
#include "platform/score_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/atomic_file.h"
#include "platform/errno_text.h"
#include "platform/folder_lock.h"
#include "platform/score_path.h"

namespace pm {

// The number as the game prints numbers (a leading space when it is not
// negative), a trailing space, CR LF.
std::string FormatScoreText(int32_t score) {
    return (score >= 0 ? " " : "") + std::to_string(score) + " \r\n";
}

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

RecordRead ReadScoreFile(const std::string& path) {
    RecordRead result;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return result;   // Missing

    result.Status = RecordStatus::Unreadable;
    // Without blocking: a named pipe put there since the look above must not
    // hold the game; it is no file of ours.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        result.Reason = ErrnoText("cannot open");
        return result;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return RecordRead{};   // Missing
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
    result.Status = RecordStatus::Invalid;
    if (have == 0) {
        result.Reason = "the file is empty";
        return result;
    }
    const std::optional<int32_t> value = ParseScoreText(std::string_view(buffer, have));
    if (!value) {
        result.Reason = "no score number at the start of the file";
        return result;
    }
    result.Status = RecordStatus::Ok;
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
    // Mended: a save killed before its rename left its temporary file for
    // good; the next save clears away such leftovers of ours.
    RemoveStaleTemporaries(path);
    const std::optional<int32_t> best = RecordOver(ReadScoreFile(path), score, result.Reason);
    if (!best || !WriteScoreFile(path, *best, &result.Reason)) return result;
    result.Ok = true;
    result.Saved = *best;
    return result;
}

std::optional<int32_t> RecordOver(const RecordRead& stored, int32_t record, std::string& why) {
    if (stored.Status == RecordStatus::Unreadable) {
        why = "the stored record cannot be read (" + stored.Reason + "), so it is not replaced";
        return std::nullopt;
    }
    return stored.Status == RecordStatus::Ok && stored.Value > record ? stored.Value : record;
}

RecordRead ScoreFileRecord::Load() {
    RecordRead read = ReadScoreFile(path_);
    unreadable_ = read.Status == RecordStatus::Unreadable;
    if (!read.Reason.empty()) read.Reason = path_ + ": " + read.Reason;
    return read;
}

RecordSave ScoreFileRecord::Save(int32_t record) {
    if (unreadable_) {
        // Nothing new to keep: leave the unread file alone without a word.
        if (record == DefaultHighScore) return RecordSave{true, record, {}};
        return RecordSave{false, 0, path_ + ": the file could not be read at start-up, so it is not replaced"};
    }
    RecordSave save = SaveRecordKeepingHigher(path_, record);
    if (!save.Ok) save.Reason = path_ + ": " + save.Reason;
    return save;
}

}  // namespace pm
