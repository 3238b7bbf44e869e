// One frame of the play state: the ball, the level clock and the rival move
// first; then the rival's picture, the contact, the items and the gauges.
#include "game/shell/game_state.h"

namespace pm {

void FormMain::PlayFrame() {
    FeverGround();
    Friction();
    ImmediateKeys();

    // The player has no say while a dash runs.
    if (Dashing == 0) {
        MoveKeys keys;
        keys.Left = KeyState[Key::Left];
        keys.Right = KeyState[Key::Right];
        keys.Jump = KeyState[Key::Space];
        keys.Special = KeyState[Key::Up];
        LeftRightKeys(keys);
        if (keys.Jump != 0) SpaceKey();
        if (keys.Special != 0) UpKey();
    }

    VerticalMotion();
    HorizontalMove();
    if (Dashing != 0) DashStep();
    KindTimerAndDrawBall();
    Stagger();
    LevelTimerStep();
    RivalStep();

    RivalSpriteAndShot();
    RivalContact();
    ItemPass();
    Gauges();
}

}  // namespace pm
