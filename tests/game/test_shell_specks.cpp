#include <gtest/gtest.h>

#include "harness.h"
#include "test_shell_draws.h"

namespace pm {
namespace {

using test::DrawLog;
using test::Game;

TEST(Specks, FillDrawsInOrderAndStaysInRange) {
    Game g(777);
    FormMain& f = g.form;
    const Random start = f.Rng;
    Random r = f.Rng;
    f.FillSpecks();

    // Speck 0 by hand: x, the waiting test, (delay), y, vx, vy, kind.
    const float x = r.Next();
    const float wait = r.Next();
    float delay = 0;
    if (wait > 0.6f) delay = r.Next();
    const float y = r.Next(), vx = r.Next(), vy = r.Next(), kind = r.Next();
    const Speck& s = f.Specks[0];
    EXPECT_EQ(s.X, wait > 0.6f ? 9999.0f : static_cast<float>(x * 800.0));
    EXPECT_EQ(s.Delay, wait > 0.6f ? static_cast<int32_t>(Int(delay * 130.0)) : 0);
    EXPECT_EQ(s.Y, static_cast<float>(y * 450.0));
    EXPECT_EQ(s.VX, static_cast<float>(-(vx * 9.0 + 1)));
    EXPECT_EQ(s.VY, static_cast<float>(vy * 5.0));
    EXPECT_EQ(s.Kind, static_cast<int16_t>(Int(kind * 9.0)));

    int waiting = 0;
    for (const Speck& sp : f.Specks) {
        if (sp.X == 9999) {
            ++waiting;
            EXPECT_GE(sp.Delay, 0);
            EXPECT_LE(sp.Delay, 129);
        } else {
            EXPECT_GE(sp.X, 0);
            EXPECT_LT(sp.X, 800);
            EXPECT_EQ(sp.Delay, 0);
        }
        EXPECT_GE(sp.Y, 0);
        EXPECT_LT(sp.Y, 450);
        EXPECT_LE(sp.VX, -1);
        EXPECT_GT(sp.VX, -10);
        EXPECT_GE(sp.Kind, 0);
        EXPECT_LE(sp.Kind, 8);
    }
    EXPECT_GT(waiting, 0);
    EXPECT_LT(waiting, 31);

    // Six draws a speck, and one more for each waiting one.
    Random replay = start;
    for (int i = 0; i < 31 * 6 + waiting; ++i) replay.Next();
    EXPECT_EQ(replay.State, f.Rng.State);
}

// Every speck parked far away waiting, so single specks can be studied.
void Park(FormMain& f) {
    for (Speck& s : f.Specks) s = {9999, 0, 0, 0, 1000000, 0};
}

TEST(Specks, WaitingSpeckReentersUndrawnThenMoves) {
    Game g;
    FormMain& f = g.form;
    DrawLog log;
    g.host.Draws = &log;
    Park(f);
    f.Fever = False;
    f.Specks[3] = {9999, 0, 0, 0, 1, 0};
    Random r = f.Rng;
    f.UpdateSpecks();
    EXPECT_TRUE(log.Calls.empty());
    const Speck s = f.Specks[3];
    EXPECT_NE(s.X, 9999.0f);
    const float r1 = r.Next();
    if (r1 > 0.4f) {
        EXPECT_EQ(s.X, 790.0f);
    } else {
        EXPECT_EQ(s.Y, 0.0f);
    }
    r.Next();
    const float r2 = r.Next();
    if (r2 > 0.8) {
        EXPECT_GE(s.Kind, 5);
        EXPECT_LE(s.VX, -5);
        EXPECT_GE(s.VY, 2);
    } else {
        EXPECT_LE(s.Kind, 4);
        EXPECT_LE(s.VX, -1);
        EXPECT_GE(s.VY, 1);
    }
    for (int i = 0; i < 3; ++i) r.Next();
    EXPECT_EQ(r.State, f.Rng.State);   // six draws for one re-entry

    f.UpdateSpecks();
    ASSERT_EQ(log.Calls.size(), 1u);
    EXPECT_EQ(log.Calls[0].Source, f.SpeckRects[s.Kind]);
    EXPECT_EQ(log.Calls[0].X, CLng(static_cast<float>(s.X + s.VX)));
    EXPECT_EQ(log.Calls[0].Y, CLng(static_cast<float>(s.Y + s.VY)));
}

TEST(Specks, FeverDoublesTheSpeedOfNewcomersOnly) {
    Game a(31), b(31);
    for (Game* g : {&a, &b}) {
        Park(g->form);
        g->form.Specks[0] = {9999, 0, 0, 0, 0, 0};
        g->form.Specks[1] = {300, 100, -2, 1, 0, 1};
    }
    b.form.Fever = True;
    a.form.Fever = False;
    a.form.UpdateSpecks();
    b.form.UpdateSpecks();
    EXPECT_EQ(b.form.Specks[0].VX, a.form.Specks[0].VX * 2);
    EXPECT_EQ(b.form.Specks[0].VY, a.form.Specks[0].VY * 2);
    EXPECT_EQ(b.form.Specks[1].VX, -2.0f);
}

TEST(Specks, LeavingAtTheEdgesIsNotDrawn) {
    Game g;
    FormMain& f = g.form;
    DrawLog log;
    g.host.Draws = &log;
    Park(f);
    f.Specks[0] = {2, 100, -2, 0, 0, 0};     // reaches x = 0 exactly
    f.Specks[1] = {300, 460, 0, 4, 0, 0};    // reaches y = 464 exactly
    f.Specks[2] = {300, 459, 0, 4, 0, 0};    // y 463: still drawn
    f.UpdateSpecks();
    EXPECT_EQ(f.Specks[0].X, 9999.0f);
    EXPECT_EQ(f.Specks[1].X, 9999.0f);
    EXPECT_GE(f.Specks[0].Delay, 0);
    EXPECT_LE(f.Specks[0].Delay, 179);
    ASSERT_EQ(log.Calls.size(), 1u);
    EXPECT_EQ(log.Calls[0].Y, 463);
}

TEST(Specks, QuakeKickThrowsEverySpeckDown) {
    Game g;
    FormMain& f = g.form;
    Park(f);
    f.Specks[0] = {300, 100, -3, 1.5f, 0, 2};
    Random r = f.Rng;
    f.QuakeKickSpecks();
    for (int i = 0; i < 31; ++i) r.Next();
    EXPECT_EQ(r.State, f.Rng.State);
    EXPECT_EQ(f.Specks[0].VX, 0.0f);
    EXPECT_EQ(f.Specks[0].VY, 6.5f);
    for (const Speck& s : f.Specks) {
        EXPECT_GE(s.Delay, 0);
        EXPECT_LE(s.Delay, 9);
    }
    // A waiting speck kicked to delay 0 comes back on its next update.
    f.Specks[5] = {9999, 0, 0, 5, 0, 0};
    f.UpdateSpecks();
    EXPECT_NE(f.Specks[5].X, 9999.0f);
}

}  // namespace
}  // namespace pm
