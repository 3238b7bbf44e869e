// The ball's run: speed limits, friction, walls, the immediate keys, the
// kind timer with the ball's picture, and the stagger bounce.
#include <gtest/gtest.h>

#include <cmath>

#include "game/effects/score_formulas.h"
#include "test_play_support.h"

namespace pm::test {
namespace {

TEST(PlayBall, HoldingRightFromRestClimbsToTheGroundLimit) {
    PlayGame g;
    const float expected[] = {1, 1.7f, 2.4f, 3.1f, 3.8f, 4.5f, 5, 5, 5};
    float x = g.form.BallX;
    for (float vx : expected) {
        g.Step({Key::Right});
        EXPECT_NEAR(g.form.BallVX, vx, 1e-5);
        EXPECT_FLOAT_EQ(g.form.BallX, x + g.form.BallVX);
        x = g.form.BallX;
    }
}

TEST(PlayBall, HoldingLeftMirrorsRight) {
    PlayGame g;
    const float expected[] = {-1, -1.7f, -2.4f, -3.1f, -3.8f, -4.5f, -5, -5};
    for (float vx : expected) {
        g.Step({Key::Left});
        EXPECT_NEAR(g.form.BallVX, vx, 1e-5);
    }
}

TEST(PlayBall, LimitIsFourInTheAirAndSixInAHighJump) {
    PlayGame g;
    // Space is read after Right, so the take-off frame still has the ground's limit.
    g.Step({Key::Right, Key::Space});
    EXPECT_EQ(g.form.OnGround, 0);
    for (int i = 0; i < 8; ++i) g.Step({Key::Right});
    EXPECT_FLOAT_EQ(g.form.BallVX, 4);

    FormMain& f = g.form;
    f.HighJump = True;
    f.OnGround = False;
    f.BallVX = 5.5f;
    f.LeftRightKeys(MoveKeys{0, 128, 0, 0});
    EXPECT_FLOAT_EQ(f.BallVX, 6);
    f.BallVX = -5.5f;
    f.LeftRightKeys(MoveKeys{128, 0, 0, 0});
    EXPECT_FLOAT_EQ(f.BallVX, -6);
}

TEST(PlayBall, BothKeysCancelAndExcessSpeedIsCutOnlyOnThePressedSide) {
    PlayGame g;
    FormMain& f = g.form;
    f.BallVX = 2;
    f.LeftRightKeys(MoveKeys{128, 128, 0, 0});
    EXPECT_FLOAT_EQ(f.BallVX, 2);

    // A blow's speed of 9 to the right survives Left (no clamp on that side)...
    f.BallVX = 9;
    f.LeftRightKeys(MoveKeys{128, 0, 0, 0});
    EXPECT_FLOAT_EQ(f.BallVX, 8);
    // ...and is cut by Right.
    f.LeftRightKeys(MoveKeys{0, 128, 0, 0});
    EXPECT_FLOAT_EQ(f.BallVX, 5);
}

TEST(PlayBall, FrictionSettlesSmallSpeedsToZero) {
    PlayGame g;
    FormMain& f = g.form;
    f.BallVX = 0.2f;
    f.Friction();
    EXPECT_EQ(f.BallVX, 0);

    f.BallVX = 0.8f;
    f.Friction();
    EXPECT_FLOAT_EQ(f.BallVX, 0.5f);   // 0.5 is not below 0.5
    f.Friction();
    EXPECT_EQ(f.BallVX, 0);

    f.BallVX = -0.8f;
    f.Friction();
    EXPECT_FLOAT_EQ(f.BallVX, -0.5f);

    f.BallVX = 3;
    f.Friction();
    EXPECT_FLOAT_EQ(f.BallVX, 2.7f);
}

TEST(PlayBall, SideWallsBounceAtFullSpeed) {
    PlayGame g;
    g.form.BallX = 760;
    g.form.BallVX = 6;
    g.Step();
    EXPECT_FLOAT_EQ(g.form.BallX, 764);
    EXPECT_FLOAT_EQ(g.form.BallVX, -5.7f);

    g.form.BallX = 44;
    g.form.BallVX = -6;
    g.Step();
    EXPECT_FLOAT_EQ(g.form.BallX, 42);
    EXPECT_FLOAT_EQ(g.form.BallVX, 5.7f);
}

TEST(PlayBall, DeleteEndsTheRunAfterTheRestOfTheFrame) {
    PlayGame g;
    g.form.BallVX = 3;
    g.Step({Key::Delete});
    EXPECT_EQ(g.form.GameState, 3);
    EXPECT_FLOAT_EQ(g.form.BallX, 402.7f);   // the frame still moved the ball
}

TEST(PlayBall, TestKeysActWhileHeld) {
    PlayGame g;
    // W leaves 2, and the same frame's clock takes it to 1; the level ends next frame.
    g.Step({Key::W});
    EXPECT_EQ(g.form.LevelTimer, 1);
    EXPECT_EQ(g.form.Level, 1);
    g.Step();
    EXPECT_EQ(g.form.Level, 2);
    EXPECT_EQ(g.form.LevelTimer, 919);

    g.Step({Key::E});
    EXPECT_EQ(g.form.FeverPoints, g.form.FeverThreshold);

    FormMain& f = g.form;
    f.KeyState = {};
    f.KeyState[Key::R] = 128;
    f.ImmediateKeys();
    EXPECT_EQ(f.LastActiveItem, 99);
}

TEST(PlayBall, FeverRunsTheGroundBackward) {
    PlayGame g;
    FormMain& f = g.form;
    f.Fever = True;
    f.GroundFrame = 0;
    f.FeverGround();
    EXPECT_EQ(f.GroundFrame, 7);
    f.FeverGround();
    EXPECT_EQ(f.GroundFrame, 6);
    f.Fever = False;
    f.FeverGround();
    EXPECT_EQ(f.GroundFrame, 6);
}

TEST(PlayBall, KindEndsOnTheFrameItsTimerRunsOutAndIsDrawnPlain) {
    PlayGame g;
    DrawLog log;
    g.host.Draws = &log;
    FormMain& f = g.form;
    f.BallKind = 1;
    f.KindTimer = 1;
    f.KindBoost = True;
    f.Blink = False;   // the shown phase of the last frames' blinking
    f.KindTimerAndDrawBall();
    EXPECT_EQ(f.BallKind, 0);
    EXPECT_EQ(f.KindBoost, 0);
    ASSERT_EQ(log.Calls.size(), 1u);
    EXPECT_EQ(log.Calls[0].Source, f.BallRects[0]);
    EXPECT_EQ(log.Calls[0].X, 358);
    EXPECT_EQ(log.Calls[0].Y, 408);
    g.host.Draws = nullptr;
}

TEST(PlayBall, BallBlinksThroughTheLastFramesOfItsKind) {
    PlayGame g;
    DrawLog log;
    g.host.Draws = &log;
    FormMain& f = g.form;
    f.BallKind = 2;
    f.KindTimer = 100;
    f.Blink = True;
    f.KindTimerAndDrawBall();
    EXPECT_TRUE(log.Calls.empty());
    EXPECT_EQ(f.KindTimer, 99);

    f.Blink = False;
    f.KindTimerAndDrawBall();
    ASSERT_EQ(log.Calls.size(), 1u);
    EXPECT_EQ(log.Calls[0].Source, f.BallRects[2]);

    // Well before the end the ball shows in both phases.
    log.Calls.clear();
    f.KindTimer = 300;
    f.Blink = True;
    f.KindTimerAndDrawBall();
    EXPECT_EQ(log.Calls.size(), 1u);
    g.host.Draws = nullptr;
}

TEST(PlayBall, BallAboveTheScreenShowsTheMarker) {
    PlayGame g;
    DrawLog log;
    g.host.Draws = &log;
    FormMain& f = g.form;
    f.BallX = 300.4f;
    f.BallY = -100;
    f.KindTimerAndDrawBall();
    ASSERT_EQ(log.Calls.size(), 1u);
    EXPECT_EQ(log.Calls[0].Source, f.BallRects[3]);
    EXPECT_EQ(log.Calls[0].X, 288);
    EXPECT_EQ(log.Calls[0].Y, CLng(std::sin(-100 * 0.01745) * 7 + 7));

    // At 24 the ball's own picture is asked for, rows above the screen or not.
    log.Calls.clear();
    f.BallY = 24;
    f.KindTimerAndDrawBall();
    ASSERT_EQ(log.Calls.size(), 1u);
    EXPECT_EQ(log.Calls[0].Source, f.BallRects[0]);
    EXPECT_EQ(log.Calls[0].Y, -18);
    g.host.Draws = nullptr;
}

// Finds a generator state whose next draw passes (or fails) the bounce test.
Random StateWithFirstDraw(bool above) {
    Random r;
    for (uint32_t s = 1;; ++s) {
        r.State = s;
        Random probe = r;
        if ((probe.Next() > 0.96) == above) return r;
    }
}

TEST(PlayBall, StaggerBouncesBackWithSprayAndYelpInDrawOrder) {
    PlayGame g;
    FormMain& f = g.form;
    f.StaggerTimer = 10;
    f.BallVX = 3;
    f.Rng = StateWithFirstDraw(true);

    Random expect = f.Rng;
    expect.Next();
    const float mult = expect.Next();
    const float sprayVX = static_cast<float>(expect.Next() * 16.0 - 8.0);
    const float sprayVY = static_cast<float>(expect.Next() * 8.0 - 4.0);
    // The spray of five particles draws seven numbers each.
    for (int k = 0; k < 5 * 7; ++k) expect.Next();
    const int32_t freq = StepPitch(8805, CInt(expect.Next() * 4.0 - 2.0), 12);

    f.Stagger();
    EXPECT_EQ(f.StaggerTimer, 9);
    EXPECT_FLOAT_EQ(f.BallVX, static_cast<float>(-3.0 * (mult * 0.5 + 1)));
    EXPECT_EQ(f.Rng.State, expect.State);
    // The spray leans by the two drawn speeds.
    ASSERT_NE(f.Particles[4].X, 9999.0f);
    EXPECT_EQ(f.Particles[5].X, 9999.0f);
    EXPECT_GE(f.Particles[0].VX, sprayVX - 4);
    EXPECT_LE(f.Particles[0].VX, sprayVX + 2);
    EXPECT_GE(f.Particles[0].VY, sprayVY);
    EXPECT_LE(f.Particles[0].VY, sprayVY + 4);

    const std::vector<SoundCall> expected = {
        {SoundId::Oee, SoundOp::Stop, 0},
        {SoundId::Oee, SoundOp::Frequency, freq},
        {SoundId::Oee, SoundOp::Pan, PanFromX(f.BallX)},
        {SoundId::Oee, SoundOp::Play, 0},
    };
    EXPECT_EQ(g.SoundsOf(SoundId::Oee), expected);
}

TEST(PlayBall, StaggerDrawsEveryFrameButSpareStillOrDashingBalls) {
    PlayGame g;
    FormMain& f = g.form;
    f.StaggerTimer = 3;
    f.BallVX = 0;
    f.Rng = StateWithFirstDraw(true);
    Random expect = f.Rng;
    expect.Next();
    f.Stagger();
    EXPECT_EQ(f.BallVX, 0);
    EXPECT_EQ(f.Rng.State, expect.State);

    f.BallVX = -4;
    f.Dashing = True;
    f.Rng = StateWithFirstDraw(true);
    f.Stagger();
    EXPECT_FLOAT_EQ(f.BallVX, -4);

    f.StaggerTimer = 0;
    const uint32_t before = f.Rng.State;
    f.Stagger();
    EXPECT_EQ(f.Rng.State, before);   // no stagger, no draw
    EXPECT_TRUE(g.SoundsOf(SoundId::Oee).empty());
}

}  // namespace
}  // namespace pm::test
