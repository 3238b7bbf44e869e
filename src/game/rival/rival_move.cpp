// The rival's movement: one of five patterns chosen by the level, on top of
// which it can be dizzy (standing), stunned (sliding and bouncing) or sent
// away (held at the top edge). Leaves its hit rectangle for the frame.
#include <cmath>

#include "game/shell/game_state.h"

namespace pm {

void FormMain::RivalStep() {
    RivalFrame = 1;

    if (RivalDizzyTimer == 0 && RivalStunTimer == 0) {
        // Level 0 (a fever begun on leaving level 100) runs no pattern.
        switch ((Level - 1) % 5) {
            case 0: RivalRoamer(); break;
            case 1: RivalChaser(); break;
            case 2: RivalWallLeaper(); break;
            case 3: RivalStalker(); break;
            case 4: RivalHopper(); break;
            default: break;
        }
    }

    RivalVY = RivalVY + 0.85;
    RivalY = RivalY + RivalVY;

    // During a fever the rival stays away as long as it is above the screen.
    if (RivalY < 0 && Fever != 0) RivalAwayTimer = 100;

    if (RivalStunTimer > 0) {
        RivalX = RivalX + RivalVX;
        if (RivalY > 450) {
            RivalY = 450;
            RivalVY = -RivalVY * 0.57;
            if (RivalVY < -4) RivalVX = RivalVX * 0.9;
        }
        // Knocked out of the top of the screen: away for a good while.
        if (RivalY < -20 && RivalStunTimer > 100) RivalAwayTimer = KindBoost != 0 ? 700 : 360;
    }
    if (RivalY > 450 && RivalStunTimer == 0) {
        RivalY = 450;
        RivalVY = 0;
    }

    if (RivalX < 40) {
        RivalX = 40;
        RivalVX = -RivalVX;
    }
    if (RivalX > 759) {
        RivalX = 759;
        RivalVX = -RivalVX;
    }

    if (RivalAwayTimer > 0) {
        RivalY = -19;
        RivalVY = 0;
        RivalX = 690;
        RivalAwayTimer = RivalAwayTimer - 1;
    }

    if (RivalStunTimer > 0) RivalStunTimer = static_cast<int16_t>(RivalStunTimer - 1);
    if (RivalDizzyTimer > 0) RivalDizzyTimer = RivalDizzyTimer - 1;

    RivalRect = {CLng(RivalX - 20.0), CLng(RivalY - 20.0), CLng(RivalX + 20.0),
                 CLng(RivalY + 20.0)};
}

void FormMain::RivalRoamer() {
    // A push beyond the limit decays back to it.
    if (std::fabs(static_cast<double>(RivalVX)) > RivalMaxSpeed) RivalVX = RivalVX * 0.96;
    RivalX = RivalX + RivalVX;
    if (RivalY < 450) RivalFrame = 0;
    if (Rnd() > 0.99 && RivalY == 450 && Level > 10) RivalVY = -20.0 - Rnd() * 4.0;
}

// Turns toward the ball no faster than its acceleration allows.
void FormMain::RivalChaser() {
    RivalX = RivalX + RivalVX;
    RivalFrame = 0;
    if (BallY > 40) {
        if (RivalX > BallX) {
            RivalVX = RivalVX - RivalAccel;
            if (RivalVX < -RivalMaxSpeed) RivalVX = -RivalMaxSpeed;
        } else if (RivalX < BallX) {
            RivalVX = RivalVX + RivalAccel;
            if (RivalVX > RivalMaxSpeed) RivalVX = RivalMaxSpeed;
        }
    }
}

// Leaps off a wall it has touched; above level 10 only seven times in ten.
void FormMain::RivalWallLeaper() {
    RivalFrame = 0;
    const double k = Level > 10 ? 1.0 : 0.0;
    if (Rnd() > 0.3 * k && RivalX == 40) {
        RivalVX = Rnd() + 10.0;
        RivalVY = -26.0 - Rnd() * 1.5;
        RivalX = 41;
    }
    if (Rnd() > 0.3 * k && RivalX == 759) {
        RivalX = 758;
        if (RivalY == 450) {
            RivalVX = -10.0 - Rnd() * 3.0;
            RivalVY = -24.0 - Rnd() * 2.0;
        } else {
            RivalVX = -RivalMaxSpeed;
            RivalVY = 9.0;
        }
    }
    if (RivalY == 450) RivalFrame = 1;
    RivalX = RivalX + RivalVX;
}

// Creeps toward the ball (only a quarter of any speed above 2) and rushes
// at 4 when it is more than 200 pixels away.
void FormMain::RivalStalker() {
    RivalX = RivalX + RivalVX;
    if (BallY > 40) {
        if (RivalX > BallX) {
            RivalVX = -(Level / 35.0) - 0.2;
            if (RivalVX < -2) RivalVX = -2.0 + (RivalVX + 2.0) / 4.0;
            if (BallX + 200.0 < RivalX) {
                RivalVX = -4.0;
                RivalFrame = 0;
            }
        } else if (RivalX < BallX) {
            RivalVX = Level / 35.0 + 0.2;
            if (RivalVX > 2) RivalVX = 2.0 + (RivalVX - 2.0) / 4.0;
            if (BallX - 200.0 > RivalX) {
                RivalVX = 4.0;
                RivalFrame = 0;
            }
        }
    }
}

// Hops whenever it touches the ground; from level 15 it also turns at random.
void FormMain::RivalHopper() {
    RivalX = RivalX + RivalVX;
    if (std::fabs(static_cast<double>(RivalVX)) > RivalMaxSpeed) RivalVX = RivalVX * 0.96;
    if (Rnd() > 0.95 && RivalY == 450 && Level >= 15) RivalVX = -RivalVX;
    if (RivalY == 450) RivalVY = -14.0 - Rnd() * 4.0;
}

}  // namespace pm
