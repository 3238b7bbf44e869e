// The daily tables: which day's table a run counts for, and what the page
// is told of the day. Pure functions of the run and the clock's reading.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "driver/daily.h"
#include "driver/replay.h"

namespace pm::board {

// A run counts for day D when it arrives during D (UTC) or in this many
// seconds after.
inline constexpr int64_t DailyGraceSeconds = 3600;

// The daily shape: no key on frames 1 to 59, Left Shift alone on frame 60,
// and one game in the session (`games`, as the verification counted them).
bool HasDailyShape(const Replay& replay, int32_t games);

// Whether a run that arrived at `arrived` (seconds since 1970) is in time
// for the table of `day`.
bool ArrivedInTime(const Day& day, int64_t arrived);

// The day whose table a run counts for: its seed is that day's, it has the
// daily shape and arrived in time; nothing for any other run.
std::optional<Day> DailyDayOf(const Replay& replay, int32_t games, int64_t arrived);

// GET /api/daily: {"day": "2026-12-08", "seed": N, "ends": "2026-12-09T00:00:00Z"}.
std::string DailyAnswer(int64_t now);

}  // namespace pm::board
