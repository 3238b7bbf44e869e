#include <gtest/gtest.h>

#include "harness.h"
#include "test_shell_draws.h"

namespace pm {
namespace {

using test::DrawLog;
using test::Game;

// A frame with no state block and no specks that need random numbers, so the
// frame's own fixed steps can be watched alone.
void Quiet(FormMain& f) {
    f.GameState = 2;
    for (Speck& s : f.Specks) s = {400, 100, 0, 0, 0, 0};
    for (Popup& p : f.Popups) p.X = 9999;
    f.ChainCount = 0;
    f.ChainBonusTimer = 0;
}

TEST(StartUp, GivesTheFirstTitleItsValues) {
    Game g(12);
    EXPECT_EQ(g.form.GameState, 0);
    EXPECT_EQ(g.form.GroundFrame, 0);
    EXPECT_EQ(g.form.QuitFlag, False);
    EXPECT_EQ(g.form.HighScore, 1000);
    EXPECT_EQ(g.form.Score, 0);
    EXPECT_EQ(g.form.ShownScore, 0);
    EXPECT_EQ(g.form.Level, 1);
    EXPECT_EQ(g.form.Lives, 3);
    EXPECT_EQ(g.form.ScreenRect, (Rect{0, 0, 800, 600}));
    EXPECT_TRUE(g.form.HighScoreLoaded);
    EXPECT_FALSE(g.form.Unloaded);
}

TEST(StartUp, SeedIsTakenModulo24Bits) {
    Game a(5), b(16777216u * 3 + 5);
    EXPECT_EQ(a.form.Rng.State, b.form.Rng.State);
    Game c(6);
    EXPECT_NE(a.form.Rng.State, c.form.Rng.State);
}

TEST(Frame, ClearsThenDrawsTheGroundStripOfTheFrame) {
    Game g;
    DrawLog log;
    g.host.Draws = &log;
    const int strips[8] = {0, 0, 1, 1, 2, 2, 3, 3};
    for (int16_t frame = 0; frame < 8; ++frame) {
        Quiet(g.form);
        g.form.GroundFrame = frame;
        log.Calls.clear();
        ASSERT_TRUE(g.Step());
        ASSERT_GE(log.Calls.size(), 2u);
        EXPECT_EQ(log.Calls[0].Op, "fill");
        EXPECT_EQ(log.Calls[0].Source, (Rect{0, 0, 800, 600}));
        EXPECT_EQ(log.Calls[1].Op, "opaque");
        EXPECT_EQ(log.Calls[1].Surface, "GroundSurface");
        EXPECT_EQ(log.Calls[1].Source, g.form.GroundRects[strips[frame]]) << frame;
        EXPECT_EQ(log.Calls[1].X, 0);
        EXPECT_EQ(log.Calls[1].Y, 467);
        EXPECT_EQ(g.form.GroundFrame, frame);   // only the states move it
    }
}

TEST(Frame, DrawsOneRandomNumberEveryFrameAndShakesTheGroundWithIt) {
    Game g;
    DrawLog log;
    g.host.Draws = &log;
    Quiet(g.form);
    Random expected = g.form.Rng;
    expected.Next();
    g.Step();
    EXPECT_EQ(g.form.Rng.State, expected.State);   // drawn though unused

    int seen[8] = {};
    for (int i = 0; i < 300; ++i) {
        Quiet(g.form);
        g.form.QuakeTimer = 5;
        Random copy = g.form.Rng;
        const float r = copy.Next();
        log.Calls.clear();
        g.Step();
        const int32_t y = log.Calls[1].Y;
        EXPECT_EQ(y, CLng(467 + 7 * static_cast<double>(r)));
        ASSERT_GE(y, 467);
        ASSERT_LE(y, 474);
        ++seen[y - 467];
    }
    for (int k = 0; k < 8; ++k) EXPECT_GT(seen[k], 0) << "offset " << k;
}

TEST(Frame, ShineSweepRestartsAtMinus16AndClimbsInSinglePrecision) {
    Game g;
    Quiet(g.form);
    g.form.ShineSweep = 9999;
    g.Step();
    EXPECT_EQ(g.form.ShineSweep, -16.0f);
    g.Step();
    EXPECT_EQ(g.form.ShineSweep, -16.0f + 0.2f);
    float prev = g.form.ShineSweep;
    int frames = 2, wrapAt = 0;
    while (wrapAt == 0 && frames < 400) {
        Quiet(g.form);
        g.Step();
        ++frames;
        const float now = g.form.ShineSweep;
        ASSERT_LT(now, 40.0f);
        if (now < prev) {
            EXPECT_EQ(now, -16.0f);
            wrapAt = frames;
        } else {
            EXPECT_EQ(now, prev + 0.2f);
        }
        prev = now;
    }
    // About 56 / 0.2 steps from -16 to 40.
    EXPECT_GE(wrapAt - 1, 280);
    EXPECT_LE(wrapAt - 1, 282);
}

TEST(Frame, SpinAngleAndBlinkAdvance) {
    Game g;
    g.form.SpinAngle = 350;
    g.form.Blink = False;
    Quiet(g.form);
    g.Step();
    EXPECT_EQ(g.form.SpinAngle, 1);
    EXPECT_EQ(g.form.Blink, True);
    Quiet(g.form);
    g.Step();
    EXPECT_EQ(g.form.SpinAngle, 12);
    EXPECT_EQ(g.form.Blink, False);
}

TEST(Frame, ShowHighScoreIsSetBeforeTheStateBlock) {
    Game g;
    DrawLog log;
    g.host.Draws = &log;
    Quiet(g.form);
    g.form.ShowHighScore = False;
    g.Step();
    EXPECT_EQ(g.form.ShowHighScore, True);
    EXPECT_EQ(log.Of(g.form.LabelRects[9]).size(), 1u);
}

TEST(Frame, EscapeEndsAtOnceWithNothingDrawn) {
    Game g;
    DrawLog log;
    g.host.Draws = &log;
    const int32_t before = g.form.SpinAngle;
    EXPECT_FALSE(g.Step({Key::Escape}));
    EXPECT_TRUE(log.Calls.empty());
    EXPECT_EQ(g.host.Presents, 0);
    EXPECT_TRUE(g.form.Unloaded);
    EXPECT_EQ(g.form.SpinAngle, before);
}

TEST(Frame, MousePressEndsAfterTheWholeFrame) {
    Game g;
    DrawLog log;
    g.host.Draws = &log;
    g.host.MousePressed = true;
    EXPECT_FALSE(g.Step());
    EXPECT_EQ(g.host.Presents, 1);
    EXPECT_FALSE(log.Calls.empty());
    EXPECT_EQ(g.form.QuitFlag, True);
    EXPECT_TRUE(g.form.Unloaded);
    log.Calls.clear();
    EXPECT_FALSE(g.Step());
    EXPECT_TRUE(log.Calls.empty());
    EXPECT_EQ(g.host.Presents, 1);
}

TEST(Frame, WindowCloseIsAQuitToo) {
    Game g;
    g.host.CloseRequested = true;
    EXPECT_FALSE(g.Step());
    EXPECT_EQ(g.form.QuitFlag, True);
    EXPECT_FALSE(g.Step());
}

TEST(Driver, StepsUntilTheMousePressAndTheRecordCopiesAsASnapshot) {
    HeadlessHost host;
    FormMain form(host);
    form.Form_Load(1);
    int frames = 0;
    while (form.Step(test::ReadInput(host)) == FrameEnd::GoingOn) {
        if (++frames == 4) host.MousePressed = true;
    }
    EXPECT_EQ(host.Presents, 5);
    EXPECT_TRUE(form.Unloaded);

    // A copy runs on by itself through a host of its own, frame for frame
    // as the original does from the same point.
    HeadlessHost a, b;
    FormMain original(a);
    original.Form_Load(1);
    for (int i = 0; i < 40; ++i) original.Step(test::ReadInput(a));
    FormMain copy = original;
    copy.HostPtr = &b;
    for (int i = 0; i < 200; ++i) {
        a.Keys = b.Keys = {};
        if (i == 3) a.Keys[Key::LShift] = b.Keys[Key::LShift] = 128;
        if (i > 10) a.Keys[Key::Right] = b.Keys[Key::Right] = 128;
        ASSERT_EQ(original.Step(test::ReadInput(a)), FrameEnd::GoingOn);
        ASSERT_EQ(copy.Step(test::ReadInput(b)), FrameEnd::GoingOn);
    }
    EXPECT_EQ(copy.BallX, original.BallX);
    EXPECT_EQ(copy.Rng.State, original.Rng.State);
    EXPECT_EQ(copy.BackBuffer.Pixels, original.BackBuffer.Pixels);
    EXPECT_EQ(a.SoundLog, b.SoundLog);
    EXPECT_EQ(b.Presents, 200);
}

TEST(States, ShiftInTheTitleStartsPlayFromTheNextFrame) {
    Game g;
    DrawLog log;
    g.host.Draws = &log;
    g.form.Score = 450;
    g.form.Level = 7;
    g.Step();
    EXPECT_EQ(g.form.Lives, -1);
    EXPECT_TRUE(log.Of(g.form.LabelRects[8]).empty());   // no life icons in the title
    log.Calls.clear();
    g.Step({Key::RShift});
    EXPECT_EQ(g.form.GameState, 1);
    EXPECT_EQ(g.form.Score, 0);
    EXPECT_EQ(g.form.Level, 1);
    EXPECT_EQ(g.form.Lives, 3);
    // The title is still drawn in full, and the new run's lives already show.
    EXPECT_EQ(log.Of(g.form.LogoRect).size(), 1u);
    EXPECT_EQ(log.Of(g.form.LabelRects[8]).size(), 3u);
}

TEST(States, UnknownStateRunsNoBlock) {
    Game g;
    g.form.GameState = 2;
    g.form.Lives = 2;
    const int16_t ground = g.form.GroundFrame;
    g.Step({Key::LShift});
    EXPECT_EQ(g.form.GameState, 2);
    EXPECT_EQ(g.form.Lives, 2);
    EXPECT_EQ(g.form.GroundFrame, ground);
}

}  // namespace
}  // namespace pm
