// Jump, gravity by kind, and the landing with its sound, quake and slam.
#include <gtest/gtest.h>

#include <algorithm>

#include "game/effects/score_formulas.h"
#include "test_play_support.h"

namespace pm::test {
namespace {

struct Flight {
    int LandingFrame = 0;   // counting the take-off frame as 1
    float HighestY = 450;
};

// Runs frames until the ball is back on the ground.
Flight Fly(PlayGame& g, std::initializer_list<uint8_t> keys) {
    Flight out;
    for (int frame = 1; frame <= 200; ++frame) {
        g.Step(keys);
        out.HighestY = std::min(out.HighestY, g.form.BallY);
        if (g.form.OnGround != 0) {
            out.LandingFrame = frame;
            break;
        }
    }
    return out;
}

TEST(PlayJump, PlainJumpLandsOnTheThirtyFifthFrameWithOneSound) {
    PlayGame g;
    const int32_t score = g.form.Score;
    g.Step({Key::Space});
    EXPECT_EQ(g.form.OnGround, 0);
    EXPECT_FLOAT_EQ(g.form.BallVY, -14.15f);
    EXPECT_EQ(g.form.Score, score + 1);
    EXPECT_TRUE(g.host.SoundLog.empty());   // silent take-off

    const Flight f = Fly(g, {});
    EXPECT_EQ(f.LandingFrame + 1, 35);
    EXPECT_NEAR(f.HighestY, 325, 1.0);
    EXPECT_FLOAT_EQ(g.form.BallY, 450);
    const std::vector<SoundCall> land = {
        {SoundId::Land, SoundOp::Pan, PanFromX(g.form.BallX)},
        {SoundId::Land, SoundOp::Play, 0},
    };
    EXPECT_EQ(g.SoundsOf(SoundId::Land), land);

    // Standing on, the landing repeats every frame but makes no sound.
    g.host.SoundLog.clear();
    for (int i = 0; i < 5; ++i) g.Step();
    EXPECT_TRUE(g.SoundsOf(SoundId::Land).empty());
    EXPECT_FLOAT_EQ(g.form.BallY, 450);
    EXPECT_EQ(g.form.Score, score + 1);
}

TEST(PlayJump, HeldSpaceClimbsToAboutOneHundredAndJumpsAgain) {
    PlayGame g;
    const Flight f = Fly(g, {Key::Space});
    EXPECT_EQ(f.LandingFrame, 60);
    EXPECT_NEAR(f.HighestY, 100, 5.0);
    g.Step({Key::Space});
    EXPECT_EQ(g.form.OnGround, 0);
    EXPECT_LT(g.form.BallVY, 0);
}

TEST(PlayJump, SpaceHighUpOrFallingDoesNothing) {
    PlayGame g;
    FormMain& f = g.form;
    f.OnGround = False;
    f.BallY = 219;
    f.BallVY = -3;
    f.SpaceKey();
    EXPECT_FLOAT_EQ(f.BallVY, -3);

    f.BallY = 400;
    f.BallVY = 2;
    f.SpaceKey();
    EXPECT_FLOAT_EQ(f.BallVY, 2);

    f.BallVY = -3;
    f.SpaceKey();
    EXPECT_FLOAT_EQ(f.BallVY, static_cast<float>(-3 - 180.0 / 130.0));
}

TEST(PlayJump, KindChangesTheFall) {
    PlayGame g;
    FormMain& f = g.form;
    f.OnGround = False;

    f.BallKind = 1;
    f.BallY = 300;
    f.BallVY = 2;
    f.VerticalMotion();
    EXPECT_FLOAT_EQ(f.BallVY, 2 + 0.85f + 1.47f);
    f.KindBoost = True;
    f.BallVY = 2;
    f.VerticalMotion();
    EXPECT_FLOAT_EQ(f.BallVY, 2 + 0.85f + 1.47f + 1);
    // Rising balls are not pulled harder.
    f.BallVY = -5;
    f.VerticalMotion();
    EXPECT_FLOAT_EQ(f.BallVY, -4.15f);

    // The shooter floats: 0.55 a frame low down, 0.35 high up.
    f.BallKind = 2;
    f.KindBoost = False;
    f.BallY = 300;
    f.BallVY = 3;
    f.VerticalMotion();
    EXPECT_NEAR(f.BallVY, 3.55, 1e-5);
    f.BallY = 100;
    f.BallVY = 3;
    f.VerticalMotion();
    EXPECT_NEAR(f.BallVY, 3.35, 1e-5);
}

TEST(PlayJump, JumperLandingShakesTheGroundAndHops) {
    PlayGame g;
    FormMain& f = g.form;
    f.BallKind = 1;
    f.KindTimer = 500;
    f.OnGround = False;
    f.BallY = 445;
    f.BallVY = 3;
    f.RivalY = 450;
    f.RivalDizzyTimer = 0;
    f.VerticalMotion();
    EXPECT_EQ(f.QuakeTimer, 25);
    EXPECT_EQ(f.RivalDizzyTimer, 10);
    EXPECT_FLOAT_EQ(f.BallY, 450);
    EXPECT_LE(f.BallVY, -4);   // the hop starts in the same frame
    EXPECT_GT(f.BallVY, -7);
    EXPECT_EQ(f.OnGround, True);
    EXPECT_EQ(g.SoundsOf(SoundId::Land).size(), 2u);

    // Hops on the shaking ground keep OnGround and make no sound.
    g.host.SoundLog.clear();
    f.BallY = 449;
    f.BallVY = 2;
    f.VerticalMotion();
    EXPECT_EQ(f.QuakeTimer, 25);
    EXPECT_LT(f.BallVY, 0);
    EXPECT_TRUE(g.SoundsOf(SoundId::Land).empty());
}

TEST(PlayJump, HighJumpLandingSlamsAndEndsAnExpiredKind) {
    PlayGame g;
    FormMain& f = g.form;
    f.BallKind = 0;   // ran out in the air
    f.KindTimer = 0;
    f.HighJump = True;
    f.OnGround = False;
    f.BallY = 200;
    f.BallVY = 5;
    f.RivalY = 450;
    f.RivalDizzyTimer = 0;
    f.RivalStunTimer = 0;
    for (Speck& s : f.Specks) s.VX = -3;

    f.VerticalMotion();   // still in the air: finishes as a jumper
    EXPECT_EQ(f.BallKind, 1);
    EXPECT_EQ(f.SlamTimer, 100);

    f.BallY = 440;
    f.BallVY = 10;
    f.VerticalMotion();
    EXPECT_EQ(f.HighJump, 0);
    EXPECT_EQ(f.BallKind, 0);
    EXPECT_EQ(f.QuakeTimer, 100);
    EXPECT_EQ(f.SlamTimer, 2);
    EXPECT_EQ(f.RivalDizzyTimer, 170);   // 10 for the touch-down, 160 for the slam
    EXPECT_LT(f.BallVY, 0);
    EXPECT_EQ(g.SoundsOf(SoundId::Quake), (std::vector<SoundCall>{{SoundId::Quake, SoundOp::Play, 0}}));
    for (const Speck& s : f.Specks) EXPECT_EQ(s.VX, 0);   // knocked straight down

    // The slam timer then runs down by one a frame.
    f.VerticalMotion();
    EXPECT_EQ(f.SlamTimer, 1);
}

TEST(PlayJump, SlamIsSilentWhileTheRivalIsFreshlyStunned) {
    PlayGame g;
    FormMain& f = g.form;
    f.BallKind = 1;
    f.KindTimer = 300;
    f.HighJump = True;
    f.OnGround = False;
    f.BallY = 445;
    f.BallVY = 5;
    f.RivalY = 300;
    f.RivalStunTimer = 120;
    f.VerticalMotion();
    EXPECT_EQ(f.BallKind, 1);   // time left: the kind stays
    EXPECT_EQ(f.KindTimer, 300);
    EXPECT_EQ(f.RivalDizzyTimer, 0);   // rival in the air is not dizzied
    EXPECT_TRUE(g.SoundsOf(SoundId::Quake).empty());

    f.HighJump = True;
    f.OnGround = False;
    f.BallY = 445;
    f.BallVY = 5;
    f.RivalAwayTimer = 10;   // sent away: the quake sounds again
    f.VerticalMotion();
    EXPECT_EQ(g.SoundsOf(SoundId::Quake).size(), 1u);
}

}  // namespace
}  // namespace pm::test
