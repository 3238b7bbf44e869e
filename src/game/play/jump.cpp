// The ball's vertical motion: the jump and its held-Space boost, gravity by
// kind, and the landing with its sound, the ground quake's hops and the
// high-jump slam.
#include "game/effects/score_formulas.h"
#include "game/shell/game_state.h"

namespace pm {

void FormMain::SpaceKey() {
    if (OnGround != 0 && HighJump == 0) {
        OnGround = False;
        BallVY = -15;
        ComboCount = 0;
        Score = Score + 1;
    } else if (BallY > 220 && BallVY < 0) {
        // Held Space lifts a rising ball, harder the lower it is.
        BallVY = BallVY - (BallY - 220.0) / 130.0;
    }
}

void FormMain::VerticalMotion() {
    BallVY = BallVY + 0.85;

    if (SlamTimer > 0) SlamTimer = SlamTimer - 1;
    if (BallVY > 0 && HighJump != 0 && OnGround == 0) SlamTimer = 100;

    if (BallVY > 1) {
        if (BallKind == BallKind::Jumper) {
            BallVY = BallVY + 1.47;
            if (KindBoost != 0 && BallY > 200 && BallVY > 0) BallVY = BallVY + 1;
        } else if (BallKind == BallKind::Shooter) {
            // The shooter floats, most of all high up.
            if (BallY < 250) BallVY = BallVY - 0.2;
            BallVY = BallVY - 0.3;
        }
    }

    // A kind that runs out in mid high jump finishes the jump as a jumper
    // and ends at the landing.
    if (HighJump != 0 && BallKind == BallKind::Plain) {
        BallKind = BallKind::Jumper;
        KindTimer = 0;
    }

    BallY = BallY + BallVY;
    // A resting ball sinks to 450.85 each frame and lands again; the
    // once-only effects are guarded by OnGround.
    if (BallY > 450) Landing();
}

void FormMain::Landing() {
    BallY = 450;
    BallVY = 0;

    if (BallKind == BallKind::Jumper && OnGround == 0) {
        QuakeTimer = QuakeTimer + 25;
        if (RivalY == 450) RivalDizzyTimer = RivalDizzyTimer + 10;
    }
    if (OnGround == 0) {
        SetPan(LandSound, PanFromX(BallX));
        Play(LandSound);
    }
    // The shaking ground keeps the ball hopping.
    if (QuakeTimer != 0) BallVY = -4.0 - Rnd() * 3.0;
    OnGround = True;

    if (HighJump != 0) {
        HighJump = False;
        if (BallKind == BallKind::Jumper) {
            QuakeTimer = 100;
            SlamTimer = 2;
            if (KindTimer <= 0) {
                KindTimer = 0;
                BallKind = BallKind::Plain;
            }
            if (RivalY >= 434) RivalDizzyTimer = RivalDizzyTimer + 160;
            if (RivalStunTimer < 90 || RivalAwayTimer > 0) Play(QuakeSound);
            QuakeKickSpecks();
        }
    }
}

}  // namespace pm
