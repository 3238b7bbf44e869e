// The key script: one span per line, a frame count and the keys held during
// those frames ("30 Right+Space", "1 Mouse", "60 -"), with comments after '#'
// and blank lines ignored. The runner reads it; a replay file is one with a
// header and an end line around it.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pm::keys {

// The keys a script can name, in the order a span lists them.
inline constexpr std::array<uint8_t, 11> NamedKeyCodes{1, 42, 54, 57, 200, 203, 205, 211, 17, 18, 19};

// A set of named keys, one bit each: a span of a long replay takes a few
// bytes, not a heap block. Iterates as key-table codes in NamedKeyCodes order.
class KeySet {
public:
    KeySet() = default;
    KeySet(std::initializer_list<uint8_t> codes) {
        for (uint8_t c : codes) Add(c);
    }
    // False (and nothing added) for a code the script cannot name.
    bool Add(uint8_t code) {
        for (size_t i = 0; i < NamedKeyCodes.size(); ++i)
            if (NamedKeyCodes[i] == code) {
                bits_ = static_cast<uint16_t>(bits_ | 1u << i);
                return true;
            }
        return false;
    }
    bool empty() const { return bits_ == 0; }
    friend bool operator==(KeySet, KeySet) = default;

    class Iterator {
    public:
        Iterator(uint16_t bits, size_t at) : bits_(bits), at_(at) { Skip(); }
        uint8_t operator*() const { return NamedKeyCodes[at_]; }
        Iterator& operator++() {
            ++at_;
            Skip();
            return *this;
        }
        bool operator!=(const Iterator& other) const { return at_ != other.at_; }

    private:
        void Skip() {
            while (at_ < NamedKeyCodes.size() && !(bits_ >> at_ & 1u)) ++at_;
        }
        uint16_t bits_;
        size_t at_;
    };
    Iterator begin() const { return {bits_, 0}; }
    Iterator end() const { return {bits_, NamedKeyCodes.size()}; }

private:
    uint16_t bits_ = 0;
};

struct ScriptSpan {
    uint32_t Count = 0;
    int32_t Line = 0;            // where the span was written
    KeySet Keys;                 // key-table codes set to 128 in these frames
    bool Mouse = false;          // a mouse press at the end of each of these frames
};

struct Script {
    std::vector<ScriptSpan> Spans;
    uint64_t TotalFrames() const;
};

struct ScriptError {
    int Line = 0;
    std::string Message;        // without the line number
};

// Limits on what the runner reads as a script: far beyond any real one, but
// a wrong file (a device, a disk image) is refused instead of filling memory.
inline constexpr size_t MaxScriptBytes = 8u << 20;
inline constexpr size_t MaxScriptLineBytes = 4096;

// A piece of input fit for a one-line message: in double quotes, with
// control characters, quotes, backslashes and bytes beyond ASCII written as
// escapes, and cut after `max` bytes of input with "..." and the full length.
std::string Quote(std::string_view text, size_t max = 40);

// The key-table code of a key name (case does not matter); nothing for an
// unknown name. "Mouse" and "-" are not keys.
std::optional<uint8_t> KeyCode(std::string_view name);

// The name of a key-table code the script knows, or null.
const char* KeyName(uint8_t code);

// Hands out a text's lines one at a time, without their '\n', and counts them.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}
    bool Next(std::string_view& line) {
        if (pos_ >= text_.size()) return false;
        size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos) end = text_.size();
        line = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
        ++number_;
        return true;
    }
    int Number() const { return number_; }

private:
    std::string_view text_;
    size_t pos_ = 0;
    int number_ = 0;
};

// Parses one span line (comment already cut off, not blank); on a bad line
// fills `message` and returns false.
bool ParseSpanLine(std::string_view line, ScriptSpan& span, std::string& message);

// One span as a line, without the newline: "12 Right+Space", "1 Mouse", "60 -".
// Keys the script cannot name are left out.
std::string FormatSpan(const ScriptSpan& span);

// Parses a whole script; on a bad line (or one longer than
// MaxScriptLineBytes) fills `error` and returns false.
bool ParseScript(std::string_view text, Script& script, ScriptError& error);

// Walks a script frame by frame, starting at frame 1; past its end every
// frame has no key and no mouse press.
class ScriptCursor {
public:
    explicit ScriptCursor(const Script& script) : script_(script) {}
    // The span that holds the next frame, or null once the script is spent.
    const ScriptSpan* Next();

private:
    const Script& script_;
    size_t span_ = 0;
    uint64_t usedInSpan_ = 0;
};

}  // namespace pm::keys
