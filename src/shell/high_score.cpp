// SCAFFOLD: empty bodies, to be replaced by the real steps.
#include "shell/game_state.h"

namespace pm {

void FormMain::LoadHighScore() {}
void FormMain::SaveHighScore() {}

}  // namespace pm
