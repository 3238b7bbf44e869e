// The ball's run along the ground: friction, the Left and Right keys with
// their speed limit, the side walls, the kind timer with the ball's picture,
// the immediate keys and the stagger.
#include <cmath>

#include "game/effects/score_formulas.h"
#include "game/shell/game_state.h"

namespace pm {

// During a fever the ground strip runs backward.
void FormMain::FeverGround() {
    if (Fever != 0) GroundFrame = static_cast<int16_t>((GroundFrame + 7) % 8);
}

// Each branch tests the value just stored, so a speed below 0.3 is taken
// past zero and back before the final test clears it.
void FormMain::Friction() {
    if (BallVX > 0) BallVX = BallVX - 0.3;
    if (BallVX < 0) BallVX = BallVX + 0.3;
    if (std::fabs(static_cast<double>(BallVX)) < 0.5) BallVX = 0;
}

void FormMain::ImmediateKeys() {
    if (KeyState[Key::Delete] != 0) GameState = State::GameOver;   // give up the run
    if (KeyState[Key::W] != 0) LevelTimer = 2;                    // end the level
    if (KeyState[Key::E] != 0) FeverPoints = FeverThreshold;      // fill the fever gauge
    if (KeyState[Key::R] != 0) LastActiveItem = 99;               // every item slot
}

// The limit is 4 in the air, 5 on the ground and 6 in a high jump. A speed
// beyond it from a dash or a blow is only cut while a key pushes that way.
void FormMain::LeftRightKeys(const MoveKeys& keys) {
    const int32_t limit = 4 - OnGround - 2 * HighJump;
    if (keys.Left != 0) {
        BallVX = BallVX - 1.0;
        if (BallVX <= -limit) BallVX = static_cast<float>(-limit);
    }
    if (keys.Right != 0) {
        BallVX = BallVX + 1.0;
        if (BallVX >= limit) BallVX = static_cast<float>(limit);
    }
}

// The walls bounce the ball back at full speed.
void FormMain::HorizontalMove() {
    BallX = BallX + BallVX;
    if (BallX > 764) {
        BallX = 764;
        BallVX = -BallVX;
    } else if (BallX < 42) {
        BallX = 42;
        BallVX = -BallVX;
    }
}

void FormMain::KindTimerAndDrawBall() {
    bool draw = true;
    if (BallKind != BallKind::Plain) {
        KindTimer = KindTimer - 1;
        // The ball blinks through the last 105 frames of its kind.
        if (KindTimer < 105 && Blink != 0) draw = false;
        if (KindTimer == 0) {
            BallKind = BallKind::Plain;
            KindBoost = False;
        }
    }
    if (!draw) return;
    if (BallY >= 24) {
        BltKeyed(CLng(BallX - 42.0), CLng(BallY - 42.0), MainSurface, BallRects[BallKind]);
    } else {
        // Above the top of the screen only a bobbing marker shows where it is.
        BltKeyed(CLng(BallX - 12.0), CLng(std::sin(BallY * RadiansPerDegree) * 7.0 + 7.0), MainSurface,
                 BallRects[BallPicture::Marker]);
    }
}

// A staggering ball now and then bounces back, faster, with a yelp.
void FormMain::Stagger() {
    if (StaggerTimer <= 0) return;
    StaggerTimer = StaggerTimer - 1;
    if (Rnd() > 0.96 && BallVX != 0 && Dashing == 0) {
        BallVX = -BallVX * (Rnd() * 0.5 + 1.0);
        const float sprayVX = static_cast<float>(Rnd() * 16.0 - 8.0);
        const float sprayVY = static_cast<float>(Rnd() * 8.0 - 4.0);
        SpawnBallSpray(4, sprayVX, sprayVY, 40, 4);
        Stop(OeeSound);
        SetFrequency(OeeSound, StepPitch(8805, CInt(Rnd() * 4.0 - 2.0), 12));
        SetPan(OeeSound, PanFromX(BallX));
        Play(OeeSound);
    }
}

}  // namespace pm
