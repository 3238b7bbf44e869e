#include "board/daily.h"

namespace pm::board {

bool HasDailyShape(const Replay& replay, int32_t games) { return games == 1 && HasDailyStart(replay.Keys); }

bool ArrivedInTime(const Day& day, int64_t arrived) {
    const int64_t begins = DaysSinceEpoch(day) * 86400;
    return arrived >= begins && arrived < NextDayStarts(day) + DailyGraceSeconds;
}

std::optional<Day> DailyDayOf(const Replay& replay, int32_t games, int64_t arrived) {
    if (!HasDailyShape(replay, games)) return std::nullopt;
    // Only the day of arrival, or the one before it within the grace hour.
    for (const Day day : {UtcDayOf(arrived), UtcDayOf(arrived - DailyGraceSeconds)})
        if (DailySeed(day) == replay.Seed && ArrivedInTime(day, arrived)) return day;
    return std::nullopt;
}

std::string DailyAnswer(int64_t now) {
    const Day day = UtcDayOf(now);
    return "{\"day\": \"" + DayText(day) + "\", \"seed\": " + std::to_string(DailySeed(day)) + ", \"ends\": \"" +
           IsoUtc(NextDayStarts(day)) + "\"}";
}

}  // namespace pm::board
