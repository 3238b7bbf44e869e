// SCAFFOLD: empty bodies, to be replaced by the real steps.
#include "shell/game_state.h"

namespace pm {

void FormMain::FeverGround() {}
void FormMain::Friction() {}
void FormMain::ImmediateKeys() {}
void FormMain::LeftRightKeys(const MoveKeys&) {}
void FormMain::HorizontalMove() {}
void FormMain::KindTimerAndDrawBall() {}
void FormMain::Stagger() {}

}  // namespace pm
