#include "driver/script.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <limits>

#include "machine/key_codes.h"
#include "platform/read_digits.h"

namespace pm::keys {

namespace {

struct NamedKey {
    const char* Name;
    Key::Code Code;
};

constexpr std::array<NamedKey, 11> KeyNames{{
    {"Escape", Key::Escape}, {"LShift", Key::LShift}, {"RShift", Key::RShift}, {"Space", Key::Space},
    {"Up", Key::Up}, {"Left", Key::Left}, {"Right", Key::Right}, {"Delete", Key::Delete},
    {"W", Key::W}, {"E", Key::E}, {"R", Key::R},
}};

constexpr bool SameOrder() {
    for (size_t i = 0; i < KeyNames.size(); ++i)
        if (KeyNames[i].Code != NamedKeyCodes[i]) return false;
    return KeyNames.size() == NamedKeyCodes.size();
}
static_assert(SameOrder(), "a span's keys are written in the order of NamedKeyCodes");

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// Splits a line (comment already cut off) into its whitespace-separated words.
std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsSpace(line[i])) ++i;
        const size_t start = i;
        while (i < line.size() && !IsSpace(line[i])) ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

// A count is plain decimal digits; the limit keeps a typo from asking for
// centuries of frames.
constexpr uint64_t MaxCount = 4294967295u;

}  // namespace

bool ParseSpanLine(std::string_view line, ScriptSpan& span, std::string& message) {
    const std::vector<std::string_view> words = Words(line);
    if (words.size() != 2) {
        message = words.size() < 2 ? "expected a frame count and the keys (\"-\" for none)"
                                   : "expected a frame count and the keys joined with '+'";
        return false;
    }
    const std::string_view count = words[0];
    uint64_t value = 0;
    const DigitsRead read = ReadDigits(count, MaxCount, value);
    if (read == DigitsRead::TooLarge) {
        message = "frame count " + Quote(count) + " is too large";
        return false;
    }
    if (read == DigitsRead::NotDigits) {
        message = "frame count " + Quote(count) + " is not a positive integer";
        return false;
    }
    if (value == 0) {
        message = "frame count must be positive";
        return false;
    }
    span.Count = static_cast<uint32_t>(value);

    const std::string_view keys = words[1];
    if (keys == "-") return true;
    size_t start = 0;
    while (true) {
        const size_t plus = keys.find('+', start);
        const std::string_view name = keys.substr(start, plus == std::string_view::npos ? keys.npos : plus - start);
        if (name.empty()) {
            message = "empty key name in " + Quote(keys);
            return false;
        }
        if (SameName(name, "Mouse")) {
            span.Mouse = true;
        } else if (const std::optional<uint8_t> code = KeyCode(name)) {
            span.Keys.Add(*code);
        } else {
            message = "unknown key " + Quote(name);
            return false;
        }
        if (plus == std::string_view::npos) break;
        start = plus + 1;
    }
    return true;
}

const char* KeyName(uint8_t code) {
    for (const NamedKey& key : KeyNames)
        if (key.Code == code) return key.Name;
    return nullptr;
}

std::string FormatSpan(const ScriptSpan& span) {
    std::string keys;
    for (uint8_t code : span.Keys) {
        const char* name = KeyName(code);
        if (!name) continue;
        if (!keys.empty()) keys += '+';
        keys += name;
    }
    if (span.Mouse) keys += keys.empty() ? "Mouse" : "+Mouse";
    return std::to_string(span.Count) + ' ' + (keys.empty() ? "-" : keys);
}

std::string Quote(std::string_view text, size_t max) {
    std::string out = "\"";
    const size_t shown = text.size() > max ? max : text.size();
    for (size_t i = 0; i < shown; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
    if (shown < text.size()) out += "... (" + std::to_string(text.size()) + " bytes)";
    return out;
}

uint64_t Script::TotalFrames() const {
    uint64_t total = 0;
    for (const ScriptSpan& span : Spans) total += span.Count;
    return total;
}

std::optional<uint8_t> KeyCode(std::string_view name) {
    for (const NamedKey& key : KeyNames)
        if (SameName(name, key.Name)) return key.Code;
    return std::nullopt;
}

bool ParseScript(std::string_view text, Script& script, ScriptError& error) {
    script.Spans.clear();
    LineReader lines(text);
    std::string_view line;
    while (lines.Next(line)) {
        const int lineNumber = lines.Number();
        if (line.size() > MaxScriptLineBytes) {
            error = {lineNumber, "the line is longer than " + std::to_string(MaxScriptLineBytes) + " bytes: " +
                                     Quote(line)};
            return false;
        }
        if (const size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
        bool blank = true;
        for (char c : line) blank = blank && IsSpace(c);
        if (blank) continue;
        if (line.find('\0') != std::string_view::npos) {
            error = {lineNumber, "the line holds a NUL byte"};
            return false;
        }
        ScriptSpan span;
        span.Line = lineNumber;
        std::string message;
        if (!ParseSpanLine(line, span, message)) {
            error = {lineNumber, message};
            return false;
        }
        script.Spans.push_back(std::move(span));
    }
    return true;
}

const ScriptSpan* ScriptCursor::Next() {
    while (span_ < script_.Spans.size() && usedInSpan_ >= script_.Spans[span_].Count) {
        ++span_;
        usedInSpan_ = 0;
    }
    if (span_ >= script_.Spans.size()) return nullptr;
    ++usedInSpan_;
    return &script_.Spans[span_];
}

}  // namespace pm::keys
