// The item pass: spawning, moving, eating by mouth and shot, scoring, the
// chain and its bonus, and what the quake and the fever change.
#include <gtest/gtest.h>

#include <set>

#include "game/effects/score_formulas.h"
#include "test_items_support.h"

namespace pm::test {
namespace {

constexpr float kWaiting = 9999.0f;

// A mouth around (400, 450), as the plain ball standing in the middle has it.
constexpr Rect kMouth{390, 411, 430, 484};

TEST(ItemStream, ANewGameSpawnsItsFiveSlotsWithinTheirFirst150Passes) {
    Game g(7);
    FormMain& f = g.form;
    f.MouthRect = {-3000, -3000, -2990, -2990};
    f.ShotX = kWaiting;
    ASSERT_EQ(f.LastActiveItem, 4);
    for (const Item& item : f.Items) {
        ASSERT_EQ(item.X, kWaiting);
        ASSERT_GE(item.Delay, 0);
        ASSERT_LT(item.Delay, 150);
    }
    const int32_t delay5 = f.Items[5].Delay;
    bool spawned[5] = {};
    for (int pass = 0; pass < 150; ++pass) {
        f.ItemPass();
        for (int i = 0; i < 5; ++i) {
            const Item& item = f.Items[i];
            if (!spawned[i] && item.X != kWaiting) {
                spawned[i] = true;
                EXPECT_EQ(item.X, 765.0f) << i;   // not moved in the pass that spawned it
                EXPECT_GE(item.Y, 45);
                EXPECT_LT(item.Y, 361);
                EXPECT_LE(item.VX, -2.75f);
                EXPECT_GT(item.VX, -3.25f);
                EXPECT_EQ(item.Plain, item.Kind == 0 ? True : False);
            }
        }
    }
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(spawned[i]) << i;
    EXPECT_EQ(f.Items[5].X, kWaiting);
    EXPECT_EQ(f.Items[5].Delay, delay5);
}

TEST(ItemStream, ASpawnedItemFirstMovesAndShowsOnePassLater) {
    ItemsGame g;
    FormMain& f = g.form;
    f.LastActiveItem = 4;
    f.Items[2].Delay = 1;
    f.ItemPass();
    const Item& item = f.Items[2];
    ASSERT_EQ(item.X, 765.0f);
    EXPECT_TRUE(g.Draws.Calls.empty());

    const float x = static_cast<float>(765.0 + item.VX);
    f.ItemPass();
    EXPECT_EQ(item.X, x);
    ASSERT_EQ(g.Draws.Calls.size(), 1u);
    EXPECT_EQ(g.Draws.Calls[0].Surface, "MainSurface");
    EXPECT_EQ(g.Draws.Calls[0].Source, f.ItemRects[static_cast<size_t>(item.Kind)]);
    EXPECT_EQ(g.Draws.Calls[0].X, CLng(x));
    EXPECT_EQ(g.Draws.Calls[0].Y, CLng(item.Y));
    // The hit box is left behind in WorkRect.
    EXPECT_EQ(f.WorkRect, (Rect{CLng(x + 6.0), CLng(item.Y + 6.0), CLng(x + 20.0), CLng(item.Y + 20.0)}));
}

TEST(ItemStream, SpecialKindsDependOnTheLevel) {
    for (int32_t level : {1, 2, 3}) {
        ItemsGame g(11);
        FormMain& f = g.form;
        f.LastActiveItem = 0;
        f.Level = level;
        std::set<int> kinds;
        for (int n = 0; n < 4000; ++n) {
            f.Items[0].X = kWaiting;
            f.Items[0].Delay = 0;
            f.ItemPass();
            kinds.insert(f.Items[0].Kind);
            ASSERT_EQ(f.Items[0].Plain, f.Items[0].Kind == 0 ? True : False);
        }
        const std::set<int> expected = level == 1 ? std::set<int>{0, 1, 2}
                                       : level == 2 ? std::set<int>{0, 1, 2, 3, 4}
                                                    : std::set<int>{0, 1, 2, 3, 4, 5};
        EXPECT_EQ(kinds, expected) << "level " << level;
    }
}

TEST(ItemStream, FeverSpawnsArePlainKindZeroAndFasterByTheSlot) {
    ItemsGame g;
    FormMain& f = g.form;
    f.Level = 5;
    f.Fever = True;
    f.LastActiveItem = 99;
    for (Item& item : f.Items) item.Delay = 0;
    f.ItemPass();
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(f.Items[i].Kind, 0);
        EXPECT_EQ(f.Items[i].Plain, False);
    }
    EXPECT_FLOAT_EQ(f.Items[0].VX, -4.4f);
    EXPECT_FLOAT_EQ(f.Items[99].VX, -7.0f);
}

TEST(ItemStream, TwoItemsEatenInOneFrameScoreTwentyAndTwentyFive) {
    ItemsGame g;
    FormMain& f = g.form;
    f.LastActiveItem = 4;
    f.MouthRect = kMouth;
    f.ComboCount = 3;
    f.ChainCount = 10;
    f.Score = 1000;
    f.FeverPoints = 6;
    f.FeverGaugeTimer = 0;
    g.Place(0, 400, 430);
    g.Place(3, 405.5f, 440);
    f.ItemPass();

    EXPECT_EQ(f.Score, 1045);
    EXPECT_EQ(f.ComboCount, 5);
    EXPECT_EQ(f.ChainCount, 12);
    EXPECT_EQ(f.FeverPoints, 10);   // only the fifth of the combo counts
    EXPECT_EQ(f.FeverGaugeTimer, 180);
    const std::vector<SoundCall> expected = {
        {SoundId::Eat, SoundOp::Stop, 0},  {SoundId::Eat, SoundOp::Frequency, StepPitch(11025, 3, 8)},
        {SoundId::Eat, SoundOp::Pan, 0},   {SoundId::Eat, SoundOp::Play, 0},
        {SoundId::Eat, SoundOp::Stop, 0},  {SoundId::Eat, SoundOp::Frequency, StepPitch(11025, 4, 8)},
        {SoundId::Eat, SoundOp::Pan, 25},  {SoundId::Eat, SoundOp::Play, 0}};
    EXPECT_EQ(g.SoundsOf(SoundId::Eat), expected);
    // The pop-ups count the combo; the fifth item's cheers.
    EXPECT_EQ(f.Popups[0].Kind, 3);
    EXPECT_EQ(f.Popups[0].X, 392);
    EXPECT_EQ(f.Popups[1].Kind, 4);
    EXPECT_EQ(g.SoundsOf(SoundId::Fever).size(), 2u);
    // Both slots wait again and nothing of them is drawn.
    for (int slot : {0, 3}) {
        EXPECT_EQ(f.Items[slot].X, kWaiting);
        EXPECT_GE(f.Items[slot].Delay, 0);
        EXPECT_LE(f.Items[slot].Delay, 140);
    }
    EXPECT_TRUE(g.Draws.Calls.empty());
}

TEST(ItemStream, FeverPointsDependOnTheBallKind) {
    struct Case {
        int16_t kind, boost, points;
    };
    for (const Case c : {Case{0, False, 4}, Case{1, True, 4}, Case{2, False, 2}, Case{2, True, 1}}) {
        ItemsGame g;
        FormMain& f = g.form;
        f.MouthRect = kMouth;
        f.BallKind = c.kind;
        f.KindBoost = c.boost;
        f.KindTimer = 300;
        f.ComboCount = 4;
        f.FeverPoints = 0;
        g.Place(0, 400, 430);
        f.ItemPass();
        EXPECT_EQ(f.FeverPoints, c.points) << c.kind << " " << c.boost;
    }
}

TEST(ItemStream, TheMouthWinsOverTheShot) {
    ItemsGame g;
    FormMain& f = g.form;
    f.MouthRect = kMouth;
    f.ShotX = 420;
    f.ShotRect = {398, 386, 450, 480};
    f.Level = 5;
    g.Place(0, 400, 430, 5, False);
    f.ItemPass();
    EXPECT_EQ(f.StaggerTimer, 600);
    EXPECT_EQ(f.Popups[0].Kind, 5);
    EXPECT_EQ(f.ComboCount, 1);
    EXPECT_EQ(f.ChainCount, 0);   // kind 5 is no plain item
}

TEST(ItemStream, TheShotEatsButDoesNotStagger) {
    ItemsGame g;
    FormMain& f = g.form;
    f.ShotX = 620;
    f.ShotRect = {598, 386, 650, 480};
    g.Place(0, 600, 430, 5, False);
    g.Place(1, 600, 300, 0, True);   // outside the shot's rectangle
    f.ItemPass();
    EXPECT_EQ(f.Items[0].X, kWaiting);
    EXPECT_EQ(f.StaggerTimer, 0);
    EXPECT_EQ(f.Popups[0].Kind, 0);
    EXPECT_EQ(f.Score, 5);
    EXPECT_EQ(f.Items[1].X, 600);

    // A rectangle left behind by a shot that is gone eats nothing.
    f.ShotX = kWaiting;
    g.Place(2, 600, 430, 0, True);
    f.ItemPass();
    EXPECT_EQ(f.Items[2].X, 600);
    EXPECT_EQ(f.Score, 5);
}

TEST(ItemStream, AnEscapingPlainItemEndsTheChain) {
    {
        ItemsGame g;
        FormMain& f = g.form;
        f.ChainCount = 30;
        f.ChainBonus = 777;
        g.Place(0, 1, 200, 0, True, -3);
        f.ItemPass();
        EXPECT_EQ(f.ChainCount, 0);
        EXPECT_EQ(f.ChainBonusTimer, 0);   // 30 is not long enough for a bonus
        EXPECT_EQ(f.ChainBonus, 777);
        EXPECT_EQ(f.Items[0].X, kWaiting);
        EXPECT_TRUE(g.Draws.Calls.empty());
    }
    {
        ItemsGame g;
        FormMain& f = g.form;
        f.ChainCount = 31;
        g.Place(0, 1, 200, 0, True, -3);
        Random replay = f.Rng;
        f.ItemPass();
        EXPECT_EQ(f.ChainCount, 0);
        EXPECT_EQ(f.ChainBonus, LengthBonus(31));
        EXPECT_EQ(f.ChainBonusTimer, 430);
        EXPECT_EQ(f.LastChainCount, 31);
        EXPECT_EQ(f.Items[0].Delay, CLng(replay.Next() * 140.0));
    }
}

TEST(ItemStream, LongChainsWidenTheRespawnRange) {
    for (const auto& [chain, range] : {std::pair{116, 140}, {117, 170}, {161, 202}, {221, 237}}) {
        ItemsGame g;
        FormMain& f = g.form;
        f.ChainCount = chain;
        g.Place(0, 1, 200, 1, False, -3);   // not plain: the chain survives
        Random replay = f.Rng;
        f.ItemPass();
        EXPECT_EQ(f.ChainCount, chain);
        EXPECT_EQ(f.Items[0].Delay, CLng(replay.Next() * static_cast<double>(range))) << chain;
    }
}

TEST(ItemStream, AnItemThatSpawnedSpecialNeverEndsTheChainEvenShownPlain) {
    ItemsGame g;
    FormMain& f = g.form;
    f.BallKind = 1;
    f.KindTimer = 200;
    f.ChainCount = 50;
    g.Place(0, 100, 200, 1, False, -3);
    f.ItemPass();
    EXPECT_EQ(f.Items[0].Kind, 0);   // shown as a plain item
    ASSERT_EQ(g.Draws.Calls.size(), 1u);
    EXPECT_EQ(g.Draws.Calls[0].Source, f.ItemRects[0]);
    f.Items[0].X = 1;
    f.ItemPass();
    EXPECT_EQ(f.Items[0].X, kWaiting);
    EXPECT_EQ(f.ChainCount, 50);
    EXPECT_EQ(f.ChainBonusTimer, 0);
}

TEST(ItemStream, AChangedBallEatsSpecialItemsAsPlainButKeepsTheStaggerKind) {
    ItemsGame g;
    FormMain& f = g.form;
    f.MouthRect = kMouth;
    f.BallKind = 2;
    f.KindTimer = 300;
    f.ChainCount = 4;
    g.Place(0, 400, 430, 3, False);
    g.Place(1, 100, 100, 5, False);
    f.ItemPass();
    EXPECT_EQ(f.BallKind, 2);   // the kind-3 item acted as plain
    EXPECT_EQ(f.KindTimer, 300);
    EXPECT_EQ(f.KindBoost, False);
    EXPECT_EQ(f.ChainCount, 5);
    EXPECT_EQ(f.Items[1].Kind, 5);
    ASSERT_EQ(g.Draws.Calls.size(), 1u);
    EXPECT_EQ(g.Draws.Calls[0].Source, f.ItemRects[5]);
}

TEST(ItemStream, EatenKindsChangeTheBall) {
    struct Case {
        int16_t item, kind;
        int32_t timer;
        int16_t boostBefore, boostAfter;
    };
    for (const Case c : {Case{1, 1, 560, True, True}, Case{1, 1, 560, False, False}, Case{2, 2, 460, True, True},
                         Case{3, 1, 620, False, True}, Case{4, 2, 900, False, True}}) {
        ItemsGame g;
        FormMain& f = g.form;
        f.MouthRect = kMouth;
        f.KindBoost = c.boostBefore;
        g.Place(0, 400, 430, c.item, False);
        f.ItemPass();
        EXPECT_EQ(f.BallKind, c.kind) << c.item;
        EXPECT_EQ(f.KindTimer, c.timer) << c.item;
        EXPECT_EQ(f.KindBoost, c.boostAfter) << c.item;
        EXPECT_EQ(f.ChainCount, 0) << c.item;
    }
}

TEST(ItemStream, ItemsFreezeInAHardQuakeButCanStillBeEaten) {
    ItemsGame g;
    FormMain& f = g.form;
    f.QuakeTimer = 81;
    g.Place(0, 300, 200, 0, True, -3);
    f.ItemPass();
    EXPECT_EQ(f.Items[0].X, 300);
    ASSERT_EQ(g.Draws.Calls.size(), 1u);
    EXPECT_EQ(g.Draws.Calls[0].X, 300);
    EXPECT_GE(g.Draws.Calls[0].Y, 195);
    EXPECT_LE(g.Draws.Calls[0].Y, 205);

    // The hit box stays at the item's own row, whatever its picture does.
    f.MouthRect = {300, 220, 330, 240};
    f.ItemPass();
    EXPECT_EQ(f.Items[0].X, kWaiting);
    EXPECT_EQ(f.Score, 5);

    f.QuakeTimer = 80;
    g.Place(1, 300, 100, 0, True, -3);
    f.ItemPass();
    EXPECT_EQ(f.Items[1].X, 297);
}

TEST(ItemStream, DuringAFeverItemsScoreFiveAndBuildNothing) {
    ItemsGame g;
    FormMain& f = g.form;
    f.Fever = True;
    f.MouthRect = kMouth;
    f.ComboCount = 7;
    f.ChainCount = 12;
    f.FeverPoints = 3;
    f.FeverGaugeTimer = 0;
    g.Place(0, 400, 430, 0, False);
    g.Place(1, 1, 100, 0, False, -3);   // escapes: ends nothing
    f.ItemPass();
    EXPECT_EQ(f.Score, 5);
    EXPECT_EQ(f.ComboCount, 8);
    EXPECT_EQ(f.ChainCount, 12);
    EXPECT_EQ(f.FeverPoints, 3);
    EXPECT_EQ(f.FeverGaugeTimer, 0);
    EXPECT_EQ(f.Popups[0].Kind, 0);
    EXPECT_TRUE(g.SoundsOf(SoundId::Fever).empty());
}

TEST(ItemStream, ALongComboReachesTheHighestPitch) {
    ItemsGame g;
    FormMain& f = g.form;
    f.MouthRect = kMouth;
    f.ComboCount = 26;
    g.Place(0, 400, 430);
    f.ItemPass();
    const auto eat = g.SoundsOf(SoundId::Eat);
    ASSERT_EQ(eat.size(), 4u);
    EXPECT_EQ(eat[1].Value, 100000);
    EXPECT_EQ(f.Score, 5 * 27);
}

TEST(ItemStream, ThePassKeepsToItsBound) {
    ItemsGame g;
    FormMain& f = g.form;
    f.LastActiveItem = 2;
    g.Place(3, 300, 100, 0, True, -3);
    f.Items[2].Delay = 1;
    f.ItemPass();
    EXPECT_EQ(f.Items[3].X, 300);   // above the bound: frozen and hidden
    EXPECT_EQ(f.Items[2].X, 765.0f);
    EXPECT_TRUE(g.Draws.Calls.empty());

    // A bound beyond the list stops at its last slot; a negative one handles nothing.
    f.LastActiveItem = 500;
    f.Items[99].Delay = 1;
    f.ItemPass();
    EXPECT_EQ(f.Items[99].X, 765.0f);
    f.LastActiveItem = -3;
    const uint32_t before = f.Rng.State;
    const float x3 = f.Items[3].X;
    f.ItemPass();
    EXPECT_EQ(f.Rng.State, before);
    EXPECT_EQ(f.Items[3].X, x3);
}

// The whole road through a real play frame: the ball stands still, an item
// sits in its mouth, and the frame eats it.
TEST(ItemStream, APlayFrameEatsTheItemInTheBallsMouth) {
    ItemsGame g;
    FormMain& f = g.form;
    ASSERT_EQ(f.GameState, 1);
    f.GraceTimer = 1000;
    g.Place(0, 400, 430);
    g.Step();
    EXPECT_EQ(f.Score, 5);
    EXPECT_EQ(f.ComboCount, 1);
    EXPECT_EQ(f.ChainCount, 1);
    EXPECT_EQ(f.Items[0].X, kWaiting);
    const auto eat = g.SoundsOf(SoundId::Eat);
    ASSERT_EQ(eat.size(), 4u);
    EXPECT_EQ(eat[1].Value, 11025);
    EXPECT_EQ(eat[2].Value, 0);
}

}  // namespace
}  // namespace pm::test
