// The end of the play frame: the quake runs down, and the special move's
// recharge gauge, the level banner, the kind-time gauge and the fever gauge
// are drawn over the play field. The two lower gauges share their place with
// the high score, which steps aside whenever one of them shows.
#include "game/effects/score_formulas.h"
#include "game/shell/game_state.h"

namespace pm {

void FormMain::Gauges() {
    if (QuakeTimer > 0) {
        QuakeTimer = QuakeTimer - 1;
        GroundFrame = CInt(Int(Rnd() * 7.0));
    }

    if (DashCooldown > 0) {
        DashCooldown = DashCooldown - 1;
        // A fever recharges three times as fast, down to 133.
        if (Fever != 0 && DashCooldown > 133) DashCooldown = DashCooldown - 2;
        WorkRect = GaugeRects[2];
        if (DashCooldown > 100) {
            ShowHighScore = False;
            int32_t w = CLng(255 - (249.0 / 420.0) * (static_cast<double>(DashCooldown) - 120));
            if (w > 255) w = 255;
            WorkRect.Right = w;
            // A filling bar shows on every second frame; a full one flashes on the others.
            if (Blink != 0 && w < 255) BltKeyed(502, 537, ScaleSurface, WorkRect);
            if (Blink == 0 && w == 255) BltKeyed(501, 536, ScaleSurface, GaugeRects[1]);
            BltKeyed(500, 529, ScaleSurface, GaugeRects[0]);
        }
        if (DashCooldown == 130) {
            SetPan(ChargeSound, PanFromX(BallX));
            Play(ChargeSound);
        }
        if ((DashCooldown < 170 && Blink != 0) || DashCooldown < 120) {
            int32_t x = CLng(static_cast<double>(BallX) - 93);
            int32_t y = CLng(static_cast<double>(BallY) - 104);
            if (x < 0) x = 0;
            if (y < 0) y = 0;
            if (BallY > 0) BltKeyed(x, y, MainSurface, LabelRects[Label::ReadySign]);
        }
    }

    // The banner flashes as a level runs out and stays a moment after the change.
    if (LevelTimer < 100 && Blink != 0) BltKeyed(296, 120, MainSurface, LabelRects[Label::LevelUp]);
    if (LevelBannerTimer > 0) {
        LevelBannerTimer = LevelBannerTimer - 1;
        BltKeyed(296, 120, MainSurface, LabelRects[Label::LevelUp]);
    }

    if (KindTimer > 0) {
        int32_t v = 255;
        if (BallKind == BallKind::Jumper && KindTimer < 420) v = CLng((static_cast<double>(KindTimer) - 38) / 1.5);
        if (BallKind == BallKind::Shooter && KindTimer < 382) v = CLng(static_cast<double>(KindTimer) / 1.5);
        WorkRect = GaugeRects[3];
        WorkRect.Right = v;
        if (v >= 0 && v < 255) {
            ShowHighScore = False;
            BltKeyed(502, 537, ScaleSurface, WorkRect);
            BltKeyed(500, 529, ScaleSurface, GaugeRects[0]);
        }
    }

    if (FeverGaugeTimer >= 1) {
        BltKeyed(581, 38, MainSurface, LabelRects[Label::FeverGaugeCaption]);
        // The fill climbs a twentieth of a point a frame; once it has caught
        // up the gauge starts to fade, unless the fever is due.
        if (FeverGauge >= 20 * static_cast<int64_t>(FeverPoints)) {
            FeverGaugeTimer = static_cast<int16_t>(FeverGaugeTimer - 1);
        } else {
            FeverGauge = FeverGauge + 1;
        }
        if (FeverPoints >= FeverThreshold) FeverGaugeTimer = static_cast<int16_t>(FeverGaugeTimer + 1);
        if (Blink != 0) {
            // Worked in double: a threshold of 0 gives an infinite fill, clamped to full.
            int32_t left = CLng(485 - 119.0 * FeverGauge / (20.0 * FeverThreshold));
            if (left < 366) left = 366;
            WorkRect = {left, 187, 485, 199};
            BltKeyed(600, 39, MainSurface, WorkRect);
        }
    }
}

}  // namespace pm
