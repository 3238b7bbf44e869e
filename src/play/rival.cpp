// SCAFFOLD: empty bodies, to be replaced by the real steps.
#include "shell/game_state.h"

namespace pm {

void FormMain::RivalStep() {}
void FormMain::RivalRoamer() {}
void FormMain::RivalChaser() {}
void FormMain::RivalWallLeaper() {}
void FormMain::RivalStalker() {}
void FormMain::RivalHopper() {}

}  // namespace pm
