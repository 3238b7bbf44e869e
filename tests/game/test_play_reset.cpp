// The round reset and the play frame's order of steps.
#include <gtest/gtest.h>

#include "test_play_support.h"

namespace pm::test {
namespace {

TEST(PlayReset, PutsTheFieldBackToItsStartValues) {
    PlayGame g;
    FormMain& f = g.form;
    for (int i = 0; i < 40; ++i) g.Step({Key::Right, Key::Space});
    f.BallKind = 2;
    f.Dashing = True;
    f.RivalAwayTimer = 50;
    f.LastBaseItem = 7;
    f.LastActiveItem = 99;
    f.Fever = True;
    f.ExtraLifeGiven.fill(True);
    f.Popups[3].X = 20;
    f.Particles[9].X = 20;
    f.ShineSweep = 3;
    f.SetTextColour({255, 0, 0});

    f.ResetRound();
    EXPECT_FLOAT_EQ(f.BallX, 400);
    EXPECT_FLOAT_EQ(f.BallY, 450);
    EXPECT_EQ(f.OnGround, True);
    EXPECT_EQ(f.Dashing, 0);
    EXPECT_EQ(f.BallKind, 0);
    EXPECT_FLOAT_EQ(f.RivalX, 41);
    EXPECT_FLOAT_EQ(f.RivalVX, 3);
    EXPECT_FLOAT_EQ(f.RivalBumpVX, 9999);
    EXPECT_FLOAT_EQ(f.RivalMaxSpeed, 3);
    EXPECT_EQ(f.RivalAwayTimer, 0);
    EXPECT_FLOAT_EQ(f.ShineSweep, 9999);
    EXPECT_EQ(f.TextColour.R, 255);
    EXPECT_EQ(f.TextColour.G, 255);
    EXPECT_EQ(f.BannerTextX, 248);
    EXPECT_FLOAT_EQ(f.BannerTextSpeed, 2);
    EXPECT_FLOAT_EQ(f.ShotX, 9999);
    EXPECT_EQ(f.LevelTimer, 840);
    EXPECT_EQ(f.LastBaseItem, 4);
    EXPECT_EQ(f.LastActiveItem, 4);
    EXPECT_EQ(f.FeverThreshold, 20);
    EXPECT_EQ(f.Fever, 0);
    for (int16_t given : f.ExtraLifeGiven) EXPECT_EQ(given, 0);
    for (const Popup& p : f.Popups) EXPECT_EQ(p.X, 9999);
    for (const Particle& p : f.Particles) EXPECT_EQ(p.X, 9999.0f);
}

TEST(PlayReset, ItemDelaysAreTheFirstHundredDrawsThenTheSpecks) {
    PlayGame g;
    FormMain& f = g.form;
    f.Rng.Seed(4242);
    Random r = f.Rng;
    f.ResetRound();
    for (const Item& item : f.Items) {
        EXPECT_EQ(item.X, 9999.0f);
        EXPECT_EQ(item.Kind, 0);
        EXPECT_EQ(item.Delay, static_cast<int32_t>(Int(r.Next() * 150.0)));
    }
    // The speck fill follows: its first speck's x is the next draw.
    const float x = r.Next() * 800.0f;
    EXPECT_TRUE(f.Specks[0].X == x || f.Specks[0].X == 9999.0f);
}

TEST(PlayReset, SpaceBoostReadsTheHeightBeforeThisFramesMove) {
    PlayGame g;
    FormMain& f = g.form;
    f.OnGround = False;
    f.BallY = 350;
    f.BallVY = -5;
    g.Step({Key::Space});
    const double boosted = -5 - (350 - 220) / 130.0;
    EXPECT_FLOAT_EQ(f.BallVY, static_cast<float>(static_cast<float>(boosted) + 0.85));
    EXPECT_FLOAT_EQ(f.BallY, 350 + f.BallVY);
}

}  // namespace
}  // namespace pm::test
