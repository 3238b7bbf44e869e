// The high-score file score.dat: one line holding the best score in the
// number-to-text form, a trailing space and CR LF (" 1000 \r\n"), replaced
// atomically and under a lock on its folder, so that no copy of the game ever
// lowers it or leaves it half written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "machine/record_store.h"

namespace pm {

// The file's exact bytes for a score.
std::string FormatScoreText(int32_t score);

// Reads the number at the start of the file's text: a UTF-8 byte order mark,
// leading spaces, tabs and blank lines are skipped and the number ends at a
// space, a comma or the end of the line.
// An optional sign and at least one digit are required; anything else gives
// no value. A number beyond 32 bits is held at the nearest 32-bit limit.
std::optional<int32_t> ParseScoreText(std::string_view text);

// Reads the file: Missing when there is no regular file of that name,
// Invalid when it is empty or not a number, Unreadable when it cannot be
// opened or read. Reasons do not name the file.
RecordRead ReadScoreFile(const std::string& path);

// Where a file holding no record is kept: "score.dat.unreadable" beside it.
std::string SetAsideName(const std::string& path);

// Whether a reading found something that is no record but may be worth
// keeping: anything but an empty file.
bool HoldsNoRecord(const RecordRead& read);

// Moves the file to SetAsideName, replacing an older one there. False with
// the system's reason.
bool SetAside(const std::string& path, std::string* why);

// Replaces the file atomically: a temporary file in the same folder is
// written, flushed to disk and renamed over the old one, so a failure at any
// point leaves the old file as it was. A file without write permission is
// left alone and reported as a failure. Returns false with a reason on error.
bool WriteScoreFile(const std::string& path, int32_t score, std::string* reason = nullptr);

// The record a save writes over `stored`, what the store holds now: the
// higher of the two, since another copy of the game (another tab) may have
// kept a higher one meanwhile. Nothing, with the reason, when the stored
// record could not be read: that is never replaced unread.
std::optional<int32_t> RecordOver(const RecordRead& stored, int32_t record, std::string& why);

// Saves a record so that what the file holds is never lowered, even with
// several copies of the game playing from the same folder: the folder is
// created if missing, then, under an exclusive advisory lock on the folder,
// stale temporary files of killed saves are removed, the file is read again
// and the higher of the two is written with WriteScoreFile. A file that
// exists but cannot be read is not replaced.
RecordSave SaveRecordKeepingHigher(const std::string& path, int32_t score);

// score.dat as the game's record store. A file that could not be read at the
// load is never replaced: the game plays on from its default and says so. A
// file that holds no number is set aside at the load (with a Notice). A
// second file, `alsoRead`, is read beside it and never written: the copy
// beside the program when the record lives elsewhere.
class ScoreFileRecord : public RecordStore {
public:
    explicit ScoreFileRecord(std::string path, std::string alsoRead = {})
        : path_(std::move(path)), alsoRead_(std::move(alsoRead)) {}
    RecordRead Load() override;
    RecordSave Save(int32_t record) override;
    std::string Notice() const override { return notice_; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    std::string alsoRead_;
    std::string notice_;

protected:
    bool unreadable_ = false;   // the load found a file it could not read
};

}  // namespace pm
