// The Up key's special move by kind: the plain ball's dash (or a puff of
// smoke while it cools down), the jumper's high jump, the shooter's shot;
// and the dash's own step.
#include "game/effects/score_formulas.h"
#include "game/shell/game_state.h"

namespace pm {

void FormMain::UpKey() {
    if (BallKind == BallKind::Plain) {
        if (ShotX == Parked && DashCooldown < 120 && HighJump == 0) {
            Dashing = True;
            BallVX = -50;
            BallVY = -9;
            DashCooldown = 0;
            GraceTimer = GraceTimer + 20;
            SetPan(BellSound, PanFromX(BallX));
            Play(BellSound);
        } else if (Particles[0].X == Parked && DashCooldown > 170) {
            // Smoke says "not ready", and pressing anyway lengthens the wait.
            // The puff takes slots 0 to 5 whatever they held.
            for (int k = 0; k <= 5; ++k) {
                Particle& p = Particles[k];
                p.X = BallX + Rnd() * 12.0 - 6.0;
                p.Y = BallY + Rnd() * 8.0 - 4.0;
                p.Kind = CInt(Int(Rnd() * 2.0));
                p.Timer = CLng(Rnd() * 12.0 + 20.0);
                p.VX = Rnd() * (BallVX * 1.5 + 4.0) + 2.0;
                p.VY = Rnd() * 8.0 - 4.0;
            }
            DashCooldown = DashCooldown + 40;
            if (DashCooldown > 540) DashCooldown = 540;
        }
    } else if (BallKind == BallKind::Jumper) {
        // Only from the ground or while rising, and never on shaking ground.
        if (BallVY <= 0 && QuakeTimer == 0 && HighJump == 0) {
            BallVY = -30;
            HighJump = True;
            GraceTimer = GraceTimer + 20;
            SetPan(HighJumpSound, PanFromX(BallX));
            Play(HighJumpSound);
            if (OnGround != 0) {
                OnGround = False;
                ComboCount = 0;
            }
        }
    } else if (BallKind == BallKind::Shooter) {
        if (ShotX == Parked) {
            ShotX = BallX;
            ShotY = BallY;
            ShotVX = 7.0;
            SetPan(NakiSound, PanFromX(BallX));
            Play(NakiSound);
        }
    }
}

// Runs after the horizontal move: a ball that reached the left wall in it
// stands at exactly 42 with its speed already reversed by the wall.
void FormMain::DashStep() {
    int32_t sprayCount = 2;
    const bool struckWall = BallX == 42;
    if (struckWall) {
        sprayCount = 16;
        BallVX = -BallVX;
    }
    SetPan(BellSound, PanFromX(BallX));   // the ringing follows the ball
    const int32_t life = CLng(Int(Rnd() * 20.0) + 20.0);
    SpawnBallSpray(sprayCount, static_cast<float>(-BallVX / 4.0), -3.0f, life, 7);
    if (struckWall) {
        // The ball stops dead just off the wall.
        BallVX = 0;
        BallVY = 0;
        BallX = 43;
    }
    if (BallVX < 27) BallVX = BallVX + 2.5;
    if (BallY == 450 || BallVX >= 0) {
        Dashing = False;
        DashCooldown = 540 - 9 * Level;
        if (DashCooldown <= 320) DashCooldown = 320;
    }
}

}  // namespace pm
