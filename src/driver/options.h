// The game's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "driver/daily.h"
#include "platform/desktop.h"

namespace pm {

struct Options {
    bool Help = false;
    bool Version = false;
    std::optional<bool> FullScreen;
    std::optional<int32_t> Scale;
    std::optional<int32_t> Volume;
    bool Mute = false;
    std::optional<std::string> Record;   // the session's replay, instead of last.replay
    std::optional<std::string> Replay;   // a replay to watch: a file, "best" or "last"
    bool Daily = false;                  // the daily run: of DailyDay, else of today (UTC)
    std::optional<Day> DailyDay;
    std::optional<std::string> Ghost;    // a daily replay of the same day to race
};

// Parses argv[1..]; on a bad argument returns false with a one-line reason.
bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error);

// The settings for this run: the remembered ones with the command line's
// choices over them. A scale alone asks for a window of that size.
DesktopSettings ApplyOptions(const Options& options, DesktopSettings settings);

const char* Usage();

// A whole decimal number from low to high (both at most nine digits).
bool ParseInt(std::string_view text, int32_t low, int32_t high, int32_t& value);
const char* VersionText();   // "pellimunch 1.0"

}  // namespace pm
