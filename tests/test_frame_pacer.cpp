// The game's 60 Hz clock: exact steps with no drift, whatever the counter's
// rate, and a fresh start rather than a race after a long stall.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace pm
