#include <gtest/gtest.h>

#include "game/shell/number_rules.h"

namespace pm {
namespace {

TEST(Rounding, CLngAndCIntSendTiesToEven) {
    EXPECT_EQ(CLng(0.5), 0);
    EXPECT_EQ(CLng(1.5), 2);
    EXPECT_EQ(CLng(2.5), 2);
    EXPECT_EQ(CLng(-0.5), 0);
    EXPECT_EQ(CLng(-1.5), -2);
    EXPECT_EQ(CLng(10.49), 10);
    EXPECT_EQ(CLng(-10.51), -11);
    EXPECT_EQ(CInt(3.5), 4);
    EXPECT_EQ(CInt(-2.5), -2);
    // Out of range saturates rather than wrapping.
    EXPECT_EQ(CLng(1e12), 2147483647);
    EXPECT_EQ(CInt(-1e9), -32768);
}

TEST(Rounding, IntIsFloor) {
    EXPECT_EQ(Int(2.9), 2.0);
    EXPECT_EQ(Int(-0.1), -1.0);
    EXPECT_EQ(Int(-3.0), -3.0);
}

TEST(NumberText, LeadingSpaceForNonNegative) {
    EXPECT_EQ(Str(0), " 0");
    EXPECT_EQ(Str(1000), " 1000");
    EXPECT_EQ(Str(-7), "-7");
}

TEST(Random, FirstValuesForSeeds) {
    Random r;
    r.Seed(1);
    // s1 = (1 * 1140671485 + 12820163) mod 2^24
    const uint32_t s1 = static_cast<uint32_t>((1ull * 1140671485u + 12820163u) % 16777216u);
    EXPECT_EQ(r.Next(), static_cast<float>(s1) / 16777216.0f);
    EXPECT_EQ(r.State, s1);
    const uint32_t s2 = static_cast<uint32_t>((uint64_t{s1} * 1140671485u + 12820163u) % 16777216u);
    EXPECT_EQ(r.Next(), static_cast<float>(s2) / 16777216.0f);

    r.Seed(16777216u + 5u);   // the seed is taken mod 2^24
    EXPECT_EQ(r.State, 5u);
    r.Seed(4294967295u);
    EXPECT_EQ(r.State, 16777215u);
    for (int i = 0; i < 1000; ++i) {
        const float v = r.Next();
        ASSERT_GE(v, 0.0f);
        ASSERT_LT(v, 1.0f);
    }
}

}  // namespace
}  // namespace pm
