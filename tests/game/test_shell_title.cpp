#include <gtest/gtest.h>

#include "harness.h"
#include "test_shell_draws.h"

namespace pm {
namespace {

using test::DrawLog;
using test::Game;

void TitleStart(FormMain& f) {
    f.GameState = 0;
    f.BannerTextX = 248;
    f.BannerTextY = 270;
    f.BannerTextSpeed = 2;
    f.BannerTextPause = 160;
}

TEST(Title, BannerTextRestsDriftsWrapsAndRestsAgain) {
    Game g;
    DrawLog log;
    g.host.Draws = &log;
    TitleStart(g.form);

    // Expected path: 160 frames at rest on 270, down 2 a frame to 328, the
    // frame that would reach 330 shows 170, down to 270, where it rests the
    // frame it arrives and 140 more, then moves on.
    std::vector<int32_t> expected;
    for (int i = 0; i < 160; ++i) expected.push_back(270);
    for (int y = 272; y <= 328; y += 2) expected.push_back(y);
    for (int y = 170; y < 270; y += 2) expected.push_back(y);
    for (int i = 0; i < 141; ++i) expected.push_back(270);
    for (int y = 272; expected.size() < 400; y += 2) expected.push_back(y);

    for (size_t frame = 0; frame < 400; ++frame) {
        log.Calls.clear();
        ASSERT_TRUE(g.Step());
        const auto copies = log.Of(g.form.LabelRects[1]);
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_EQ(copies[0].X, 248);
        ASSERT_EQ(copies[0].Y, expected[frame]) << "frame " << frame + 1;
    }
    EXPECT_EQ(g.form.BannerTextY, 310.0f);
}

TEST(Title, DrawsBannerLogoTextAndHelpInOrder) {
    Game g;
    DrawLog log;
    g.host.Draws = &log;
    TitleStart(g.form);
    g.form.GroundFrame = 7;
    g.Step();
    EXPECT_EQ(g.form.GroundFrame, 0);

    std::vector<std::string> seq;
    for (const auto& c : log.Calls) {
        if (c.Op == "opaque" && c.Surface == "PinkLineSurface") {
            EXPECT_EQ(c.X, 216);
            EXPECT_EQ(c.Y, 240);
            seq.push_back("banner");
        } else if (c.Surface == "TitleSurface") {
            EXPECT_EQ(c.Op, "keyed");
            EXPECT_EQ(c.X, 188);
            EXPECT_EQ(c.Y, 19);
            seq.push_back("logo");
        } else if (c.Op == "keyed" && c.Source == g.form.LabelRects[1]) {
            seq.push_back("text");
        } else if (c.Op == "text") {
            seq.push_back(c.Text);
        }
    }
    const std::vector<std::string> want = {"banner", "logo", "text",
                                           "   [←]  LEFT MOVE", "   [→]  RIGHT MOVE", "   [↑]  HISSATSU WAZA",
                                           "[SPACE]  JUMP", "  [Del]  BACK TO TITLE", "  [ESC]  QUIT",
                                           "PELLIMUNCH  (C) 2026", "MADE BY THE PELLIMUNCH TEAM"};
    EXPECT_EQ(seq, want);

    std::vector<std::pair<int, int>> at;
    for (const auto& c : log.Calls)
        if (c.Op == "text") at.push_back({c.X, c.Y});
    const std::vector<std::pair<int, int>> wantAt = {{100, 105}, {100, 125}, {100, 145}, {100, 165},
                                                     {100, 185}, {100, 205}, {460, 380}, {460, 400}};
    EXPECT_EQ(at, wantAt);
}

TEST(Title, LeftShiftStartsTheRunAndTheTitleFinishesItsFrame) {
    Game g;
    TitleStart(g.form);
    g.form.BannerTextPause = 0;
    g.form.Score = 99;
    g.Step({Key::LShift});
    EXPECT_EQ(g.form.GameState, 1);
    EXPECT_EQ(g.form.Score, 0);
    EXPECT_EQ(g.form.Lives, 3);
    EXPECT_EQ(g.form.BannerTextY, 272.0f);   // the motion still ran
    EXPECT_EQ(g.form.GroundFrame, 1);
}

}  // namespace
}  // namespace pm
