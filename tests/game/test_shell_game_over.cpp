#include <gtest/gtest.h>

#include <algorithm>

#include "harness.h"
#include "test_shell_draws.h"

namespace pm {
namespace {

using test::DrawLog;
using test::Game;

int HighScorePlays(const HeadlessHost& host) {
    return static_cast<int>(std::count(host.SoundLog.begin(), host.SoundLog.end(),
                                       SoundCall{SoundId::HighScore, SoundOp::Play, 0}));
}

struct GameOver : ::testing::Test {
    Game g;
    DrawLog log;
    void SetUp() override {
        g.host.Draws = &log;
        FormMain& f = g.form;
        f.GameState = 3;
        f.GameOverTimer = 0;
        f.ChainBonusTimer = 0;
        f.ChainCount = 0;
        for (Popup& p : f.Popups) p.X = 9999;
        g.host.SoundLog.clear();
    }
};

TEST_F(GameOver, HighScoreClimbsTo20000AndSoundsOnceWhenItArrives) {
    g.form.HighScore = 1000;
    g.form.Score = g.form.ShownScore = 20000;
    std::vector<int32_t> steps;
    int32_t prev = g.form.HighScore;
    int frames = 0;
    while (g.form.GameState == 3 && frames < 1000) {
        g.host.SoundLog.clear();
        g.Step();
        ++frames;
        const int32_t now = g.form.HighScore;
        ASSERT_LE(now, 20000);
        if (now != prev) steps.push_back(now - prev);
        // The sound plays in exactly the frame the two meet.
        EXPECT_EQ(HighScorePlays(g.host), now == 20000 && prev != 20000 ? 1 : 0) << "frame " << frames;
        prev = now;
    }
    EXPECT_EQ(g.form.HighScore, 20000);
    EXPECT_EQ(g.form.GameState, 0);
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.front(), 1111);
    EXPECT_EQ(steps.back(), 1);
    // Steps only shrink, through 1111, 111, 11 and 1.
    for (size_t i = 0; i < steps.size(); ++i) {
        EXPECT_TRUE(steps[i] == 1111 || steps[i] == 111 || steps[i] == 11 || steps[i] == 1) << steps[i];
        if (i > 0) {
            EXPECT_LE(steps[i], steps[i - 1]);
        }
    }
    EXPECT_NE(std::find(steps.begin(), steps.end(), 111), steps.end());
    EXPECT_NE(std::find(steps.begin(), steps.end(), 11), steps.end());
    // The frame after the climb ends hands over to the title.
    EXPECT_EQ(frames, static_cast<int>(steps.size()) + 1);
}

TEST_F(GameOver, NothingPendingHandsOverInTheFirstFrame) {
    g.form.HighScore = 5000;
    g.form.Score = g.form.ShownScore = 300;
    g.form.Lives = 0;
    g.Step({Key::LShift});   // Shift does nothing in this frame
    EXPECT_EQ(g.form.GameState, 0);
    EXPECT_EQ(g.form.HighScore, 5000);
    EXPECT_EQ(HighScorePlays(g.host), 0);
    EXPECT_EQ(log.Of(g.form.LabelRects[10]).size(), 1u);
    EXPECT_EQ(log.Of(g.form.LabelRects[10])[0].X, 293);
    EXPECT_EQ(log.Of(g.form.LabelRects[10])[0].Y, 200);
    g.Step({Key::LShift});   // the title, one frame later, starts the run
    EXPECT_EQ(g.form.GameState, 1);
}

TEST_F(GameOver, WaitsForTimerCountUpAndChainBonus) {
    g.form.HighScore = 5000;
    g.form.Score = g.form.ShownScore = 300;
    g.form.GameOverTimer = 130;
    const int16_t ground = g.form.GroundFrame;
    int frames = 0;
    while (g.form.GameState == 3 && frames < 1000) {
        g.Step();
        ++frames;
    }
    EXPECT_EQ(frames, 131);
    EXPECT_EQ(g.form.GameOverTimer, 0);
    EXPECT_EQ(g.form.GroundFrame, (ground + 131) % 8);

    // A score still counting up keeps the state.
    g.form.GameState = 3;
    g.form.Score = 350;
    g.form.ShownScore = 300;
    g.Step();
    EXPECT_EQ(g.form.GameState, 3);

    // So does a chain bonus on display.
    g.form.ShownScore = g.form.Score;
    g.form.ChainBonusTimer = 2;
    g.Step();
    EXPECT_EQ(g.form.GameState, 3);
    g.Step();
    EXPECT_EQ(g.form.GameState, 3);   // it began the frame at 1
    g.Step();
    EXPECT_EQ(g.form.GameState, 0);
}

TEST_F(GameOver, SoundRepeatsWhileTheShownScoreIsStillRising) {
    g.form.HighScore = 1000;
    g.form.ShownScore = 1000;
    g.form.Score = 1005;
    int plays = 0;
    for (int i = 0; i < 10 && g.form.GameState == 3; ++i) {
        g.host.SoundLog.clear();
        g.Step();
        plays += HighScorePlays(g.host);
        EXPECT_LE(g.form.HighScore, g.form.ShownScore);
    }
    EXPECT_EQ(g.form.HighScore, 1005);
    EXPECT_EQ(plays, 5);
}

TEST_F(GameOver, EscapeKeepsTheValueReachedSoFar) {
    g.form.HighScore = 1000;
    g.form.Score = g.form.ShownScore = 20000;
    for (int i = 0; i < 3; ++i) g.Step();
    EXPECT_EQ(g.form.HighScore, 1000 + 3 * 1111);
    EXPECT_FALSE(g.Step({Key::Escape}));
    EXPECT_EQ(g.form.HighScore, 4333);
}

}  // namespace
}  // namespace pm
