// SCAFFOLD: empty bodies, to be replaced by the real steps.
#include "shell/game_state.h"

namespace pm {

void FormMain::SpawnPopup(int16_t, int16_t, float, float, int16_t) {}
void FormMain::PopupStep() {}
int32_t FormMain::DrawNumber(int32_t x, int32_t, std::string&, int16_t, int16_t) { return x; }

}  // namespace pm
