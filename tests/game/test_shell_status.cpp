#include <gtest/gtest.h>

#include "harness.h"
#include "test_shell_draws.h"

namespace pm {
namespace {

using test::DrawLog;
using test::DigitsAt;
using test::Game;

// A status display with nothing else going on.
struct Status : ::testing::Test {
    Game g;
    DrawLog log;
    void SetUp() override {
        g.host.Draws = &log;
        FormMain& f = g.form;
        for (Popup& p : f.Popups) p.X = 9999;
        f.ChainCount = 0;
        f.ChainBonusTimer = 0;
        f.Fever = False;
        f.Score = 0;
        f.ShownScore = 0;
        f.ExtraLifeGiven = {};
        f.ShineSweep = -16;
        f.ShowHighScore = True;
    }
    void Run() {
        log.Calls.clear();
        g.form.StatusDisplay();
    }
};

TEST_F(Status, ScoreIsShownWithAtLeastFourDigits) {
    const std::pair<int32_t, const char*> cases[] = {{0, "0000"}, {7, "0007"}, {123, "0123"},
                                                     {12345, "12345"}, {2000000000, "2000000000"}};
    for (const auto& [shown, text] : cases) {
        g.form.ShownScore = shown;
        g.form.Score = shown;
        Run();
        EXPECT_EQ(DigitsAt(g.form, log, 529), text);
    }
}

TEST_F(Status, CountUpFrom0To2000) {
    g.form.Score = 2000;
    std::vector<int32_t> shown;
    std::string firstText, secondText;
    for (int frame = 0; frame < 200 && (shown.empty() || shown.back() != 2000); ++frame) {
        Run();
        if (frame == 0) firstText = DigitsAt(g.form, log, 529);
        if (frame == 1) secondText = DigitsAt(g.form, log, 529);
        shown.push_back(g.form.ShownScore);
    }
    // The number drawn is the value before the frame's step.
    EXPECT_EQ(firstText, "0000");
    EXPECT_EQ(secondText, "0111");
    ASSERT_EQ(shown.back(), 2000);
    for (int k = 0; k < 9; ++k) EXPECT_EQ(shown[k], 111 * (k + 1));
    // Then 11 a frame while more than 30 behind, then 1, never past 2000.
    size_t i = 9;
    int32_t prev = shown[8];
    for (; i < shown.size() && shown[i] - prev == 11; ++i) prev = shown[i];
    EXPECT_GT(i, 9u);
    EXPECT_GE(2000 - prev, 20);
    EXPECT_LE(2000 - prev, 31);
    for (; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i] - prev, 1);
        prev = shown[i];
    }
    EXPECT_EQ(shown[9], 1010);
    EXPECT_EQ(shown.size(), 9u + 89u + 22u);   // 1010 to 1978 by 11, 1979 to 2000 by 1
    Run();
    EXPECT_EQ(g.form.ShownScore, 2000);
}

TEST_F(Status, ExtraLivesOnlyInPlayAndOnlySix) {
    g.form.GameState = 1;
    g.form.Lives = 2;
    g.form.ShownScore = 4999;
    g.form.Score = 4999;
    Run();
    EXPECT_EQ(g.form.Lives, 2);
    g.form.ShownScore = 5000;
    g.form.Score = 5000;
    Run();
    EXPECT_EQ(g.form.Lives, 3);
    Run();
    EXPECT_EQ(g.form.Lives, 3);   // once per threshold
    g.form.ShownScore = g.form.Score = 1000000;
    Run();
    EXPECT_EQ(g.form.Lives, 8);   // the remaining five, no more
    for (int16_t given : g.form.ExtraLifeGiven) EXPECT_EQ(given, True);

    // The game-over count-up crosses thresholds without granting lives.
    g.form.ExtraLifeGiven = {};
    g.form.GameState = 3;
    Run();
    EXPECT_EQ(g.form.Lives, 8);
    for (int16_t given : g.form.ExtraLifeGiven) EXPECT_EQ(given, False);
}

TEST_F(Status, LifeIconsLevelAndFeverLabel) {
    g.form.Lives = 3;
    g.form.Level = 100;
    Run();
    const auto icons = log.Of(g.form.LabelRects[8]);
    ASSERT_EQ(icons.size(), 3u);
    EXPECT_EQ(icons[0].X, 76);
    EXPECT_EQ(icons[2].X, 136);
    EXPECT_EQ(icons[0].Y, 12);
    EXPECT_EQ(DigitsAt(g.form, log, 522), "10");   // two digits at most
    EXPECT_EQ(log.Of(g.form.LabelRects[6]).size(), 1u);
    EXPECT_TRUE(log.Of(g.form.LabelRects[11]).empty());

    g.form.Lives = -1;
    g.form.Fever = True;
    Run();
    EXPECT_TRUE(log.Of(g.form.LabelRects[8]).empty());
    EXPECT_EQ(log.Of(g.form.LabelRects[11]).size(), 1u);
    EXPECT_EQ(DigitsAt(g.form, log, 522), "");
}

TEST_F(Status, HighScoreOnlyWhileShown) {
    g.form.HighScore = 98765;
    Run();
    EXPECT_EQ(DigitsAt(g.form, log, 536), "98765");
    g.form.ShowHighScore = False;
    Run();
    EXPECT_EQ(DigitsAt(g.form, log, 536), "");
    EXPECT_TRUE(log.Of(g.form.LabelRects[9]).empty());
}

TEST_F(Status, ChainCounterFrom30OutsideAFever) {
    g.form.ChainCount = 29;
    Run();
    EXPECT_EQ(DigitsAt(g.form, log, 1), "");
    g.form.ChainCount = 30;
    g.form.ChainShine = 0;
    Run();
    EXPECT_EQ(DigitsAt(g.form, log, 1), "30");
    EXPECT_EQ(g.form.ChainShine, 0.25f);
    const auto label = log.Of(g.form.LabelRects[3]);
    ASSERT_EQ(label.size(), 1u);
    EXPECT_EQ(label[0].X, 586 + 44 + 5);

    // The shine climbs to 50 and restarts at 1 on a multiple of ten.
    g.form.ChainCount = 31;
    g.form.ChainShine = 49.9f;
    Run();
    EXPECT_EQ(g.form.ChainShine, 50.0f);
    g.form.ChainCount = 40;
    Run();
    EXPECT_EQ(g.form.ChainShine, 1.0f);

    g.form.Fever = True;
    Run();
    EXPECT_EQ(DigitsAt(g.form, log, 1), "");
}

TEST_F(Status, ChainBonusEarnedInPlayRunsItsPhases) {
    g.form.ChainBonusTimer = 430;
    g.form.LastChainCount = 45;
    g.form.ChainBonus = 170;
    g.form.Score = 1000;
    g.form.ShownScore = 1000;
    std::string phases;
    char last = 0;
    for (int frame = 0; frame < 430; ++frame) {
        Run();
        const bool mark = !log.Of(g.form.LabelRects[4]).empty();
        const std::string digits = DigitsAt(g.form, log, 1);
        char now = '-';
        if (mark) {
            EXPECT_EQ(digits, "170");
            now = 'B';
        } else if (!digits.empty()) {
            EXPECT_EQ(digits, "45");
            EXPECT_EQ(log.Of(g.form.LabelRects[3]).size(), 1u);
            now = 'C';
        }
        if (g.form.ChainBonusTimer == 259) {
            EXPECT_EQ(g.form.Score, 1170);
        }
        if (g.form.ChainBonusTimer == 260) {
            EXPECT_EQ(g.form.Score, 1000);
        }
        if (now != last) phases += now;
        last = now;
    }
    EXPECT_EQ(phases, "-B-C-B");
    EXPECT_EQ(g.form.ChainBonusTimer, 0);
    Run();   // an idle timer draws nothing
    EXPECT_TRUE(log.Of(g.form.LabelRects[4]).empty());
}

}  // namespace
}  // namespace pm
