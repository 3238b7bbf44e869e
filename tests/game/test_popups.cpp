#include <gtest/gtest.h>

#include "harness.h"
#include "test_shell_draws.h"

namespace pm {
namespace {

using test::DrawLog;
using test::DigitOf;
using test::Game;

struct Popups : ::testing::Test {
    Game g;
    DrawLog log;
    void SetUp() override {
        g.host.Draws = &log;
        for (Popup& p : g.form.Popups) p = {9999, 0, 0, 0, 0};
        g.host.SoundLog.clear();
    }
};

TEST_F(Popups, KindFollowsCountSpecialAndFever) {
    FormMain& f = g.form;
    f.SpawnPopup(2, 0, 100, 200, 0);
    EXPECT_EQ(f.Popups[0].Kind, 2);
    EXPECT_EQ(f.Popups[0].X, 92);
    EXPECT_EQ(f.Popups[0].Y, 213.0f);
    EXPECT_EQ(f.Popups[0].VY, -1.0f);
    EXPECT_EQ(f.Popups[0].Timer, 80);
    EXPECT_TRUE(g.host.SoundLog.empty());

    f.SpawnPopup(7, 0, 100, 200, 0);
    EXPECT_EQ(f.Popups[1].Kind, 4);
    EXPECT_EQ(f.Popups[1].Timer, 100);
    const std::vector<SoundCall> fever = {{SoundId::Fever, SoundOp::Stop, 0}, {SoundId::Fever, SoundOp::Play, 0}};
    EXPECT_EQ(g.host.SoundLog, fever);
    g.host.SoundLog.clear();

    f.SpawnPopup(7, -1, 100, 200, -1);   // special wins over fever
    EXPECT_EQ(f.Popups[2].Kind, 5);
    EXPECT_EQ(f.Popups[2].Timer, 110);
    f.SpawnPopup(9, 0, 100, 200, -1);    // a fever shows kind 0, silently
    EXPECT_EQ(f.Popups[3].Kind, 0);
    EXPECT_EQ(f.Popups[3].Timer, 60);
    f.SpawnPopup(4, 0, 100, 200, 0);
    EXPECT_EQ(f.Popups[4].Kind, 4);
    EXPECT_EQ(g.host.SoundLog, fever);   // only the count of 4 or more sounds
}

TEST_F(Popups, XRoundsHalfToEvenAndStopsAt758) {
    FormMain& f = g.form;
    f.SpawnPopup(1, 0, 108.5f, 0, 0);
    f.SpawnPopup(1, 0, 109.5f, 0, 0);
    f.SpawnPopup(1, 0, 900, 0, 0);
    f.SpawnPopup(1, 0, 766, 0, 0);
    EXPECT_EQ(f.Popups[0].X, 100);
    EXPECT_EQ(f.Popups[1].X, 102);
    EXPECT_EQ(f.Popups[2].X, 758);
    EXPECT_EQ(f.Popups[3].X, 758);
}

TEST_F(Popups, TakesTheLowestFreeSlotAndReplacesSlot0WhenFull) {
    FormMain& f = g.form;
    for (int i = 0; i < 10; ++i) f.SpawnPopup(1, 0, 100 + i, 0, 0);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(f.Popups[i].X, 92 + i);
    EXPECT_EQ(f.Popups[10].X, 9999);   // slot 10 is never used
    f.SpawnPopup(3, 0, 500, 0, 0);
    EXPECT_EQ(f.Popups[0].X, 492);
    EXPECT_EQ(f.Popups[0].Kind, 3);
    EXPECT_EQ(f.Popups[10].X, 9999);
    f.Popups[6].X = 9999;
    f.SpawnPopup(1, 0, 300, 0, 0);
    EXPECT_EQ(f.Popups[6].X, 292);
}

TEST_F(Popups, RiseSlowingAndVanishAfterTheirLastDrawnFrame) {
    FormMain& f = g.form;
    f.SpawnPopup(1, 0, 100, 200, 0);   // kind 1: 70 frames
    double y = 213, vy = -1;
    for (int frame = 1; frame <= 70; ++frame) {
        log.Calls.clear();
        f.PopupStep();
        vy = static_cast<float>(vy + 0.01);
        y = static_cast<float>(y + vy);
        ASSERT_EQ(log.Calls.size(), 1u) << frame;
        EXPECT_EQ(log.Calls[0].Source, f.PopupRects[1]);
        EXPECT_EQ(log.Calls[0].X, 92);
        EXPECT_EQ(log.Calls[0].Y, CLng(y));
        EXPECT_EQ(f.Popups[0].X, frame < 70 ? 92 : 9999);
    }
    log.Calls.clear();
    f.PopupStep();
    EXPECT_TRUE(log.Calls.empty());
    EXPECT_NEAR(213 - y, 70 - 0.01 * 70 * 71 / 2, 0.01);
}

TEST_F(Popups, DrawNumberPlacesDigitsAndDropsTheSignPlace) {
    FormMain& f = g.form;
    std::string text = Str(123);
    EXPECT_EQ(f.DrawNumber(10, 20, text, 0, 10), 76);
    EXPECT_EQ(text, "123");
    ASSERT_EQ(log.Calls.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(log.Calls[i].Op, "keyed");
        EXPECT_EQ(log.Calls[i].Surface, "MainSurface");
        EXPECT_EQ(log.Calls[i].X, 10 + 22 * i);
        EXPECT_EQ(log.Calls[i].Y, 20);
        EXPECT_EQ(DigitOf(f, log.Calls[i].Source), std::make_pair(i + 1, 3));
    }

    // Only one space is removed, and a second call finds none.
    text = "  7";
    log.Calls.clear();
    EXPECT_EQ(f.DrawNumber(0, 0, text, 0, 10), 44);
    EXPECT_EQ(text, " 7");
    EXPECT_EQ(DigitOf(f, log.Calls[0].Source).first, 0);   // a space counts as 0

    text = "12345";
    log.Calls.clear();
    EXPECT_EQ(f.DrawNumber(10, 20, text, 0, 3), 76);
    EXPECT_EQ(log.Calls.size(), 3u);

    text = "-4";
    log.Calls.clear();
    f.DrawNumber(0, 0, text, 0, 10);
    EXPECT_EQ(DigitOf(f, log.Calls[0].Source).first, 0);
    EXPECT_EQ(DigitOf(f, log.Calls[1].Source).first, 4);

    text = "";
    log.Calls.clear();
    EXPECT_EQ(f.DrawNumber(5, 5, text, 0, 10), 5);
    EXPECT_TRUE(log.Calls.empty());
    text = " ";
    EXPECT_EQ(f.DrawNumber(5, 5, text, 0, 10), 5);
    EXPECT_EQ(text, "");
}

TEST_F(Popups, DrawNumberShineStages) {
    FormMain& f = g.form;
    auto styles = [&](int16_t shine) {
        std::string text = "888";
        log.Calls.clear();
        f.DrawNumber(0, 0, text, shine, 10);
        std::string out;
        for (const auto& c : log.Calls) out += static_cast<char>('0' + DigitOf(f, c.Source).second);
        return out;
    };
    EXPECT_EQ(styles(0), "333");
    EXPECT_EQ(styles(1), "033");
    EXPECT_EQ(styles(2), "133");
    EXPECT_EQ(styles(3), "233");
    EXPECT_EQ(styles(4), "303");
    EXPECT_EQ(styles(5), "313");
    EXPECT_EQ(styles(7), "330");
    EXPECT_EQ(styles(9), "332");
    EXPECT_EQ(styles(10), "333");
    EXPECT_EQ(styles(-16), "333");
    EXPECT_EQ(styles(9999), "333");
}

}  // namespace
}  // namespace pm
