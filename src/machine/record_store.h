// Where the best score lives between runs. The game reads it once at start-up
// and writes it in its shutdown through the host; what is behind that is a
// store: score.dat with its lock (platform/score_file.h), the browser's
// storage, or just a number (a replay brings the record it started with, and
// a server verifying runs keeps no file at all).
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

namespace pm {

// The record a first run starts from, when nothing is stored yet.
inline constexpr int32_t DefaultHighScore = 1000;

enum class RecordStatus : uint8_t {
    Ok,         // Value holds the record
    Missing,    // nothing stored yet: the game starts from its default
    Invalid,    // something is stored but it is no record; Reason says why
    Unreadable  // something is stored that cannot be read: it may still hold a
                // record, so it must not be replaced blindly
};

struct RecordRead {
    RecordStatus Status = RecordStatus::Missing;
    int32_t Value = 0;
    std::string Reason;   // for Invalid and Unreadable, naming the file
};

struct RecordSave {
    bool Ok = false;
    int32_t Saved = 0;    // what the store holds afterwards, when Ok
    std::string Reason;   // why not, otherwise, naming the file
};

class RecordStore {
public:
    virtual ~RecordStore() = default;
    virtual RecordRead Load() = 0;
    // Never lowers what is stored: the higher of the two is kept.
    virtual RecordSave Save(int32_t record) = 0;
    // A short line for the player's window about what the last Load did (a
    // file holding no record set aside); empty for nothing to tell. The game
    // never sees it: the desktop hosts show it over the picture.
    virtual std::string Notice() const { return {}; }
};

// A record held in memory only: it starts as given (or missing) and keeps
// the highest value saved into it.
class FixedRecord final : public RecordStore {
public:
    explicit FixedRecord(std::optional<int32_t> start = std::nullopt) : value_(start) {}
    RecordRead Load() override {
        RecordRead read;
        if (value_) read = RecordRead{RecordStatus::Ok, *value_, {}};
        return read;
    }
    RecordSave Save(int32_t record) override {
        value_ = value_ ? std::max(*value_, record) : record;
        return RecordSave{true, *value_, {}};
    }
    std::optional<int32_t> Value() const { return value_; }

private:
    std::optional<int32_t> value_;
};

}  // namespace pm
