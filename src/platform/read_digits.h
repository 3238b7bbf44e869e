// The one reader of the plain decimal numbers in our command lines and files
// (options, settings, key scripts, replays): digits only, no sign, no space,
// no other base. Each caller adds its own rules on top (a length, a range).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace pm {

enum class DigitsRead { Ok, NotDigits, TooLarge };

// Reads text left to right into value: NotDigits for an empty text or at the
// first character that is not a digit, TooLarge as soon as the digits so far
// pass `most`, whichever comes first. value is set only when Ok.
constexpr DigitsRead ReadDigits(std::string_view text, uint64_t most, uint64_t& value) {
    if (text.empty()) return DigitsRead::NotDigits;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return DigitsRead::NotDigits;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (v > most / 10) return DigitsRead::TooLarge;
        v = v * 10;
        if (digit > most - v) return DigitsRead::TooLarge;
        v = v + digit;
    }
    value = v;
    return DigitsRead::Ok;
}

// The same as a value, refusing also a text longer than `longest`
// characters (leading zeros included).
constexpr std::optional<uint64_t> ParseDigits(std::string_view text, uint64_t most, size_t longest = 20) {
    uint64_t value = 0;
    if (text.size() > longest || ReadDigits(text, most, value) != DigitsRead::Ok) return std::nullopt;
    return value;
}

}  // namespace pm
