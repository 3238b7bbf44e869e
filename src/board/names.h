// The names players put on the table.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace pm::board {

// In characters (code points) after normalising and trimming.
inline constexpr size_t MinNameChars = 1;
inline constexpr size_t MaxNameChars = 16;
// Bytes looked at before anything else: no name needs more.
inline constexpr size_t MaxNameBytes = 256;

// A name as the table keeps it: valid UTF-8, put in Unicode normal form C,
// spaces trimmed at both ends; letters of any script (with their combining
// marks), digits, space, '-', '_' and '.' only; nothing that shows as blank
// (the Hangul fillers, default-ignorable code points, a mark with no letter
// before it); no mix of scripts that can pass for another name (ICU's spoof
// checker, moderately restrictive). Nothing, with `why` filled (one line),
// for anything else.
std::optional<std::string> CleanName(std::string_view raw, std::string& why);

}  // namespace pm::board
