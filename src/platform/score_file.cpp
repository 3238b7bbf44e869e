// Reading and writing score.dat.
#include "platform/score_file.h"

#include "platform/files/files.h"

namespace pm {

namespace {

std::string NameOnly(const std::string& path) {
    size_t at = path.size();
    while (at > 0 && !IsSeparator(path[at - 1])) --at;
    return path.substr(at);
}

}  // namespace

// The number as the game prints numbers (a leading space when it is not
// negative), a trailing space, CR LF.
std::string FormatScoreText(int32_t score) {
    return (score >= 0 ? " " : "") + std::to_string(score) + " \r\n";
}

std::optional<int32_t> ParseScoreText(std::string_view text) {
    size_t i = 0;
    // Mended: a byte order mark (as Notepad and other editors save) and blank
    // lines before the number made the file no number at all, and the next
    // save replaced the player's record with 1000. They are skipped, as
    // leading spaces always were.
    if (text.starts_with("\xEF\xBB\xBF")) i = 3;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
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
    // Nothing there that can be looked at: no record yet.
    if (KindOf(path) == FileKind::Missing) return result;
    // One short line is all the file should hold; more is never needed.
    const FileRead file = ReadRegularFile(path, 256, true);
    switch (file.Status) {
        case FileRead::Result::Ok: break;
        case FileRead::Result::Missing:
        case FileRead::Result::NotRegular: return result;   // Missing: no file of ours
        case FileRead::Result::TooLarge:   // not with the first bytes only
        case FileRead::Result::Failed:
            result.Status = RecordStatus::Unreadable;
            result.Reason = file.Why;
            return result;
    }
    result.Status = RecordStatus::Invalid;
    if (file.Bytes.empty()) {
        result.Reason = "the file is empty";
        return result;
    }
    const std::optional<int32_t> value = ParseScoreText(file.Bytes);
    if (!value) {
        result.Reason = "no score number at the start of the file";
        return result;
    }
    result.Status = RecordStatus::Ok;
    result.Value = *value;
    return result;
}

std::string SetAsideName(const std::string& path) { return path + ".unreadable"; }

bool HoldsNoRecord(const RecordRead& read) {
    // An empty file holds nothing to keep.
    return read.Status == RecordStatus::Invalid && read.Reason != "the file is empty";
}

bool SetAside(const std::string& path, std::string* why) {
    // The newest one kept: the rename replaces an older one.
    return RenameOver(path, SetAsideName(path), why);
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
    const RecordRead stored = ReadScoreFile(path);
    // Something put there since the load that holds no number is set aside
    // too, never written over.
    if (HoldsNoRecord(stored) && !SetAside(path, &why)) {
        result.Reason = "the file holds no score and cannot be set aside (" + why + "), so it is not replaced";
        return result;
    }
    const std::optional<int32_t> best = RecordOver(stored, score, result.Reason);
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
    notice_.clear();
    RecordRead read = ReadScoreFile(path_);
    unreadable_ = read.Status == RecordStatus::Unreadable;
    if (read.Status == RecordStatus::Invalid) {
        // Mended: a file holding no number was replaced by the next save, and
        // whatever the player had in it was gone; it is kept beside instead,
        // and the window says so. The record then starts as for no file.
        // (A file that cannot be set aside is left for the save, which tries again.)
        const FolderLock lock(FolderOf(path_));
        const RecordRead again = ReadScoreFile(path_);
        if (HoldsNoRecord(again) && SetAside(path_, nullptr)) {
            read.Reason = again.Reason + "; it is kept as " + SetAsideName(path_);
            notice_ = NameOnly(path_) + " held no score: it is kept as " + NameOnly(SetAsideName(path_));
        } else if (again.Status != RecordStatus::Invalid) {
            read = again;   // another copy of the game saved meanwhile
        }
    }
    if (!read.Reason.empty()) read.Reason = path_ + ": " + read.Reason;
    if (!alsoRead_.empty() && read.Status != RecordStatus::Unreadable) {
        // The copy beside the program, when the record moved away from a
        // folder that cannot be written: the higher of the two counts, as
        // when two copies of the game save into one file.
        const RecordRead copy = ReadScoreFile(alsoRead_);
        if (copy.Status == RecordStatus::Ok && (read.Status != RecordStatus::Ok || copy.Value > read.Value)) {
            read.Status = RecordStatus::Ok;
            read.Value = copy.Value;
        }
    }
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
