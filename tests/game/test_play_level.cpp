// Level lengths, the rival's tuning, item slots opening, and the fever.
#include <gtest/gtest.h>

#include "test_play_support.h"

namespace pm::test {
namespace {

// Leaves level `from` through the level change alone.
void Leave(FormMain& f, int32_t from) {
    f.Level = from;
    f.LevelChange();
}

TEST(PlayLevel, LengthsOfTheLevelsReached) {
    PlayGame g;
    FormMain& f = g.form;
    EXPECT_EQ(f.LevelTimer, 840);
    for (auto [reached, length] : {std::pair{2, 919}, {3, 942}, {5, 984}, {10, 1073}, {20, 1210},
                                   {50, 1465}, {100, 1702}}) {
        Leave(f, reached - 1);
        EXPECT_EQ(f.Level, reached);
        EXPECT_EQ(f.LevelTimer, length) << "level " << reached;
    }
    // After 100 comes 1, with the length computed for 101.
    Leave(f, 100);
    EXPECT_EQ(f.Level, 1);
    EXPECT_EQ(f.LevelTimer, 1705);
    EXPECT_NEAR(std::fabs(f.RivalVX), 3.3333, 1e-4);
    EXPECT_NEAR(f.RivalAccel, 0.04, 1e-6);
}

TEST(PlayLevel, RivalTuningSamples) {
    PlayGame g;
    FormMain& f = g.form;
    struct Sample {
        int32_t Level;
        double Speed, Accel;
    };
    for (Sample s : {Sample{2, 3.6667, 0.05}, {5, 3.5, 0.08}, {10, 4.75, 0.13}, {17, 8.6667, 0.2},
                     {30, 9.75, 0.2}, {50, 14.75, 0.2}, {100, 27.25, 0.2},
                     {47, 17, 0.2}, {52, 17, 0.2}, {12, 7, 0.15}}) {
        Leave(f, s.Level - 1);
        EXPECT_NEAR(f.RivalMaxSpeed, s.Speed, 1e-4) << "level " << s.Level;
        EXPECT_NEAR(std::fabs(f.RivalVX), s.Speed, 1e-4) << "level " << s.Level;
        EXPECT_NEAR(f.RivalAccel, s.Accel, 1e-6) << "level " << s.Level;
    }
}

TEST(PlayLevel, RivalStartsEitherWayAtRandom) {
    PlayGame g;
    FormMain& f = g.form;
    int left = 0;
    for (int i = 0; i < 200; ++i) {
        Random r = f.Rng;
        Leave(f, 1);
        EXPECT_EQ(f.RivalVX < 0, r.Next() >= 0.5);
        left += f.RivalVX < 0;
    }
    EXPECT_GT(left, 60);
    EXPECT_LT(left, 140);
}

TEST(PlayLevel, LevelChangeRingsAndRaisesTheBanner) {
    PlayGame g;
    g.form.LevelTimer = 1;
    g.Step();
    EXPECT_EQ(g.form.Level, 2);
    EXPECT_EQ(g.form.LevelTimer, 919);
    EXPECT_EQ(g.form.LevelBannerTimer, 34 - 1);   // the banner counts down in the same frame
    EXPECT_EQ(g.SoundsOf(SoundId::LevelUp),
              (std::vector<SoundCall>{{SoundId::LevelUp, SoundOp::Play, 0}}));
}

TEST(PlayLevel, LeavingNineFourteenTwentyFourAndTwentyNineOpensSlots) {
    PlayGame g;
    FormMain& f = g.form;
    int16_t opened = 4;
    for (int32_t level = 1; level <= 100; ++level) {
        const bool opens = level == 9 || level == 14 || level == 24 || level == 29;
        if (opens) f.Items[opened + 1].X = 123;
        Leave(f, level);
        if (opens) {
            ++opened;
            EXPECT_EQ(f.Items[opened].X, 9999.0f) << "leaving " << level;
        }
        ASSERT_EQ(f.LastBaseItem, opened) << "leaving " << level;
        EXPECT_EQ(f.LastActiveItem, opened);
    }
    EXPECT_EQ(opened, 8);
    // A second pass opens four more.
    for (int32_t level = 1; level <= 100; ++level) Leave(f, level);
    EXPECT_EQ(f.LastBaseItem, 12);
}

TEST(PlayLevel, SlotsStopOpeningAtTheEndOfTheList) {
    PlayGame g;
    FormMain& f = g.form;
    f.LastBaseItem = 98;
    Leave(f, 9);
    EXPECT_EQ(f.LastBaseItem, 99);
    f.Items[99].X = 500;   // an item in flight is left alone
    Leave(f, 14);
    EXPECT_EQ(f.LastBaseItem, 99);
    EXPECT_EQ(f.LastActiveItem, 99);
    EXPECT_FLOAT_EQ(f.Items[99].X, 500);
}

TEST(PlayLevel, FullGaugeStartsAFeverInsteadOfTheLevel) {
    PlayGame g;
    FormMain& f = g.form;
    f.FeverPoints = 23;
    f.FeverGauge = 400;
    f.FeverGaugeTimer = 50;
    for (Item& item : f.Items) item.Plain = True;
    f.Items[2].X = 300;

    Random r = f.Rng;
    Leave(f, 7);
    r.Next();   // the rival's direction
    EXPECT_EQ(f.Fever, True);
    EXPECT_EQ(f.Level, 7);
    EXPECT_EQ(f.LevelTimer, 790);
    EXPECT_EQ(f.FeverPoints, 3);
    EXPECT_EQ(f.FeverGauge, 0);
    EXPECT_EQ(f.FeverGaugeTimer, 20);
    EXPECT_EQ(f.FeverThreshold, 30);
    EXPECT_EQ(f.LastActiveItem, 99);
    EXPECT_EQ(f.RivalVX, 0);
    EXPECT_FLOAT_EQ(f.RivalVY, -30);
    EXPECT_EQ(f.RivalStunTimer, 880);
    for (int j = 0; j <= 99; ++j) {
        EXPECT_EQ(f.Items[j].Plain, 0);
        if (j > 4) {
            EXPECT_EQ(f.Items[j].X, 9999.0f);
            EXPECT_EQ(f.Items[j].Delay, CLng(r.Next() * 90.0)) << "slot " << j;
        }
    }
    EXPECT_FLOAT_EQ(f.Items[2].X, 300);   // the base slots keep moving
    EXPECT_EQ(f.Rng.State, r.State);
    const std::vector<SoundCall> sounds = {{SoundId::LevelUp, SoundOp::Play, 0},
                                           {SoundId::LevelUp, SoundOp::Stop, 0},
                                           {SoundId::Bonus, SoundOp::Play, 0}};
    EXPECT_EQ(g.host.SoundLog, sounds);
}

TEST(PlayLevel, GaugeJustShortStartsNoFever) {
    PlayGame g;
    FormMain& f = g.form;
    f.FeverGauge = 399;
    f.FeverGaugeTimer = 0;
    Leave(f, 3);
    EXPECT_EQ(f.Fever, 0);
    EXPECT_EQ(f.Level, 4);
    EXPECT_EQ(f.FeverGaugeTimer, 0);
}

TEST(PlayLevel, FeverHoldsTheLevelForItsWholeLength) {
    PlayGame g;
    FormMain& f = g.form;
    f.Level = 7;
    f.LevelTimer = 1;
    f.FeverPoints = 20;
    f.FeverGauge = 400;
    g.Step();
    ASSERT_EQ(f.Fever, True);
    for (int frame = 1; frame < 790; ++frame) {
        QuietField(f);
        g.Step();
        ASSERT_EQ(f.Level, 7) << "fever frame " << frame;
        ASSERT_EQ(f.Fever, True);
    }
    g.Step();
    EXPECT_EQ(f.Fever, 0);
    EXPECT_EQ(f.Level, 8);
    EXPECT_EQ(f.LevelTimer, 1040);
    EXPECT_EQ(f.LastActiveItem, f.LastBaseItem);
}

TEST(PlayLevel, FeverAtTheChangeFromNineReopensOnItsEnd) {
    PlayGame g;
    FormMain& f = g.form;
    f.FeverGauge = 400;
    Leave(f, 9);
    EXPECT_EQ(f.Level, 9);
    EXPECT_EQ(f.LastBaseItem, 5);
    f.FeverGauge = 0;
    f.LevelChange();
    EXPECT_EQ(f.Level, 10);
    EXPECT_EQ(f.LastBaseItem, 6);
    EXPECT_EQ(f.Fever, 0);
}

TEST(PlayLevel, FeverOnLeavingOneHundredRunsAtLevelZero) {
    PlayGame g;
    FormMain& f = g.form;
    f.FeverGauge = 400;
    Leave(f, 100);
    EXPECT_EQ(f.Level, 0);
    EXPECT_EQ(f.Fever, True);
    f.LevelChange();
    EXPECT_EQ(f.Level, 1);
    EXPECT_EQ(f.LevelTimer, 895);
}

}  // namespace
}  // namespace pm::test
