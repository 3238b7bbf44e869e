// The daily tables' rules on real verified runs: a daily-shaped session with
// the day's seed counts for that day when it arrives that day or in the hour
// after; another day's seed, a Shift of the player's before frame 60, or a
// second game keeps it on the all-time table only.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/daily.h"
#include "board/verify.h"
#include "driver/session.h"
#include "hosts/headless/headless_host.h"
#include "machine/key_codes.h"

namespace pm::board {
namespace {

// A session of the given spans, ended as the game ends it, verified as the
// board verifies a submission.
struct Verified {
    Replay Run;
    Verification V;
};

Verified Session(uint32_t seed, const std::vector<std::pair<uint32_t, keys::KeySet>>& spans) {
    Replay r;
    r.Seed = seed;
    for (const auto& [count, keys] : spans) {
        keys::ScriptSpan span;
        span.Count = count;
        span.Keys = keys;
        r.Keys.Spans.push_back(span);
    }
    r.EndFrame = r.Keys.TotalFrames();
    HeadlessHost host;
    const ReplayOutcome out = PlayBack(r, host, {}, {}, StartOptions{.Picture = false});
    r.End = out.End;
    r.EndHighScore = out.HighScore;
    return {r, VerifyReplay(FormatReplay(r))};
}

constexpr Day D{2026, 12, 8};
constexpr int64_t DayBegins = 1796688000;   // 2026-12-08T00:00:00Z

const keys::KeySet None{}, Shift{Key::LShift}, Right{Key::Right}, Delete{Key::Delete};

TEST(DailyBoard, WhichTableARunCountsFor) {
    const Verified daily = Session(DailySeed(D), {{59, None}, {1, Shift}, {60, Right}, {1, Delete}, {900, None}});
    ASSERT_EQ(daily.V.Result, Verdict::Ranked) << daily.V.Message;
    EXPECT_EQ(daily.V.Games, 1);
    EXPECT_EQ(DailyDayOf(daily.Run, daily.V.Games, DayBegins + 5), D);
    EXPECT_EQ(DailyDayOf(daily.Run, daily.V.Games, DayBegins + 86400 + 3599), D);   // the hour after
    EXPECT_FALSE(DailyDayOf(daily.Run, daily.V.Games, DayBegins + 86400 + 3600));
    EXPECT_FALSE(DailyDayOf(daily.Run, daily.V.Games, DayBegins - 1));   // before its day

    // Yesterday's seed, sent today.
    const Verified yesterday =
        Session(DailySeed(PreviousDay(D)), {{59, None}, {1, Shift}, {60, Right}, {1, Delete}, {900, None}});
    ASSERT_EQ(yesterday.V.Result, Verdict::Ranked);
    EXPECT_FALSE(DailyDayOf(yesterday.Run, yesterday.V.Games, DayBegins + DailyGraceSeconds + 100));
    EXPECT_EQ(DailyDayOf(yesterday.Run, yesterday.V.Games, DayBegins - 100), PreviousDay(D));
    EXPECT_EQ(DailyDayOf(yesterday.Run, yesterday.V.Games, DayBegins + 100), PreviousDay(D));   // its hour after

    // Shift pressed by the player on frame 45: the game starts early.
    const Verified early = Session(DailySeed(D), {{44, None}, {1, Shift}, {75, Right}, {1, Delete}, {900, None}});
    ASSERT_EQ(early.V.Result, Verdict::Ranked);
    EXPECT_FALSE(DailyDayOf(early.Run, early.V.Games, DayBegins + 100));

    // Shift and Right together on frame 60: not Shift alone.
    const Verified both = Session(DailySeed(D), {{59, None}, {1, {Key::LShift, Key::Right}}, {60, Right}, {1, Delete},
                                                 {900, None}});
    EXPECT_FALSE(DailyDayOf(both.Run, both.V.Games, DayBegins + 100));

    // A second game after the first.
    const Verified twice = Session(DailySeed(D), {{59, None}, {1, Shift}, {60, Right}, {1, Delete}, {900, None},
                                                  {1, Shift}, {30, None}, {1, Delete}, {900, None}});
    ASSERT_EQ(twice.V.Result, Verdict::Ranked);
    EXPECT_EQ(twice.V.Games, 2);
    EXPECT_FALSE(DailyDayOf(twice.Run, twice.V.Games, DayBegins + 100));
}

TEST(DailyBoard, TheDayAsThePageAsksForIt) {
    EXPECT_EQ(DailyAnswer(DayBegins + 5000),
              "{\"day\": \"2026-12-08\", \"seed\": 3673815445, \"ends\": \"2026-12-09T00:00:00Z\"}");
    EXPECT_EQ(DailyAnswer(DayBegins - 1),
              "{\"day\": \"2026-12-07\", \"seed\": " + std::to_string(DailySeed(20261207u)) +
                  ", \"ends\": \"2026-12-08T00:00:00Z\"}");
}

}  // namespace
}  // namespace pm::board
