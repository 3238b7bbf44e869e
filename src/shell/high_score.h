// The high-score file score.dat: one line holding the best score in the
// number-to-text form, a trailing space and CR LF (" 1000 \r\n"). These are
// the pure pieces of reading and writing it, free of the game record, so the
// format and the failure paths can be tested on their own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pm {

// The score the game starts with when there is no usable file.
inline constexpr int32_t DefaultHighScore = 1000;

// The file's exact bytes for a score.
std::string FormatScoreText(int32_t score);

// Reads the number at the start of the file's text: leading spaces and tabs
// are skipped and the number ends at a space, a comma or the end of the line.
// An optional sign and at least one digit are required; anything else gives
// no value. A number beyond 32 bits is held at the nearest 32-bit limit.
std::optional<int32_t> ParseScoreText(std::string_view text);

enum class ScoreFileStatus {
    Ok,        // Value holds the score read
    Missing,   // no regular file of that name: start from the default silently
    Invalid,   // present but empty or not a number; Reason says why
    Unreadable // present but cannot be opened or read: it may still hold a
               // record, so it must not be replaced blindly
};

struct ScoreFileRead {
    ScoreFileStatus Status = ScoreFileStatus::Missing;
    int32_t Value = DefaultHighScore;
    std::string Reason;
};

ScoreFileRead ReadScoreFile(const std::string& path);

// Replaces the file atomically: a temporary file in the same folder is
// written, flushed to disk and renamed over the old one, so a failure at any
// point leaves the old file as it was. A file without write permission is
// left alone and reported as a failure. Returns false with a reason on error.
bool WriteScoreFile(const std::string& path, int32_t score, std::string* reason = nullptr);

// Saves a record so that what the file holds is never lowered, even with
// several copies of the game playing from the same folder: the folder is
// created if missing, then, under an exclusive advisory lock on the folder,
// the file is read again and the higher of the two is written with
// WriteScoreFile. A file that exists but cannot be read is not replaced.
struct RecordSave {
    bool Ok = false;
    int32_t Saved = 0;    // the value the file holds afterwards, when Ok
    std::string Reason;   // why not, otherwise
};
RecordSave SaveRecordKeepingHigher(const std::string& path, int32_t score);

}  // namespace pm
