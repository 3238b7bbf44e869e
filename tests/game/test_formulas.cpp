// The pure score and geometry formulas, at the values the game depends on.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "game/effects/score_formulas.h"

namespace pm {
namespace {

TEST(Formulas, StepPitchRisesASemitoneAndAHalfPerEatenItem) {
    EXPECT_EQ(StepPitch(11025, 0, 8), 11025);
    EXPECT_EQ(StepPitch(11025, 1, 8), 12023);
    EXPECT_EQ(StepPitch(11025, 2, 8), 13111);
    EXPECT_EQ(StepPitch(11025, 3, 8), 14298);
    EXPECT_EQ(StepPitch(11025, 8, 8), 22050);
    EXPECT_EQ(StepPitch(11025, 16, 8), 44100);
    EXPECT_EQ(StepPitch(11025, 24, 8), 88200);
    EXPECT_LT(StepPitch(11025, 25, 8), 100000);
    EXPECT_EQ(StepPitch(11025, 26, 8), 100000);
}

TEST(Formulas, StepPitchIsCappedAtTheHighestPlaybackRate) {
    EXPECT_EQ(StepPitch(11025, 30, 8), 100000);
    EXPECT_EQ(StepPitch(11025, 200, 8), 100000);   // the exponent is cut to 24
    EXPECT_EQ(StepPitch(11025, 32767, 8), 100000);
    EXPECT_EQ(StepPitch(1, 32767, 1), 100000);
    EXPECT_EQ(StepPitch(3, 25, 1), 100000);
    EXPECT_EQ(StepPitch(5000, 8, 1), 100000);
    EXPECT_EQ(StepPitch(390, 8, 1), 99840);   // just under the cap: kept
}

TEST(Formulas, StepPitchMovesTheStaggerCryBySemitones) {
    EXPECT_EQ(StepPitch(8805, -2, 12), 7844);
    EXPECT_EQ(StepPitch(8805, -1, 12), 8311);
    EXPECT_EQ(StepPitch(8805, 0, 12), 8805);
    EXPECT_EQ(StepPitch(8805, 1, 12), 9329);
    EXPECT_EQ(StepPitch(8805, 2, 12), 9883);
}

TEST(Formulas, LengthBonusTable) {
    EXPECT_EQ(LengthBonus(-5), 0);
    EXPECT_EQ(LengthBonus(0), 0);
    EXPECT_EQ(LengthBonus(29), 0);
    for (int n = 30; n <= 33; ++n) EXPECT_EQ(LengthBonus(n), 100) << n;   // 33: 10.5 rounds to 10
    EXPECT_EQ(LengthBonus(34), 110);
    EXPECT_EQ(LengthBonus(35), 110);
    EXPECT_EQ(LengthBonus(36), 120);
    EXPECT_EQ(LengthBonus(37), 120);
    EXPECT_EQ(LengthBonus(40), 140);
    EXPECT_EQ(LengthBonus(45), 170);
    EXPECT_EQ(LengthBonus(50), 200);
    EXPECT_EQ(LengthBonus(60), 290);
    EXPECT_EQ(LengthBonus(100), 770);
    EXPECT_EQ(LengthBonus(200), 2600);
}

TEST(Formulas, LengthBonusGrowsInTensAndNeverWraps) {
    int32_t previous = 0;
    for (int32_t n = 30; n < 20000; ++n) {
        const int32_t b = LengthBonus(n);
        ASSERT_EQ(b % 10, 0) << n;
        ASSERT_GE(b, previous) << n;
        previous = b;
    }
    const int32_t most = LengthBonus(std::numeric_limits<int32_t>::max());
    EXPECT_GT(most, 0);
    EXPECT_EQ(most % 10, 0);
}

TEST(Formulas, PanFromXFloorsThePixelBeforeScaling) {
    EXPECT_EQ(PanFromX(400.0f), 0);
    EXPECT_EQ(PanFromX(400.9f), 0);
    EXPECT_EQ(PanFromX(399.99f), -5);
    EXPECT_EQ(PanFromX(399.5f), -5);
    EXPECT_EQ(PanFromX(0.0f), -2000);
    EXPECT_EQ(PanFromX(799.0f), 1995);
    EXPECT_EQ(PanFromX(-9999.0f), -51995);
}

TEST(Formulas, PanFromXIsDefinedForAnyFloat) {
    constexpr float kInf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(PanFromX(std::numeric_limits<float>::max()), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(PanFromX(-std::numeric_limits<float>::max()), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(PanFromX(kInf), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(PanFromX(-kInf), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(PanFromX(std::nanf("")), 0);
    EXPECT_EQ(PanFromX(5e8f), std::numeric_limits<int32_t>::max());
}

TEST(Formulas, RectsOverlapCountsTouchingEdgesAndCorners) {
    const Rect a{0, 0, 10, 10};
    EXPECT_EQ(RectsOverlap(a, Rect{10, 10, 20, 20}), -1);   // corner
    EXPECT_EQ(RectsOverlap(a, Rect{10, 0, 20, 10}), -1);    // right edge on left edge
    EXPECT_EQ(RectsOverlap(a, Rect{0, 10, 10, 20}), -1);    // bottom on top
    EXPECT_EQ(RectsOverlap(a, Rect{11, 0, 20, 10}), 0);
    EXPECT_EQ(RectsOverlap(a, Rect{0, 11, 10, 20}), 0);
    EXPECT_EQ(RectsOverlap(a, Rect{-20, 0, -1, 10}), 0);
    EXPECT_EQ(RectsOverlap(a, Rect{0, -20, 10, -1}), 0);
    EXPECT_EQ(RectsOverlap(a, Rect{2, 2, 3, 3}), -1);        // inside
    EXPECT_EQ(RectsOverlap(Rect{2, 2, 3, 3}, a), -1);
    EXPECT_EQ(RectsOverlap(Rect{-5, 4, 15, 6}, a), -1);      // crossing
    // The order of the arguments never matters.
    const Rect others[] = {{10, 10, 20, 20}, {11, 0, 20, 10}, {-5, -5, 0, 0}, {3, -9, 4, -1}};
    for (const Rect& r : others) EXPECT_EQ(RectsOverlap(a, r), RectsOverlap(r, a));
}

TEST(Formulas, DistanceSquaredRoundsTheDifferencesFirst) {
    EXPECT_EQ(DistanceSquared(0.5f, 0, 0, 0), 0);
    EXPECT_EQ(DistanceSquared(1.5f, 0, 0, 0), 4);
    EXPECT_EQ(DistanceSquared(2.5f, 0, 0, 0), 4);   // halves go to the even neighbour
    EXPECT_EQ(DistanceSquared(0, -1.5f, 0, 0), 4);
    EXPECT_EQ(DistanceSquared(10, 20, 7, 16), 25);
    EXPECT_EQ(DistanceSquared(394, 450, 400.4f, 450), 36);
    // Far beyond the screen the square saturates instead of wrapping.
    EXPECT_EQ(DistanceSquared(3e9f, 3e9f, -3e9f, -3e9f), std::numeric_limits<int32_t>::max());
}

TEST(Formulas, AddLongStopsAtTheLongRange) {
    EXPECT_EQ(AddLong(10, 25), 35);
    EXPECT_EQ(AddLong(std::numeric_limits<int32_t>::max() - 3, 10), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(AddLong(std::numeric_limits<int32_t>::min() + 3, -10), std::numeric_limits<int32_t>::min());
}

}  // namespace
}  // namespace pm
