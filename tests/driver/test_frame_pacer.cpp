// The game's 60 Hz clock: exact steps with no drift, whatever the counter's
// rate, and a fresh start rather than a race after a long stall.
#include <gtest/gtest.h>

#include <algorithm>

#include "driver/driver.h"
#include "driver/frame_pacer.h"

namespace pm {
namespace {

TEST(FramePacer, SixtyFramesTakeExactlyOneSecond) {
    // A nanosecond counter: 1/60 s is not a whole number of ticks.
    FramePacer pacer(1000000000, 60);
    const uint64_t start = 5000;
    EXPECT_EQ(pacer.Deadline(start), start);
    uint64_t due = start;
    for (int second = 1; second <= 3; ++second) {
        for (int frame = 1; frame <= 60; ++frame) {
            const uint64_t next = pacer.Deadline(due);   // a frame that took no time
            EXPECT_GE(next - due, 16666666u);
            EXPECT_LE(next - due, 16666667u);
            due = next;
        }
        EXPECT_EQ(due, start + 1000000000ull * second);
    }
}

TEST(FramePacer, SlowFramesCatchUpButAStallRestartsTheClock) {
    FramePacer pacer(600, 60);   // 10 ticks a frame
    EXPECT_EQ(pacer.Deadline(0), 0u);
    EXPECT_EQ(pacer.Deadline(3), 10u);    // early: wait until 10
    EXPECT_EQ(pacer.Deadline(25), 20u);   // a little late: show now, keep the schedule
    EXPECT_EQ(pacer.Deadline(26), 30u);
    EXPECT_EQ(pacer.Deadline(90), 40u);   // 50 ticks late, under a tenth of a second (60): catch up
    // Far behind: the clock starts again from now.
    EXPECT_EQ(pacer.Deadline(500), 500u);
    EXPECT_EQ(pacer.Deadline(501), 510u);
}

// The browser's schedule, called at a display's refresh: 60 ticks a second
// whatever the refresh rate, down to 10 Hz; a stall slows the game instead.
TEST(TickSchedule, KeepsSixtyASecondAtAnyRefreshDownToTenHertz) {
    for (const double hz : {144.0, 60.0, 30.0, 15.0, 12.0, 10.0}) {
        TickSchedule schedule;
        int64_t ticks = 0;
        int32_t most = 0;
        for (int call = 0; call <= static_cast<int>(hz) * 10; ++call) {
            const int32_t due = schedule.Due(static_cast<uint64_t>(1000 + call * 1e6 / hz));
            ticks += due;
            most = std::max(most, due);
        }
        EXPECT_NEAR(ticks, 601, 2) << hz << " Hz";
        EXPECT_LE(most, static_cast<int32_t>(60 / hz + 1.99)) << hz << " Hz";
    }
}

TEST(TickSchedule, AStallIsNotRacedThrough) {
    TickSchedule schedule;
    uint64_t now = 0;
    for (int i = 0; i < 60; ++i, now += 16667) schedule.Due(now);
    // Two seconds lost: the tick that was due, then the clock starts afresh.
    EXPECT_LE(schedule.Due(now + 2000000), 2);
    now += 2000000;
    int64_t ticks = 0;
    for (int i = 1; i <= 60; ++i) ticks += schedule.Due(now + static_cast<uint64_t>(i) * 16667);
    EXPECT_NEAR(ticks, 60, 1) << "no race to make up the stall";
}

}  // namespace
}  // namespace pm
