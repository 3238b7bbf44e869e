// The ball meeting the rival: the ball's rectangles, lost lives, the
// jumper's knock-away and slam, and the end of a run with its bonuses.
#include <gtest/gtest.h>

#include <cmath>

#include "game/effects/score_formulas.h"
#include "test_items_support.h"

namespace pm::test {
namespace {

// A plain ball standing at 400 with the rival right in front of it.
struct ContactGame : ItemsGame {
    ContactGame() {
        FormMain& f = form;
        f.BallX = 400;
        f.BallY = 450;
        f.BallVX = 0;
        f.OnGround = True;
        f.BallKind = 0;
        f.HighJump = False;
        f.KindBoost = False;
        f.SlamTimer = 0;
        f.GraceTimer = 0;
        f.Lives = 3;
        f.Fever = False;
        PutRival(420, 450);
        f.RivalStunTimer = 0;
        f.RivalDizzyTimer = 5;
        f.RivalVX = 3;
        f.RivalVY = 0;
    }
    void PutRival(float x, float y) {
        form.RivalX = x;
        form.RivalY = y;
        form.RivalRect = {CLng(x - 20.0), CLng(y - 20.0), CLng(x + 20.0), CLng(y + 20.0)};
    }
};

TEST(RivalContact, TheBallsRectanglesFollowItsKind) {
    ContactGame g;
    FormMain& f = g.form;
    f.GraceTimer = 10;
    f.BallX = 300.5f;
    f.BallY = 200;
    f.RivalContact();
    EXPECT_EQ(f.MouthRect, (Rect{290, 161, 330, 234}));
    EXPECT_EQ(f.BodyRect, (Rect{250, 150, 352, 255}));
    f.BallKind = 2;
    f.RivalContact();
    EXPECT_EQ(f.MouthRect, (Rect{274, 156, 330, 250}));
    f.BallKind = 0;
    f.HighJump = True;
    f.RivalContact();
    EXPECT_EQ(f.MouthRect, (Rect{274, 156, 330, 250}));
}

TEST(RivalContact, GraceTimeSkipsTheTest) {
    ContactGame g;
    FormMain& f = g.form;
    f.GraceTimer = 2;
    f.RivalContact();
    EXPECT_EQ(f.GraceTimer, 1);
    f.RivalContact();
    EXPECT_EQ(f.GraceTimer, 0);
    EXPECT_EQ(f.Lives, 3);
    f.RivalContact();
    EXPECT_EQ(f.Lives, 2);
    EXPECT_EQ(f.GraceTimer, 60);
}

TEST(RivalContact, ALostLifeSoundsAndThrowsEveryParticleFromTheBall) {
    ContactGame g;
    FormMain& f = g.form;
    Random replay = f.Rng;
    f.RivalContact();
    EXPECT_EQ(f.Lives, 2);
    EXPECT_EQ(f.GraceTimer, 60);
    EXPECT_EQ(f.GameState, 1);
    const std::vector<SoundCall> hit = {{SoundId::Hit, SoundOp::Pan, 0}, {SoundId::Hit, SoundOp::Play, 0}};
    EXPECT_EQ(g.host.SoundLog, hit);
    for (const Particle& p : f.Particles) {
        const float angle = replay.Next() * 360.0f;
        const float speed = static_cast<float>(replay.Next() * 8.0 + 3);
        const double a = angle * 0.01745;
        EXPECT_EQ(p.X, 400);
        EXPECT_EQ(p.Y, 450);
        EXPECT_EQ(p.VX, static_cast<float>(std::cos(a) * speed));
        EXPECT_EQ(p.VY, static_cast<float>(-std::sin(a) * speed));
        EXPECT_EQ(p.Kind, static_cast<int16_t>(std::floor(2.0 * replay.Next())));
        EXPECT_EQ(p.Timer, CLng(replay.Next() * 30.0 + 10));
    }
    EXPECT_EQ(f.Rng.State, replay.State);
}

TEST(RivalContact, OnlyACloseUnstunnedRivalTakesALife) {
    for (int16_t kind : {0, 2}) {
        ContactGame g;
        FormMain& f = g.form;
        f.BallKind = kind;
        g.PutRival(450, 450);   // d = 56^2 = 3136: near, but not near enough
        f.RivalContact();
        EXPECT_EQ(f.Lives, 3);
        EXPECT_EQ(f.GraceTimer, 0);

        g.PutRival(420, 450);
        f.RivalStunTimer = 30;
        f.RivalContact();
        EXPECT_EQ(f.Lives, 3);

        f.RivalStunTimer = 0;
        f.RivalContact();
        EXPECT_EQ(f.Lives, 2);
    }
}

TEST(RivalContact, TheJumperKnocksTheRivalAwayAndNeverLosesALife) {
    ContactGame g;
    FormMain& f = g.form;
    f.BallKind = 1;
    f.OnGround = False;
    f.BallY = 440;
    g.PutRival(430, 450);
    Random replay = f.Rng;
    f.RivalContact();
    EXPECT_EQ(f.Lives, 3);
    EXPECT_EQ(f.GraceTimer, 25);
    const float vx = static_cast<float>(replay.Next() * 7.0 + 9);   // sent right, away from the ball
    const float vy = static_cast<float>(-(replay.Next() * 5.0 + 15));
    EXPECT_EQ(f.RivalVX, vx);
    EXPECT_EQ(f.RivalVY, vy);
    EXPECT_EQ(f.BallVX, static_cast<float>(-vx * 0.9));
    EXPECT_EQ(f.RivalStunTimer, 90);
    EXPECT_EQ(f.RivalDizzyTimer, 0);
    EXPECT_TRUE(g.host.SoundLog.empty());

    // With the boost the ball holds its speed in the air.
    ContactGame h;
    h.form.BallKind = 1;
    h.form.KindBoost = True;
    h.form.OnGround = False;
    h.form.BallVX = 2.5f;
    h.PutRival(370, 450);
    h.form.RivalContact();
    EXPECT_EQ(h.form.BallVX, 2.5f);
    EXPECT_LT(h.form.RivalVX, -8.9f);   // sent left
}

TEST(RivalContact, AKnockWithBallAndRivalAtTheSameXOnlyLifts) {
    ContactGame g;
    FormMain& f = g.form;
    f.BallKind = 1;
    f.BallX = 406;   // the test point is BallX - 6
    g.PutRival(406, 450);
    f.RivalContact();
    EXPECT_EQ(f.RivalVX, 0);
    EXPECT_EQ(f.BallVX, 0);
    EXPECT_LE(f.RivalVY, -15 * 0.67f + 1e-4f);   // damped, the ball standing on the ground
    EXPECT_GT(f.RivalVY, -20 * 0.67f);
    EXPECT_EQ(f.RivalStunTimer, 90);
}

TEST(RivalContact, ASlamLandingTriplesTheBlow) {
    auto knock = [](int32_t slam, ContactGame& g) {
        FormMain& f = g.form;
        f.Rng.State = 12345;
        f.BallKind = 1;
        f.KindTimer = 400;
        f.SlamTimer = slam;
        g.PutRival(440, 450);
        f.RivalContact();
    };
    ContactGame plain, slam;
    knock(0, plain);
    knock(2, slam);
    EXPECT_EQ(slam.form.RivalVX, static_cast<float>(plain.form.RivalVX * 3.0));
    EXPECT_EQ(slam.form.RivalVY, static_cast<float>(plain.form.RivalVY * 3.0));
    EXPECT_EQ(slam.form.BallVX, plain.form.BallVX);   // the bounce is worked out before the slam
    EXPECT_EQ(slam.form.RivalStunTimer, 180);
    EXPECT_EQ(plain.form.RivalStunTimer, 90);
    EXPECT_EQ(slam.form.KindTimer, 38);
    EXPECT_EQ(plain.form.KindTimer, 400);
    // On the ground the speeds are damped first: 0.8 and 0.67, then tripled.
    EXPECT_GE(slam.form.RivalVX, 9 * 0.8f * 3 - 1e-4f);
    EXPECT_LT(slam.form.RivalVX, 16 * 0.8f * 3);
    const std::vector<SoundCall> sounds = {{SoundId::Bomb, SoundOp::Play, 0}, {SoundId::Quake, SoundOp::Stop, 0}};
    EXPECT_EQ(slam.host.SoundLog, sounds);
    EXPECT_TRUE(plain.host.SoundLog.empty());
}

TEST(RivalContact, NoKnockDuringAFever) {
    ContactGame g;
    FormMain& f = g.form;
    f.BallKind = 1;
    f.Fever = True;
    const uint32_t before = f.Rng.State;
    f.RivalContact();
    EXPECT_EQ(f.RivalVX, 3);
    EXPECT_EQ(f.GraceTimer, 0);
    EXPECT_EQ(f.Lives, 3);
    EXPECT_EQ(f.Rng.State, before);
}

TEST(RivalContact, TheLastLifePaysBothBonusesAndBurstsTheParticles) {
    ContactGame g;
    FormMain& f = g.form;
    f.Lives = 1;
    f.Score = 2000;
    f.ShownScore = 2000;
    f.ChainBonus = 500;
    f.ChainBonusTimer = 300;
    f.ChainCount = 40;
    f.LastChainCount = 33;
    f.RivalContact();
    EXPECT_EQ(f.Lives, 0);
    EXPECT_EQ(f.Score, 2000 + 500 + LengthBonus(40));
    EXPECT_EQ(f.ChainBonus, LengthBonus(40));
    EXPECT_EQ(f.ChainBonusTimer, 258);
    EXPECT_EQ(f.LastChainCount, 40);
    EXPECT_EQ(f.ChainCount, 0);
    EXPECT_EQ(f.GameState, 3);
    EXPECT_EQ(f.GameOverTimer, 130);
    for (const Particle& p : f.Particles) {
        EXPECT_EQ(p.X, 410);   // halfway between ball and rival
        EXPECT_EQ(p.Y, 450);
        EXPECT_GE(p.Timer, 0);
        EXPECT_LE(p.Timer, 8);
        EXPECT_TRUE(p.Kind == 0 || p.Kind == 1);
        EXPECT_LE(std::hypot(p.VX, p.VY + 7), 14.0f + 1e-3f);
    }

    // The game-over state then counts up to that score without paying again.
    for (int frame = 0; frame < 5000 && f.GameState != 0; ++frame) g.Step();
    EXPECT_EQ(f.GameState, 0);
    EXPECT_EQ(f.ShownScore, 2000 + 500 + LengthBonus(40));
}

TEST(RivalContact, ABonusAlreadyPaidOrAShortChainAddsNothing) {
    ContactGame g;
    FormMain& f = g.form;
    f.Lives = 1;
    f.Score = 700;
    f.ChainBonus = 500;
    f.ChainBonusTimer = 259;   // the status display has added it already
    f.ChainCount = 30;
    f.RivalContact();
    EXPECT_EQ(f.Score, 700);
    EXPECT_EQ(f.ChainBonusTimer, 259);
    EXPECT_EQ(f.ChainCount, 30);
    EXPECT_EQ(f.GameState, 3);
}

}  // namespace
}  // namespace pm::test
