// The Up key's moves: dash with cooldown and smoke, high jump, shot.
#include <gtest/gtest.h>

#include "game/effects/score_formulas.h"
#include "test_play_support.h"

namespace pm::test {
namespace {

int LiveParticles(const FormMain& f) {
    int n = 0;
    for (const Particle& p : f.Particles) n += p.X != 9999.0f;
    return n;
}

TEST(PlaySpecial, DashFromRestRunsToTheLeftWallAndStops) {
    PlayGame g;
    const float xs[] = {350, 302.8f, 258.4f, 216.8f, 178, 142, 108.8f, 78.4f, 50.8f};
    g.Step({Key::Up});
    EXPECT_EQ(g.form.Dashing, True);
    EXPECT_NEAR(g.form.BallX, xs[0], 1e-3);
    for (int i = 1; i < 9; ++i) {
        g.Step({Key::Up, Key::Right, Key::Space});   // ignored while dashing
        ASSERT_EQ(g.form.Dashing, True) << "frame " << i + 1;
        EXPECT_NEAR(g.form.BallX, xs[i], 1e-3) << "frame " << i + 1;
    }
    g.Step();
    EXPECT_EQ(g.form.Dashing, 0);
    EXPECT_FLOAT_EQ(g.form.BallX, 43);
    EXPECT_NEAR(g.form.BallY, 406.75, 0.01);
    EXPECT_EQ(g.form.BallVY, 0);
    EXPECT_FLOAT_EQ(g.form.BallVX, 2.5f);
    // 531 at level 1; the gauge has already taken this frame's one off.
    EXPECT_EQ(g.form.DashCooldown, 530);
    // Three particles on each of nine frames, seventeen at the strike.
    EXPECT_EQ(LiveParticles(g.form), 9 * 3 + 17);

    // The bell rang once and was panned after the ball every dash frame.
    const auto bell = g.SoundsOf(SoundId::Bell);
    ASSERT_EQ(bell.size(), 12u);
    EXPECT_EQ(bell[0].Op, SoundOp::Pan);
    EXPECT_EQ(bell[0].Value, PanFromX(400));
    EXPECT_EQ(bell[1].Op, SoundOp::Play);
    for (size_t i = 2; i < bell.size(); ++i) EXPECT_EQ(bell[i].Op, SoundOp::Pan);
    EXPECT_EQ(bell.back().Value, PanFromX(42));
}

TEST(PlaySpecial, DashCooldownFollowsTheLevel) {
    PlayGame g;
    FormMain& f = g.form;
    for (auto [level, cooldown] : {std::pair{1, 531}, {10, 450}, {24, 324}, {25, 320}, {80, 320}}) {
        f.Level = level;
        f.Dashing = True;
        f.BallX = 42;   // the wall was struck in this frame's move, which reversed the speed
        f.BallVX = 30;
        f.BallY = 400;
        f.BallVY = 3;
        f.DashStep();
        EXPECT_EQ(f.Dashing, 0);
        EXPECT_FLOAT_EQ(f.BallX, 43);
        EXPECT_FLOAT_EQ(f.BallVX, 2.5f);
        EXPECT_EQ(f.BallVY, 0);
        EXPECT_EQ(f.DashCooldown, cooldown) << "level " << level;
    }
}

TEST(PlaySpecial, DashEndsWhenItLandsOrStops) {
    PlayGame g;
    FormMain& f = g.form;
    f.Dashing = True;
    f.BallX = 300;
    f.BallVX = -20;
    f.BallY = 450;
    f.DashStep();
    EXPECT_EQ(f.Dashing, 0);
    EXPECT_FLOAT_EQ(f.BallVX, -17.5f);
    EXPECT_EQ(LiveParticles(f), 3);
    // Sprayed backward, at a quarter of the ball's speed.
    EXPECT_GE(f.Particles[0].VX, 5 - 7);
    EXPECT_LE(f.Particles[0].VX, 5 + 3.5);

    f.Dashing = True;
    f.BallY = 300;
    f.BallVX = -2.4f;
    f.DashStep();
    EXPECT_EQ(f.Dashing, 0);   // speed reached 0.1
}

TEST(PlaySpecial, DashStartingAtTheWallStrikesAtOnce) {
    PlayGame g;
    g.form.BallX = 42;
    g.Step({Key::Up});
    EXPECT_EQ(g.form.Dashing, 0);
    EXPECT_FLOAT_EQ(g.form.BallX, 43);
    EXPECT_FLOAT_EQ(g.form.BallVX, 2.5f);
}

TEST(PlaySpecial, NoDashWhileAShotFliesOrCoolingDown) {
    PlayGame g;
    FormMain& f = g.form;
    f.ShotX = 300;
    f.UpKey();
    EXPECT_EQ(f.Dashing, 0);
    EXPECT_EQ(LiveParticles(f), 0);

    f.ShotX = 9999;
    f.DashCooldown = 150;   // neither ready nor smoking
    f.UpKey();
    EXPECT_EQ(f.Dashing, 0);
    EXPECT_EQ(f.DashCooldown, 150);
    EXPECT_EQ(LiveParticles(f), 0);

    f.DashCooldown = 0;
    f.HighJump = True;
    f.UpKey();
    EXPECT_EQ(f.Dashing, 0);
    EXPECT_TRUE(g.host.SoundLog.empty());
}

TEST(PlaySpecial, SmokePuffWritesSlotsZeroToFiveInDrawOrder) {
    PlayGame g;
    FormMain& f = g.form;
    f.DashCooldown = 200;
    f.BallX = 300;
    f.BallVX = 2;
    f.Particles[3].X = 10;   // in use or not, the puff takes it
    f.Particles[3].Timer = 99;

    Random r = f.Rng;
    f.UpKey();
    EXPECT_EQ(f.DashCooldown, 240);
    for (int k = 0; k <= 5; ++k) {
        const Particle& p = f.Particles[k];
        EXPECT_FLOAT_EQ(p.X, static_cast<float>(300 + r.Next() * 12.0 - 6));
        EXPECT_FLOAT_EQ(p.Y, static_cast<float>(450 + r.Next() * 8.0 - 4));
        EXPECT_EQ(p.Kind, static_cast<int16_t>(Int(r.Next() * 2.0)));
        EXPECT_EQ(p.Timer, CLng(r.Next() * 12.0 + 20));
        EXPECT_FLOAT_EQ(p.VX, static_cast<float>(r.Next() * (2 * 1.5 + 4) + 2));
        EXPECT_FLOAT_EQ(p.VY, static_cast<float>(r.Next() * 8.0 - 4));
    }
    EXPECT_EQ(f.Rng.State, r.State);

    // Slot 0 still busy: nothing more.
    f.UpKey();
    EXPECT_EQ(f.DashCooldown, 240);

    // The cooldown climbs by 40 per puff up to 540.
    f.Particles[0].X = 9999;
    f.DashCooldown = 520;
    f.UpKey();
    EXPECT_EQ(f.DashCooldown, 540);
}

TEST(PlaySpecial, HighJumpFromTheGroundOrWhileRising) {
    PlayGame g;
    FormMain& f = g.form;
    f.BallKind = 1;
    f.KindTimer = 500;
    f.ComboCount = 7;
    f.GraceTimer = 0;
    f.UpKey();
    EXPECT_FLOAT_EQ(f.BallVY, -30);
    EXPECT_EQ(f.HighJump, True);
    EXPECT_EQ(f.OnGround, 0);
    EXPECT_EQ(f.ComboCount, 0);
    EXPECT_EQ(f.GraceTimer, 20);
    const std::vector<SoundCall> jump = {{SoundId::HighJump, SoundOp::Pan, PanFromX(f.BallX)},
                                         {SoundId::HighJump, SoundOp::Play, 0}};
    EXPECT_EQ(g.SoundsOf(SoundId::HighJump), jump);

    // A rising plain jump becomes a high jump; combo stays with the jump.
    f.HighJump = False;
    f.OnGround = False;
    f.ComboCount = 3;
    f.BallVY = -6;
    f.UpKey();
    EXPECT_FLOAT_EQ(f.BallVY, -30);
    EXPECT_EQ(f.ComboCount, 3);

    // Not while falling, nor on shaking ground, nor twice.
    f.HighJump = False;
    f.BallVY = 0.5f;
    f.UpKey();
    EXPECT_FLOAT_EQ(f.BallVY, 0.5f);
    f.BallVY = -2;
    f.QuakeTimer = 4;
    f.UpKey();
    EXPECT_FLOAT_EQ(f.BallVY, -2);
    f.QuakeTimer = 0;
    f.HighJump = True;
    f.UpKey();
    EXPECT_FLOAT_EQ(f.BallVY, -2);
}

TEST(PlaySpecial, ShooterFiresOneShotAtATime) {
    PlayGame g;
    FormMain& f = g.form;
    f.BallKind = 2;
    f.BallX = 250;
    f.BallY = 420;
    f.UpKey();
    EXPECT_FLOAT_EQ(f.ShotX, 250);
    EXPECT_FLOAT_EQ(f.ShotY, 420);
    EXPECT_FLOAT_EQ(f.ShotVX, 7);
    EXPECT_EQ(g.SoundsOf(SoundId::Naki).size(), 2u);

    f.BallX = 300;
    f.UpKey();
    EXPECT_FLOAT_EQ(f.ShotX, 250);
    EXPECT_EQ(g.SoundsOf(SoundId::Naki).size(), 2u);
}

}  // namespace
}  // namespace pm::test
