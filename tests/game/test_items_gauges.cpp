// The end of the play frame: quake countdown, recharge gauge with its ready
// sign and charge sound, level banner, kind-time gauge and fever gauge.
#include <gtest/gtest.h>

#include "game/effects/score_formulas.h"
#include "test_items_support.h"

namespace pm::test {
namespace {

struct GaugeGame : ItemsGame {
    GaugeGame() {
        FormMain& f = form;
        f.QuakeTimer = 0;
        f.DashCooldown = 0;
        f.LevelTimer = 500;
        f.LevelBannerTimer = 0;
        f.KindTimer = 0;
        f.BallKind = 0;
        f.FeverGaugeTimer = 0;
        f.Fever = False;
        f.Level = 1;
        f.BallX = 300;
        f.BallY = 450;
    }
    // One gauge step as the frame runs it: the high score shown beforehand,
    // Blink flipped afterwards.
    void Run() {
        form.ShowHighScore = True;
        Draws.Calls.clear();
        host.SoundLog.clear();
        form.Gauges();
        form.Blink = static_cast<int16_t>(form.Blink == 0 ? True : False);
    }
};

TEST(Gauges, TheQuakeRunsDownAndShakesTheGround) {
    GaugeGame g;
    FormMain& f = g.form;
    f.QuakeTimer = 3;
    for (int i = 2; i >= 0; --i) {
        g.Run();
        EXPECT_EQ(f.QuakeTimer, i);
        EXPECT_GE(f.GroundFrame, 0);
        EXPECT_LE(f.GroundFrame, 6);
    }
    const uint32_t before = f.Rng.State;
    g.Run();
    EXPECT_EQ(f.QuakeTimer, 0);
    EXPECT_EQ(f.Rng.State, before);
}

TEST(Gauges, TheRechargeGaugeAfterADashOnLevelOne) {
    GaugeGame g;
    FormMain& f = g.form;
    const Rect frame = f.GaugeRects[0], full = f.GaugeRects[1], sign = f.LabelRects[0];
    f.DashCooldown = 531;
    f.Blink = True;
    g.Run();
    EXPECT_EQ(f.DashCooldown, 530);
    EXPECT_EQ(f.ShowHighScore, False);
    ASSERT_EQ(g.Draws.Calls.size(), 2u);
    EXPECT_EQ(g.Draws.Calls[0].Surface, "ScaleSurface");
    EXPECT_EQ(g.Draws.Calls[0].Source, (Rect{0, 75, 12, 104}));   // a 12 px bar
    EXPECT_EQ(g.Draws.Calls[0].X, 502);
    EXPECT_EQ(g.Draws.Calls[0].Y, 537);
    EXPECT_EQ(g.Draws.Calls[1].Source, frame);
    EXPECT_EQ(g.Draws.Calls[1].X, 500);
    EXPECT_EQ(g.Draws.Calls[1].Y, 529);

    int chargePlays = 0;
    int firstSign = -1;
    while (f.DashCooldown > 0) {
        g.Run();
        const int32_t c = f.DashCooldown;
        const bool blinkWas = f.Blink == 0;   // Run() flipped it
        EXPECT_EQ(f.ShowHighScore == False, c > 100) << c;
        const bool fullShown = !g.Draws.Of(full).empty();
        EXPECT_EQ(fullShown, c > 100 && c <= 120 && !blinkWas) << c;
        const auto charge = g.SoundsOf(SoundId::Charge);
        if (!charge.empty()) {
            ++chargePlays;
            EXPECT_EQ(c, 130);
            const std::vector<SoundCall> expected = {{SoundId::Charge, SoundOp::Pan, PanFromX(300)},
                                                     {SoundId::Charge, SoundOp::Play, 0}};
            EXPECT_EQ(charge, expected);
        }
        const auto signs = g.Draws.Of(sign);
        if (c >= 170) {
            EXPECT_TRUE(signs.empty()) << c;
        } else if (c < 120) {
            EXPECT_EQ(signs.size(), 1u) << c;   // steady below 120
        } else {
            EXPECT_EQ(signs.size(), blinkWas ? 1u : 0u) << c;   // flashing
        }
        if (!signs.empty()) {
            if (firstSign < 0) firstSign = c;
            EXPECT_EQ(signs[0].X, 207);
            EXPECT_EQ(signs[0].Y, 346);
        }
    }
    EXPECT_EQ(chargePlays, 1);
    EXPECT_GE(firstSign, 168);
    EXPECT_LE(firstSign, 169);
}

TEST(Gauges, TheReadySignStaysOnScreenAndHidesAboveIt) {
    GaugeGame g;
    FormMain& f = g.form;
    f.DashCooldown = 50;
    f.BallX = 60;
    f.BallY = 80;
    g.Run();
    ASSERT_EQ(g.Draws.Of(f.LabelRects[0]).size(), 1u);
    EXPECT_EQ(g.Draws.Of(f.LabelRects[0])[0].X, 0);
    EXPECT_EQ(g.Draws.Of(f.LabelRects[0])[0].Y, 0);
    f.BallY = -30;
    g.Run();
    EXPECT_TRUE(g.Draws.Of(f.LabelRects[0]).empty());
}

TEST(Gauges, AFeverRechargesThreeTimesAsFastDownTo133) {
    GaugeGame g;
    FormMain& f = g.form;
    f.Fever = True;
    f.DashCooldown = 140;
    const int32_t expected[] = {137, 134, 133, 132, 131};
    for (int32_t c : expected) {
        g.Run();
        EXPECT_EQ(f.DashCooldown, c);
    }
}

TEST(Gauges, TheLevelBannerFlashesAtTheEndAndStaysAfterTheChange) {
    GaugeGame g;
    FormMain& f = g.form;
    f.LevelTimer = 99;
    f.Blink = True;
    g.Run();
    EXPECT_EQ(g.Draws.Of(f.LabelRects[7]).size(), 1u);
    g.Run();
    EXPECT_TRUE(g.Draws.Of(f.LabelRects[7]).empty());

    f.LevelTimer = 800;
    f.LevelBannerTimer = 2;
    g.Run();
    g.Run();
    EXPECT_EQ(g.Draws.Of(f.LabelRects[7]).size(), 1u);
    EXPECT_EQ(f.LevelBannerTimer, 0);
    g.Run();
    EXPECT_TRUE(g.Draws.Of(f.LabelRects[7]).empty());
}

TEST(Gauges, AShooterKindGaugeAppearsAfter79FramesAndShrinks) {
    GaugeGame g;
    FormMain& f = g.form;
    f.BallKind = 2;
    int hidden = 0;
    int32_t previous = 255;
    for (int32_t t = 460; t >= 1; --t) {
        f.KindTimer = t;
        g.Run();
        if (t >= 382) {
            EXPECT_TRUE(g.Draws.Calls.empty()) << t;
            EXPECT_EQ(f.ShowHighScore, True);
            ++hidden;
            continue;
        }
        ASSERT_EQ(g.Draws.Calls.size(), 2u) << t;
        EXPECT_EQ(g.Draws.Calls[0].Source, (Rect{0, 106, CLng(t / 1.5), 135}));
        EXPECT_EQ(g.Draws.Calls[0].X, 502);
        EXPECT_EQ(g.Draws.Calls[1].Source, f.GaugeRects[0]);
        EXPECT_EQ(f.ShowHighScore, False);
        EXPECT_LE(f.WorkRect.Right, previous);
        previous = f.WorkRect.Right;
        if (t == 381) {
            EXPECT_EQ(previous, 254);
        }
    }
    EXPECT_EQ(hidden, 79);
    EXPECT_EQ(previous, 1);
}

TEST(Gauges, AJumperSlammedToKindTime38ShowsTheEmptyFrameOnce) {
    GaugeGame g;
    FormMain& f = g.form;
    f.BallKind = 1;
    f.KindTimer = 38;
    g.Run();
    ASSERT_EQ(g.Draws.Calls.size(), 2u);
    EXPECT_EQ(g.Draws.Calls[0].Source, (Rect{0, 106, 0, 135}));
    f.KindTimer = 37;
    g.Run();
    EXPECT_TRUE(g.Draws.Calls.empty());
    EXPECT_EQ(f.ShowHighScore, True);
    // A fresh jumper: a full gauge is not drawn.
    f.KindTimer = 560;
    g.Run();
    EXPECT_TRUE(g.Draws.Calls.empty());
}

TEST(Gauges, BothLowerGaugesMayShowTheKindBarLast) {
    GaugeGame g;
    FormMain& f = g.form;
    f.DashCooldown = 300;
    f.Blink = True;
    f.BallKind = 2;
    f.KindTimer = 150;
    g.Run();
    ASSERT_EQ(g.Draws.Calls.size(), 4u);
    EXPECT_EQ(g.Draws.Calls[2].Source, (Rect{0, 106, 100, 135}));
    EXPECT_EQ(g.Draws.Calls[3].Source, f.GaugeRects[0]);
}

TEST(Gauges, TheFeverGaugeFillsFadesAndHoldsWhenFull) {
    GaugeGame g;
    FormMain& f = g.form;
    // Caught up: it fades a frame at a time.
    f.FeverPoints = 4;
    f.FeverThreshold = 20;
    f.FeverGauge = 80;
    f.FeverGaugeTimer = 3;
    f.Blink = True;
    g.Run();
    EXPECT_EQ(f.FeverGaugeTimer, 2);
    ASSERT_EQ(g.Draws.Calls.size(), 2u);
    EXPECT_EQ(g.Draws.Calls[0].Source, f.LabelRects[13]);
    EXPECT_EQ(g.Draws.Calls[0].X, 581);
    EXPECT_EQ(g.Draws.Calls[1].Source, (Rect{461, 187, 485, 199}));
    EXPECT_EQ(g.Draws.Calls[1].X, 600);
    EXPECT_EQ(g.Draws.Calls[1].Y, 39);
    g.Run();
    g.Run();
    EXPECT_EQ(f.FeverGaugeTimer, 0);
    g.Run();
    EXPECT_TRUE(g.Draws.Calls.empty());

    // Past the threshold: the fill stops at 500 and the gauge stays.
    f.FeverPoints = 25;
    f.FeverGauge = 0;
    f.FeverGaugeTimer = 1;
    for (int i = 0; i < 700; ++i) g.Run();
    EXPECT_EQ(f.FeverGauge, 500);
    EXPECT_GE(f.FeverGaugeTimer, 1);
    if (f.Blink == 0) g.Run();
    g.Run();
    EXPECT_EQ(g.Draws.Of(Rect{366, 187, 485, 199}).size(), 1u);   // clamped: a full bar
}

TEST(Gauges, AZeroFeverThresholdStillDrawsAFullBar) {
    GaugeGame g;
    FormMain& f = g.form;
    f.FeverPoints = 0;
    f.FeverThreshold = 0;
    f.FeverGauge = 0;
    f.FeverGaugeTimer = 5;
    f.Blink = True;
    g.Run();
    EXPECT_EQ(g.Draws.Of(Rect{366, 187, 485, 199}).size(), 1u);
    f.FeverGauge = 7;
    f.Blink = True;
    g.Run();
    EXPECT_EQ(g.Draws.Of(Rect{366, 187, 485, 199}).size(), 1u);
}

}  // namespace
}  // namespace pm::test
