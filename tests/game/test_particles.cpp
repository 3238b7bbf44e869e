// The particle list: where sprays land, what they draw from the generator,
// how long particles live and how the game-over shower waits and falls.
#include <gtest/gtest.h>

#include <cmath>

#include "test_items_support.h"

namespace pm::test {
namespace {

constexpr float kFree = 9999.0f;

int LiveCount(const FormMain& f) {
    int n = 0;
    for (const Particle& p : f.Particles) n += p.X != kFree;
    return n;
}

void FreeAll(FormMain& f) {
    for (Particle& p : f.Particles) p.X = kFree;
}

TEST(Particles, BallSprayAddsCountPlusOneIntoTheLowestFreeSlots) {
    Game g;
    FormMain& f = g.form;
    FreeAll(f);
    f.SpawnBallSpray(0, 0, 0, 10, 4);
    EXPECT_EQ(LiveCount(f), 1);
    EXPECT_NE(f.Particles[0].X, kFree);
    f.SpawnBallSpray(4, 0, 0, 10, 4);
    EXPECT_EQ(LiveCount(f), 6);
    for (int i = 0; i < 6; ++i) EXPECT_NE(f.Particles[i].X, kFree) << i;

    const uint32_t before = f.Rng.State;
    f.SpawnBallSpray(-1, 0, 0, 10, 4);
    EXPECT_EQ(LiveCount(f), 6);
    EXPECT_EQ(f.Rng.State, before);

    // Holes are filled first, from the lowest.
    f.Particles[3].X = kFree;
    f.Particles[1].X = kFree;
    const float untouched = f.Particles[2].X;
    f.SpawnBallSpray(2, 0, 0, 10, 4);
    EXPECT_NE(f.Particles[1].X, kFree);
    EXPECT_NE(f.Particles[3].X, kFree);
    EXPECT_NE(f.Particles[6].X, kFree);
    EXPECT_EQ(f.Particles[7].X, kFree);
    EXPECT_EQ(f.Particles[2].X, untouched);
}

TEST(Particles, FullListTakesNothingAndDrawsNoRandomNumbers) {
    Game g;
    FormMain& f = g.form;
    for (Particle& p : f.Particles) {
        p.X = 50;
        p.Timer = 7;
    }
    const uint32_t before = f.Rng.State;
    f.SpawnBallSpray(5, 1, 1, 10, 4);
    f.SpawnSpotSpray(5, 1, 1, 10, 4);
    EXPECT_EQ(f.Rng.State, before);
    for (const Particle& p : f.Particles) EXPECT_EQ(p.Timer, 7);

    // The last free slot is taken by the first round; the rest find nothing.
    f.Particles[63].X = kFree;
    f.SpawnBallSpray(3, 1, 1, 10, 4);
    EXPECT_NE(f.Particles[63].X, kFree);
    Random replay;
    replay.State = before;
    for (int i = 0; i < 7; ++i) replay.Next();   // one particle's worth
    EXPECT_EQ(f.Rng.State, replay.State);
}

TEST(Particles, BallSprayDrawsItsNumbersInOrder) {
    Game g;
    FormMain& f = g.form;
    FreeAll(f);
    f.BallX = 300.25f;
    f.BallY = 420.5f;
    Random r = f.Rng;
    f.SpawnBallSpray(0, -2.0f, -3.0f, 20, 7);
    const double x = r.Next(), y = r.Next(), r1 = r.Next(), r2 = r.Next(), t = r.Next(), k = r.Next(),
                 vy = r.Next();
    const Particle& p = f.Particles[0];
    EXPECT_EQ(p.X, static_cast<float>(x * 6 + 300.25 + 4));
    EXPECT_EQ(p.Y, static_cast<float>(y * 12 + 420.5 - 6));
    EXPECT_EQ(p.VX, static_cast<float>(r1 * 7 / 2 + -2.0 - r2 * 7));
    EXPECT_EQ(p.Timer, static_cast<int32_t>(std::floor(t * 7 * 1.5)) + 20);
    EXPECT_EQ(p.Kind, static_cast<int16_t>(std::floor(2 * k)));
    EXPECT_EQ(p.VY, static_cast<float>(vy * 7 + -3.0));
    EXPECT_EQ(f.Rng.State, r.State);
    // VX leans to the lower side: vx - spread up to vx + spread / 2.
    EXPECT_GE(p.VX, -2.0f - 7);
    EXPECT_LT(p.VX, -2.0f + 3.5f);
}

TEST(Particles, SpotSprayTrailsTheShot) {
    Game g;
    FormMain& f = g.form;
    FreeAll(f);
    f.ShotX = 500;
    f.ShotY = 300;
    Random r = f.Rng;
    f.SpawnSpotSpray(1, -14.0f, 0.5f, 20, 4);
    EXPECT_EQ(LiveCount(f), 2);
    for (int i = 0; i < 2; ++i) {
        const double x = r.Next(), y = r.Next(), r1 = r.Next(), r2 = r.Next(), t = r.Next(), k = r.Next(),
                     vy = r.Next();
        const Particle& p = f.Particles[i];
        EXPECT_EQ(p.X, static_cast<float>(500 - x * 16));
        EXPECT_EQ(p.Y, static_cast<float>(y * 52 + 300 - 26));
        EXPECT_EQ(p.VX, static_cast<float>(r1 * 4 / 2 + -14.0 - r2 * 4));
        EXPECT_EQ(p.Timer, static_cast<int32_t>(std::floor(t * 4 * 1.5)) + 20);
        EXPECT_EQ(p.Kind, static_cast<int16_t>(std::floor(2 * k)));
        EXPECT_EQ(p.VY, static_cast<float>(vy * 3 + 0.5 - 1.5));   // spread does not widen VY
    }
}

TEST(Particles, SpawnParticleAimsByDegreesAndOverwritesItsSlot) {
    Game g;
    FormMain& f = g.form;
    f.BallX = 123;
    f.BallY = 456;
    f.Particles[7] = {1, 2, 3, 4, 99, 1};
    f.SpawnParticle(0, 5, 7);
    const Particle& p = f.Particles[7];
    EXPECT_EQ(p.X, 123);
    EXPECT_EQ(p.Y, 456);
    EXPECT_FLOAT_EQ(p.VX, 5);
    EXPECT_FLOAT_EQ(p.VY, 0);
    EXPECT_TRUE(p.Kind == 0 || p.Kind == 1);
    EXPECT_GE(p.Timer, 10);
    EXPECT_LE(p.Timer, 40);

    f.SpawnParticle(90, 5, 8);
    EXPECT_NEAR(f.Particles[8].VX, 5 * std::cos(1.5705), 1e-6);
    EXPECT_NEAR(f.Particles[8].VY, -5, 1e-5);

    // A slot outside the list is ignored.
    const uint32_t before = f.Rng.State;
    f.SpawnParticle(0, 5, 64);
    f.SpawnParticle(0, 5, -1);
    EXPECT_EQ(f.Rng.State, before);
}

TEST(Particles, PlayStepDrawsEveryFrameOfALifeThenFrees) {
    ItemsGame g;
    FormMain& f = g.form;
    FreeAll(f);
    f.Particles[5] = {100, 200, 0, 0, 10, 1};
    for (int frame = 1; frame <= 10; ++frame) {
        g.Draws.Calls.clear();
        f.ParticlePlayStep();
        ASSERT_EQ(g.Draws.Of(f.ParticleRects[1]).size(), 1u) << frame;
        EXPECT_EQ(g.Draws.Calls[0].X, 100);
        EXPECT_EQ(g.Draws.Calls[0].Y, 200);
        EXPECT_EQ(f.Particles[5].X == kFree, frame == 10) << frame;
    }
    g.Draws.Calls.clear();
    f.ParticlePlayStep();
    EXPECT_TRUE(g.Draws.Calls.empty());
}

TEST(Particles, PlayStepDampsSpeedAndKeepsCountingOffScreen) {
    ItemsGame g;
    FormMain& f = g.form;
    FreeAll(f);
    f.Particles[0] = {0, 300, 10, 0, 1000, 0};
    float x = 0;
    const double expectedSteps[] = {10, 9.5, 9.025};
    for (double step : expectedSteps) {
        f.ParticlePlayStep();
        EXPECT_NEAR(f.Particles[0].X - x, step, 1e-4);
        x = f.Particles[0].X;
    }
    for (int i = 0; i < 900; ++i) f.ParticlePlayStep();
    EXPECT_LT(f.Particles[0].X, 200);
    EXPECT_GT(f.Particles[0].X, 199);

    // Far off screen it is not drawn, but its life runs out all the same.
    f.Particles[1] = {-500, -500, -3, -3, 4, 0};
    g.Draws.Calls.clear();
    for (int i = 0; i < 4; ++i) f.ParticlePlayStep();
    EXPECT_EQ(f.Particles[1].X, kFree);
}

TEST(Particles, GameOverShowerWaitsThenFalls) {
    ItemsGame g;
    FormMain& f = g.form;
    FreeAll(f);
    f.GameOverTimer = 130;
    f.Particles[0] = {100, 100, 2, -7, 3, 0};
    f.Particles[1] = {200, 100, 1, 1, -4, 1};   // a negative wait never ends
    f.Particles[2] = {300, 100, 1, 0, 0, 0};    // no wait: falls at once

    f.ParticleGameOverStep();
    EXPECT_EQ(f.Particles[0].X, 100);
    EXPECT_EQ(f.Particles[0].Timer, 2);
    EXPECT_EQ(f.Particles[2].X, 301);
    EXPECT_FLOAT_EQ(f.Particles[2].VY, 0.2f);
    f.ParticleGameOverStep();
    EXPECT_EQ(f.Particles[0].X, 100);
    g.Draws.Calls.clear();
    f.ParticleGameOverStep();   // third frame: it moves
    EXPECT_EQ(f.Particles[0].Timer, 0);
    EXPECT_EQ(f.Particles[0].X, 102);
    EXPECT_EQ(f.Particles[0].Y, 93);
    EXPECT_FLOAT_EQ(f.Particles[0].VY, -6.8f);
    EXPECT_FLOAT_EQ(f.Particles[0].VX, 2);   // no damping here

    // Once the caption has been up a while, the pull grows to 0.45.
    f.GameOverTimer = 99;
    f.ParticleGameOverStep();
    EXPECT_NEAR(f.Particles[0].VY, -6.35f, 1e-5);
    EXPECT_EQ(f.Particles[0].X, 104);

    EXPECT_EQ(f.Particles[1].X, 200);
    EXPECT_EQ(f.Particles[1].Timer, -4);
    // Nothing is freed by the shower.
    EXPECT_NE(f.Particles[0].X, kFree);
}

}  // namespace
}  // namespace pm::test
