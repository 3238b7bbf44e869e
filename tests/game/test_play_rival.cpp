// The rival's patterns and its dizzy, stunned and away states.
#include <gtest/gtest.h>

#include <cmath>

#include "test_play_support.h"

namespace pm::test {
namespace {

// A generator state whose next draw is above (or at most) the given value.
Random StateWithFirstDraw(double threshold, bool above) {
    Random r;
    for (uint32_t s = 1;; ++s) {
        r.State = s;
        Random probe = r;
        if ((probe.Next() > threshold) == above) return r;
    }
}

TEST(PlayRival, RoamerCrossesFromTheResetAndTurnsAtTheWall) {
    PlayGame g;
    FormMain& f = g.form;
    ASSERT_EQ(f.Level, 1);
    for (int n = 1; n <= 239; ++n) {
        f.RivalStep();
        ASSERT_FLOAT_EQ(f.RivalX, 41 + 3.0f * n);
        ASSERT_FLOAT_EQ(f.RivalY, 450);
        ASSERT_EQ(f.RivalFrame, 1);
    }
    f.RivalStep();
    EXPECT_FLOAT_EQ(f.RivalX, 759);
    EXPECT_FLOAT_EQ(f.RivalVX, -3);
    f.RivalStep();
    EXPECT_FLOAT_EQ(f.RivalX, 756);
    EXPECT_EQ(f.RivalRect, (Rect{736, 430, 776, 470}));
}

TEST(PlayRival, RoamerFromTheResetInFullFrames) {
    PlayGame g;
    for (int n = 1; n <= 10; ++n) g.Step();
    EXPECT_FLOAT_EQ(g.form.RivalX, 71);
    EXPECT_FLOAT_EQ(g.form.RivalY, 450);
}

TEST(PlayRival, RoamerSlowsBackToItsLimitAndJumpsOnlyAboveLevelTen) {
    PlayGame g;
    FormMain& f = g.form;
    f.RivalX = 300;
    f.RivalVX = -10;
    f.RivalStep();
    EXPECT_FLOAT_EQ(f.RivalVX, -9.6f);
    EXPECT_FLOAT_EQ(f.RivalX, 290.4f);

    f.RivalVX = 3;
    f.Rng = StateWithFirstDraw(0.99, true);
    f.RivalStep();
    EXPECT_FLOAT_EQ(f.RivalY, 450);   // level 1: no jump
    f.Level = 11;
    f.Rng = StateWithFirstDraw(0.99, true);
    f.RivalStep();
    EXPECT_LT(f.RivalY, 450);
    EXPECT_LE(f.RivalVY, -20 + 0.85);
    EXPECT_GT(f.RivalVY, -24 + 0.85);
}

TEST(PlayRival, ChaserTurnsNoFasterThanItsAcceleration) {
    PlayGame g;
    FormMain& f = g.form;
    f.Level = 1;
    f.LevelChange();   // level 2: a chaser
    f.BallX = 60;
    f.RivalX = 300;
    f.RivalVX = f.RivalMaxSpeed;
    int frames = 0;
    while (f.RivalVX > -f.RivalMaxSpeed && frames < 400) {
        const float before = f.RivalVX;
        f.RivalStep();
        ++frames;
        ASSERT_GT(before - f.RivalVX, 0);
        ASSERT_LE(before - f.RivalVX, 0.05 + 1e-5);
        ASSERT_EQ(f.RivalFrame, 0);
    }
    EXPECT_NEAR(frames, 147, 1);
    // A ball high above leaves the speed alone.
    f.BallY = 40;
    f.RivalStep();
    EXPECT_FLOAT_EQ(f.RivalVX, -f.RivalMaxSpeed);
}

TEST(PlayRival, WallLeaperLeapsOffTheLeftWallAtLevelThree) {
    PlayGame g;
    FormMain& f = g.form;
    f.Level = 3;
    f.RivalX = 42;
    f.RivalVX = -3;
    f.RivalStep();
    EXPECT_FLOAT_EQ(f.RivalX, 40);
    EXPECT_FLOAT_EQ(f.RivalVX, 3);
    EXPECT_EQ(f.RivalFrame, 1);

    f.RivalStep();
    EXPECT_GE(f.RivalVX, 10);
    EXPECT_LT(f.RivalVX, 11);
    EXPECT_FLOAT_EQ(f.RivalX, 41 + f.RivalVX);
    EXPECT_LE(f.RivalVY, -26 + 0.85f);
    EXPECT_GT(f.RivalVY, -27.5 + 0.85);
    f.RivalStep();
    EXPECT_EQ(f.RivalFrame, 0);   // in the air
}

TEST(PlayRival, WallLeaperAboveLevelTenSometimesWalksAway) {
    PlayGame g;
    FormMain& f = g.form;
    f.Level = 13;
    f.RivalX = 40;
    f.RivalVX = 3;
    f.Rng = StateWithFirstDraw(0.3, false);
    f.RivalStep();
    EXPECT_FLOAT_EQ(f.RivalX, 43);
    EXPECT_FLOAT_EQ(f.RivalY, 450);
}

TEST(PlayRival, WallLeaperAtTheRightWall) {
    PlayGame g;
    FormMain& f = g.form;
    f.Level = 8;
    f.RivalX = 759;
    f.RivalVX = -3;
    f.RivalStep();
    EXPECT_LE(f.RivalVX, -10);
    EXPECT_GT(f.RivalVX, -13);
    EXPECT_FLOAT_EQ(f.RivalX, 758 + f.RivalVX);
    EXPECT_LT(f.RivalY, 450);

    // Touching the wall in the air it is pushed down off it.
    f.RivalX = 759;
    f.RivalY = 300;
    f.RivalVY = -5;
    f.RivalMaxSpeed = 5.5f;
    f.RivalStep();
    EXPECT_FLOAT_EQ(f.RivalVX, -5.5f);
    EXPECT_FLOAT_EQ(f.RivalVY, 9.85f);
    EXPECT_FLOAT_EQ(f.RivalX, 752.5f);
}

TEST(PlayRival, StalkerCreepsWithASoftCapAndRushesFromAfar) {
    PlayGame g;
    FormMain& f = g.form;
    f.Level = 99;
    f.BallX = 400;
    f.RivalX = 300;
    f.RivalVX = 0;
    f.RivalStep();
    EXPECT_NEAR(f.RivalVX, 2.2571, 1e-4);
    EXPECT_EQ(f.RivalFrame, 1);

    f.RivalX = 500;
    f.RivalStep();
    EXPECT_NEAR(f.RivalVX, -2.2571, 1e-4);

    f.RivalX = 650;
    f.RivalStep();
    EXPECT_FLOAT_EQ(f.RivalVX, -4);
    EXPECT_EQ(f.RivalFrame, 0);

    f.RivalX = 100;
    f.RivalStep();
    EXPECT_FLOAT_EQ(f.RivalVX, 4);

    // Low levels creep slowly: 0.2 + level / 35.
    f.Level = 4;
    f.RivalX = 350;
    f.RivalStep();
    EXPECT_NEAR(f.RivalVX, 0.2 + 4 / 35.0, 1e-6);

    f.BallY = 30;
    f.RivalVX = -1;
    f.RivalStep();
    EXPECT_FLOAT_EQ(f.RivalVX, -1);
}

TEST(PlayRival, HopperHopsWheneverItTouchesTheGround) {
    PlayGame g;
    FormMain& f = g.form;
    f.Level = 5;
    f.RivalX = 300;
    f.RivalVX = 3.5f;
    f.RivalMaxSpeed = 3.5f;
    f.RivalStep();
    EXPECT_LT(f.RivalY, 450);
    EXPECT_LE(f.RivalVY, -14 + 0.85f);
    EXPECT_GT(f.RivalVY, -18 + 0.85);
    EXPECT_EQ(f.RivalFrame, 1);
    int airborne = 0;
    while (f.RivalY < 450 && airborne < 100) {
        f.RivalStep();
        ++airborne;
    }
    EXPECT_LT(airborne, 100);
    f.RivalStep();
    EXPECT_LT(f.RivalY, 450);   // straight back up
}

TEST(PlayRival, DizzyRivalStandsAndStunnedRivalSlidesAndBounces) {
    PlayGame g;
    FormMain& f = g.form;
    f.RivalX = 300;
    f.RivalDizzyTimer = 2;
    f.RivalStep();
    EXPECT_FLOAT_EQ(f.RivalX, 300);
    EXPECT_EQ(f.RivalDizzyTimer, 1);

    f.RivalDizzyTimer = 0;
    f.RivalStunTimer = 50;
    f.RivalVX = 6;
    f.RivalY = 445;
    f.RivalVY = 10;
    f.RivalStep();
    EXPECT_FLOAT_EQ(f.RivalX, 306);
    EXPECT_FLOAT_EQ(f.RivalY, 450);
    EXPECT_FLOAT_EQ(f.RivalVY, static_cast<float>(-10.85f * 0.57));
    EXPECT_FLOAT_EQ(f.RivalVX, 5.4f);   // a hard bounce brakes the slide
    EXPECT_EQ(f.RivalStunTimer, 49);
}

TEST(PlayRival, KnockedOutOfTheTopItIsSentAway) {
    PlayGame g;
    FormMain& f = g.form;
    f.RivalStunTimer = 200;
    f.RivalY = -10;
    f.RivalVY = -20;
    f.RivalStep();
    EXPECT_EQ(f.RivalAwayTimer, 359);
    EXPECT_FLOAT_EQ(f.RivalX, 690);
    EXPECT_FLOAT_EQ(f.RivalY, -19);

    f.RivalAwayTimer = 0;
    f.KindBoost = True;
    f.RivalVY = -20;
    f.RivalStep();
    EXPECT_EQ(f.RivalAwayTimer, 699);
}

TEST(PlayRival, AwayTimerHoldsItAtTheTopEdgeThenItFalls) {
    PlayGame g;
    FormMain& f = g.form;
    f.RivalAwayTimer = 360;
    for (int n = 1; n <= 360; ++n) {
        f.RivalStep();
        ASSERT_FLOAT_EQ(f.RivalX, 690);
        ASSERT_FLOAT_EQ(f.RivalY, -19);
        ASSERT_EQ(f.RivalVY, 0);
    }
    EXPECT_EQ(f.RivalAwayTimer, 0);
    const float x = 690 + f.RivalVX;
    f.RivalStep();
    EXPECT_FLOAT_EQ(f.RivalY, -18.15f);
    EXPECT_FLOAT_EQ(f.RivalX, x);
}

TEST(PlayRival, FeverSendsItUpAndHoldsItUntilAfterTheFever) {
    PlayGame g;
    FormMain& f = g.form;
    f.RivalX = 300;
    f.FeverGauge = 400;
    f.Level = 1;
    f.LevelChange();
    ASSERT_EQ(f.Fever, True);
    int rising = 0;
    while (f.RivalAwayTimer == 0 && rising < 100) {
        f.RivalStep();
        ++rising;
        if (f.RivalAwayTimer == 0) {
            ASSERT_FLOAT_EQ(f.RivalX, 300);   // straight up
        }
    }
    EXPECT_EQ(rising, 23);
    for (int n = 0; n < 700; ++n) {
        f.RivalStep();
        ASSERT_FLOAT_EQ(f.RivalY, -19);
        ASSERT_FLOAT_EQ(f.RivalX, 690);
    }
    f.Fever = False;
    int held = 0;
    while (f.RivalY == -19.0f && held < 300) {
        f.RivalStep();
        ++held;
    }
    EXPECT_NEAR(held, 100, 1);
}

TEST(PlayRival, NoPatternAtLevelZero) {
    PlayGame g;
    FormMain& f = g.form;
    f.Level = 0;
    f.RivalX = 300;
    f.RivalVX = 5;
    const uint32_t state = f.Rng.State;
    f.RivalStep();
    EXPECT_FLOAT_EQ(f.RivalX, 300);
    EXPECT_EQ(f.Rng.State, state);
}

}  // namespace
}  // namespace pm::test
