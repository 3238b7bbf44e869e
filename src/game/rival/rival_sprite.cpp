// After the rival has moved: its picture, the shot's push and flight, the
// shooter's orbiting copies, the particles, and the jumper's sparkle.
#include <cmath>

#include "game/effects/score_formulas.h"
#include "game/shell/game_state.h"

namespace pm {

void FormMain::RivalSpriteAndShot() {
    // The same row the rival's movement worked with; it trembles with the ground.
    int32_t row = CLng(static_cast<double>(RivalY) - 42);
    if (QuakeTimer > 0) {
        const double r = Rnd();
        row = CLng(row - r * 5 + 2);
    }

    // A push lasts one frame: give the rival its own speed back first.
    if (RivalBumpVX != Parked) {
        RivalVX = RivalBumpVX;
        RivalBumpVX = Parked;
    }

    // Last frame's shot rectangle pushes the rival (never during a fever).
    if (RectsOverlap(RivalRect, ShotRect) != 0 && Fever == 0) {
        RivalBumpVX = RivalVX;
        if (RivalVX > 0) {
            RivalVX = static_cast<float>(static_cast<double>(ShotVX) - 2);
        } else {
            RivalVX = static_cast<float>(static_cast<double>(RivalVX) + ShotVX);
        }
        if (RivalY < 420) {   // in the air it is simply carried along
            RivalVX = ShotVX;
            RivalVY = 0.85f;
        }
    }

    const int16_t frame = RivalFrame == 1 ? 1 : 0;
    BltKeyed(CLng(static_cast<double>(RivalX) - 40), row, MainSurface, BallRects[static_cast<size_t>(frame + BallPicture::Rival)]);

    if (ShotX != Parked) {
        ShotX = static_cast<float>(static_cast<double>(ShotX) + ShotVX);
        // Gone past the edge; the trail and the rectangle below still run once,
        // far off screen.
        if (ShotX > 1064) ShotX = Parked;
        const double r = Rnd();
        SpawnSpotSpray(1, static_cast<float>(-2.0 * ShotVX), static_cast<float>(2 * r - 1), 20, 4);
        if (ShotX < 765 && Blink != 0)
            BltKeyed(CLng(static_cast<double>(ShotX) - 42), CLng(static_cast<double>(ShotY) - 42), MainSurface,
                     BallRects[BallKind::Shooter]);
        ShotRect = {CLng(static_cast<double>(ShotX) - 22), CLng(static_cast<double>(ShotY) - 44),
                    CLng(static_cast<double>(ShotX) + 30), CLng(static_cast<double>(ShotY) + 50)};
        if (KindBoost != 0) {
            // Two copies swing up and down around the boosted shot, and its
            // rectangle grows to cover the swing.
            const double a = SpinAngle * RadiansPerDegree;
            if (Blink == 0) {
                BltKeyed(CLng(ShotX - 42.0 + 3 * std::cos(a)), CLng(ShotY - 42.0 + 80 * std::sin(a)), MainSurface,
                         BallRects[BallKind::Shooter]);
                BltKeyed(CLng(ShotX - 42.0 - 3 * std::cos(a)), CLng(ShotY - 42.0 - 80 * std::sin(a)), MainSurface,
                         BallRects[BallKind::Shooter]);
            }
            ShotRect = {CLng(static_cast<double>(ShotX) - 23), CLng(static_cast<double>(ShotY) - 114),
                        CLng(static_cast<double>(ShotX) + 31), CLng(static_cast<double>(ShotY) + 110)};
        }
    }

    // The boosted shooter: three copies circle the ball on a flat ellipse.
    if (BallKind == BallKind::Shooter && KindBoost != 0 && Blink == 0) {
        for (int32_t j = 0; j <= 2; ++j) {
            const double a = (120 * j + SpinAngle) * RadiansPerDegree;
            BltKeyed(CLng(BallX - 42.0 + 16 * std::cos(a)), CLng(BallY - 42.0 + 8 * std::sin(a)), MainSurface,
                     BallRects[BallKind::Shooter]);
        }
    }

    ParticlePlayStep();

    // The boosted jumper sparkles.
    if (KindBoost != 0 && BallKind == BallKind::Jumper) {
        const double r1 = Rnd();
        const double r2 = Rnd();
        SpawnBallSpray(3, static_cast<float>(r1 * 3 - 1.5), static_cast<float>(r2 * 3 - 1.5), 10, 4);
    }
}

}  // namespace pm
