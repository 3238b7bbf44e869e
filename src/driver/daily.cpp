#include "driver/daily.h"

#include <cstdio>
#include <ctime>

#include "driver/replay.h"
#include "machine/key_codes.h"
#include "platform/read_digits.h"

namespace pm {

uint32_t DailySeed(uint32_t yyyymmdd) {
    uint64_t z = static_cast<uint64_t>(yyyymmdd) + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<uint32_t>(z ^ (z >> 31));
}

std::string DayText(const Day& day) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", static_cast<int>(day.Year) % 10000,
                  static_cast<int>(day.Month) % 100, static_cast<int>(day.Date) % 100);
    return text;
}

namespace {

bool LeapYear(int32_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int32_t DaysInMonth(int32_t y, int32_t m) {
    static constexpr int32_t days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && LeapYear(y) ? 29 : days[m - 1];
}

}  // namespace

std::optional<Day> ParseDay(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    const auto year = ParseDigits(text.substr(0, 4), 9999, 4);
    const auto month = ParseDigits(text.substr(5, 2), 12, 2);
    const auto date = ParseDigits(text.substr(8, 2), 31, 2);
    if (!year || !month || !date || *year < 2000 || *month < 1 || *date < 1) return std::nullopt;
    const Day day{static_cast<int32_t>(*year), static_cast<int32_t>(*month), static_cast<int32_t>(*date)};
    if (day.Date > DaysInMonth(day.Year, day.Month)) return std::nullopt;
    return day;
}

// The proleptic Gregorian calendar counted in days, by eras of 400 years.
int64_t DaysSinceEpoch(const Day& day) {
    const int64_t y = day.Year - (day.Month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (day.Month + (day.Month > 2 ? -3 : 9)) + 2) / 5 + day.Date - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

Day DayFromEpochDays(int64_t z) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    return {static_cast<int32_t>(y), static_cast<int32_t>(m), static_cast<int32_t>(d)};
}

Day UtcDayOf(int64_t unixSeconds) {
    const int64_t days = (unixSeconds >= 0 ? unixSeconds : unixSeconds - 86399) / 86400;
    return DayFromEpochDays(days);
}

int64_t NextDayStarts(const Day& day) { return (DaysSinceEpoch(day) + 1) * 86400; }
Day NextDay(const Day& day) { return DayFromEpochDays(DaysSinceEpoch(day) + 1); }
Day PreviousDay(const Day& day) { return DayFromEpochDays(DaysSinceEpoch(day) - 1); }

std::string IsoUtc(int64_t unixSeconds) {
    const Day day = UtcDayOf(unixSeconds);
    const int64_t inDay = unixSeconds - DaysSinceEpoch(day) * 86400;
    char text[32];
    std::snprintf(text, sizeof text, "%sT%02d:%02d:%02dZ", DayText(day).c_str(), static_cast<int>(inDay / 3600),
                  static_cast<int>(inDay / 60 % 60), static_cast<int>(inDay % 60));
    return text;
}

Day UtcToday() { return UtcDayOf(static_cast<int64_t>(std::time(nullptr))); }

std::optional<Day> DayOfSeed(uint32_t seed) {
    const int64_t first = DaysSinceEpoch({2000, 1, 1}), last = DaysSinceEpoch({2199, 12, 31});
    for (int64_t d = first; d <= last; ++d) {
        const Day day = DayFromEpochDays(d);
        if (DailySeed(day) == seed) return day;
    }
    return std::nullopt;
}

bool HasDailyStart(const keys::Script& script) {
    keys::ScriptCursor cursor(script);
    for (uint64_t frame = 1; frame <= DailyStartFrame; ++frame) {
        const keys::ScriptSpan* span = cursor.Next();
        if (!span) return false;
        const bool start = frame == DailyStartFrame;
        if (span->Mouse || span->Keys != (start ? keys::KeySet{Key::LShift} : keys::KeySet{})) return false;
    }
    return true;
}

std::string DailyTitle(const Replay& replay) {
    if (!HasDailyStart(replay.Keys)) return {};
    const std::optional<Day> day = DayOfSeed(replay.Seed);
    return day ? "Daily " + DayText(*day) : std::string();
}

std::string ShareLine(const Day& day, int32_t score, int32_t level) {
    std::string digits = std::to_string(score < 0 ? 0 : score), grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return "Pellimunch daily " + DayText(day) + ": " + grouped + " (level " + std::to_string(level) + ")";
}

}  // namespace pm
