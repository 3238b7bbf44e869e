// The rival's picture, the shot's push and flight, the boosted kinds'
// copies and sparkle.
#include <gtest/gtest.h>

#include <cmath>

#include "test_items_support.h"

namespace pm::test {
namespace {

constexpr float kNone = 9999.0f;

int LiveParticles(const FormMain& f) {
    int n = 0;
    for (const Particle& p : f.Particles) n += p.X != 9999.0f;
    return n;
}

struct RivalGame : ItemsGame {
    RivalGame() {
        FormMain& f = form;
        f.RivalX = 300.4f;
        f.RivalY = 450;
        f.RivalVX = 3;
        f.RivalVY = 0;
        f.RivalFrame = 1;
        f.RivalRect = {280, 430, 320, 470};
        f.RivalBumpVX = kNone;
        f.QuakeTimer = 0;
        f.KindBoost = False;
        f.BallKind = 0;
        for (Particle& p : f.Particles) p.X = 9999.0f;
    }
};

TEST(RivalSprite, TheRivalIsDrawnAtItsRowAndTremblesInAQuake) {
    RivalGame g;
    FormMain& f = g.form;
    f.RivalSpriteAndShot();
    ASSERT_EQ(g.Draws.Of(f.BallRects[5]).size(), 1u);
    EXPECT_EQ(g.Draws.Of(f.BallRects[5])[0].X, 260);
    EXPECT_EQ(g.Draws.Of(f.BallRects[5])[0].Y, 408);

    f.RivalFrame = 0;
    f.QuakeTimer = 40;
    int lowest = 1000, highest = -1000;
    for (int i = 0; i < 300; ++i) {
        g.Draws.Calls.clear();
        f.RivalSpriteAndShot();
        const auto drawn = g.Draws.Of(f.BallRects[4]);
        ASSERT_EQ(drawn.size(), 1u);
        lowest = std::min(lowest, drawn[0].Y);
        highest = std::max(highest, drawn[0].Y);
    }
    EXPECT_EQ(lowest, 405);    // up to 3 px higher
    EXPECT_EQ(highest, 410);   // up to 2 px lower
    EXPECT_EQ(f.RivalRect, (Rect{280, 430, 320, 470}));
}

TEST(RivalSprite, TheShotPushesARivalOnTheGroundForOneFrameAtATime) {
    RivalGame g;
    FormMain& f = g.form;
    f.ShotVX = 7;
    f.ShotRect = {300, 400, 352, 494};   // last frame's rectangle, over the rival
    f.RivalSpriteAndShot();
    EXPECT_FLOAT_EQ(f.RivalVX, 5);        // moving right: the shot's speed less 2
    EXPECT_FLOAT_EQ(f.RivalBumpVX, 3);
    EXPECT_FLOAT_EQ(f.RivalVY, 0);

    // Still under the shot: undone and pushed again, the saved speed unchanged.
    f.RivalSpriteAndShot();
    EXPECT_FLOAT_EQ(f.RivalVX, 5);
    EXPECT_FLOAT_EQ(f.RivalBumpVX, 3);

    f.ShotRect = {600, 400, 652, 494};
    f.RivalSpriteAndShot();
    EXPECT_FLOAT_EQ(f.RivalVX, 3);
    EXPECT_EQ(f.RivalBumpVX, kNone);

    // Standing or moving left: the shot's speed is added.
    f.RivalVX = -2;
    f.ShotRect = {300, 400, 352, 494};
    f.RivalSpriteAndShot();
    EXPECT_FLOAT_EQ(f.RivalVX, 5);
    EXPECT_FLOAT_EQ(f.RivalBumpVX, -2);
}

TEST(RivalSprite, ARivalInTheAirIsCarriedAndNoFeverRivalIsPushed) {
    RivalGame g;
    FormMain& f = g.form;
    f.ShotVX = 7;
    f.ShotRect = {300, 380, 352, 474};
    f.RivalY = 400;
    f.RivalVY = -6;
    f.RivalSpriteAndShot();
    EXPECT_FLOAT_EQ(f.RivalVX, 7);
    EXPECT_FLOAT_EQ(f.RivalVY, 0.85f);

    RivalGame h;
    FormMain& e = h.form;
    e.Fever = True;
    e.ShotVX = 7;
    e.ShotRect = {300, 400, 352, 494};
    e.RivalSpriteAndShot();
    EXPECT_FLOAT_EQ(e.RivalVX, 3);
    EXPECT_EQ(e.RivalBumpVX, kNone);
}

TEST(RivalSprite, TheShotFliesShowsOnEverySecondFrameAndLeavesATrail) {
    RivalGame g;
    FormMain& f = g.form;
    f.ShotX = 400;
    f.ShotY = 450;
    f.ShotVX = 7;
    f.Blink = True;
    f.RivalSpriteAndShot();
    EXPECT_FLOAT_EQ(f.ShotX, 407);
    auto shots = g.Draws.Of(f.BallRects[2]);
    ASSERT_EQ(shots.size(), 1u);
    EXPECT_EQ(shots[0].X, 365);
    EXPECT_EQ(shots[0].Y, 408);
    EXPECT_EQ(f.ShotRect, (Rect{385, 406, 437, 500}));
    EXPECT_EQ(LiveParticles(f), 2);
    // The trail starts up to 16 px behind the shot and has already taken its
    // first step (12 to 18 px back) in the particle step of this frame.
    for (int i = 0; i < 2; ++i) {
        EXPECT_LT(f.Particles[i].X, 407 - 12 + 0.01f);
        EXPECT_GT(f.Particles[i].X, 407 - 16 - 18);
    }

    g.Draws.Calls.clear();
    f.Blink = False;
    f.RivalSpriteAndShot();
    EXPECT_TRUE(g.Draws.Of(f.BallRects[2]).empty());
    EXPECT_EQ(f.ShotRect, (Rect{392, 406, 444, 500}));
}

TEST(RivalSprite, AShotPastTheEdgeVanishesButRunsItsStepsOnceFarAway) {
    RivalGame g;
    FormMain& f = g.form;
    f.ShotX = 1060;
    f.ShotY = 450;
    f.ShotVX = 7;
    f.Blink = True;
    f.RivalSpriteAndShot();
    EXPECT_EQ(f.ShotX, kNone);
    EXPECT_TRUE(g.Draws.Of(f.BallRects[2]).empty());
    EXPECT_EQ(f.ShotRect, (Rect{9977, 406, 10029, 500}));
    EXPECT_EQ(LiveParticles(f), 2);
    EXPECT_GT(f.Particles[0].X, 9999 - 16 - 18);

    // No shot: nothing flies and the rectangle stays where it was.
    f.RivalSpriteAndShot();
    EXPECT_EQ(f.ShotRect, (Rect{9977, 406, 10029, 500}));
}

TEST(RivalSprite, ABoostedShotSwingsTwoCopiesAndEatsFromATallRectangle) {
    RivalGame g;
    FormMain& f = g.form;
    f.ShotX = 400;
    f.ShotY = 300;
    f.ShotVX = 7;
    f.KindBoost = True;
    f.BallKind = 2;
    f.SpinAngle = 90;
    f.Blink = False;
    f.BallX = 200;
    f.BallY = 450;
    f.RivalSpriteAndShot();
    EXPECT_EQ(f.ShotRect, (Rect{384, 186, 438, 410}));
    EXPECT_EQ(f.ShotRect.Bottom - f.ShotRect.Top, 224);
    const auto copies = g.Draws.Of(f.BallRects[2]);
    // Two swinging copies of the shot, then three around the ball.
    ASSERT_EQ(copies.size(), 5u);
    const double a = 90 * 0.01745;
    EXPECT_EQ(copies[0].X, CLng(407 - 42 + 3 * std::cos(a)));
    EXPECT_EQ(copies[0].Y, CLng(300 - 42 + 80 * std::sin(a)));
    EXPECT_EQ(copies[1].Y, CLng(300 - 42 - 80 * std::sin(a)));
    for (int j = 0; j < 3; ++j) {
        const double b = (120 * j + 90) * 0.01745;
        EXPECT_EQ(copies[2 + j].X, CLng(200 - 42 + 16 * std::cos(b)));
        EXPECT_EQ(copies[2 + j].Y, CLng(450 - 42 + 8 * std::sin(b)));
    }

    // On the other frames only the shot itself shows.
    g.Draws.Calls.clear();
    f.Blink = True;
    f.RivalSpriteAndShot();
    EXPECT_EQ(g.Draws.Of(f.BallRects[2]).size(), 1u);
}

TEST(RivalSprite, TheParticlesStepHereAndTheBoostedJumperSparkles) {
    RivalGame g;
    FormMain& f = g.form;
    f.Particles[10] = {100, 100, 0, 0, 1, 0};
    f.RivalSpriteAndShot();
    EXPECT_EQ(f.Particles[10].X, 9999.0f);

    f.BallKind = 1;
    f.KindBoost = True;
    f.BallX = 300;
    f.BallY = 450;
    f.RivalSpriteAndShot();
    EXPECT_EQ(LiveParticles(f), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_GE(f.Particles[i].X, 304);
        EXPECT_LT(f.Particles[i].X, 310);
        EXPECT_GE(f.Particles[i].Timer, 10);
    }

    // Without the boost the jumper does not sparkle.
    f.KindBoost = False;
    for (Particle& p : f.Particles) p.X = 9999.0f;
    f.RivalSpriteAndShot();
    EXPECT_EQ(LiveParticles(f), 0);
}

}  // namespace
}  // namespace pm::test
