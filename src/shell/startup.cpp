// SCAFFOLD: empty bodies, to be replaced by the real steps.
#include "shell/game_state.h"

namespace pm {

void FormMain::Form_Load() {}
void FormMain::StartUp() {}
bool FormMain::Frame() { return false; }
void FormMain::Form_MouseDown() {}
void FormMain::CloseWindow() {}
void FormMain::Form_Unload() {}
void FormMain::ResetGame() {}

}  // namespace pm
