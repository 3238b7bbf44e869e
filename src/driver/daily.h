// The daily run: one seed a day for everyone, the same start for every
// attempt. A day is a UTC calendar day; its seed is DailySeed(YYYYMMDD), the
// low 32 bits of SplitMix64 applied once to the number YYYYMMDD. A daily
// session gives the game no key on frames 1 to 59 and Left Shift alone on
// frame 60, so every attempt meets the same title and starts its game from
// the same random state; the daily replay is that session up to its one
// game's game over.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "driver/script.h"

namespace pm {

struct Day {
    int32_t Year = 1970, Month = 1, Date = 1;
    friend bool operator==(const Day&, const Day&) = default;
};

// The frame on which a daily session presses Left Shift.
inline constexpr uint64_t DailyStartFrame = 60;

uint32_t DailySeed(uint32_t yyyymmdd);
inline uint32_t DayNumber(const Day& day) {
    return static_cast<uint32_t>(day.Year * 10000 + day.Month * 100 + day.Date);
}
inline uint32_t DailySeed(const Day& day) { return DailySeed(DayNumber(day)); }

// "2026-12-08".
std::string DayText(const Day& day);
// A day written as YYYY-MM-DD, a real date from 2000 to 9999.
std::optional<Day> ParseDay(std::string_view text);

// Days since 1970-01-01 and back; the UTC day of a time in seconds since
// then, and the time its next day begins.
int64_t DaysSinceEpoch(const Day& day);
Day DayFromEpochDays(int64_t days);
Day UtcDayOf(int64_t unixSeconds);
int64_t NextDayStarts(const Day& day);   // seconds since 1970 at 00:00 UTC of the day after
Day NextDay(const Day& day);
Day PreviousDay(const Day& day);
// "2026-12-09T00:00:00Z".
std::string IsoUtc(int64_t unixSeconds);

// The day from the clock.
Day UtcToday();

// The day whose seed this is, searched from 2000 to 2199; nothing for a seed
// no day of those has.
std::optional<Day> DayOfSeed(uint32_t seed);

// Whether a session's keys start as a daily session's do: no key (nor the
// mouse) on frames 1 to 59, Left Shift alone on frame 60.
bool HasDailyStart(const keys::Script& script);

// "Daily 2026-12-08" for a replay with a day's seed that starts as a daily
// session does; empty for any other.
struct Replay;
std::string DailyTitle(const Replay& replay);

// The line a player shares: "Pellimunch daily 2026-12-08: 12,340 (level 7)".
std::string ShareLine(const Day& day, int32_t score, int32_t level);

}  // namespace pm
