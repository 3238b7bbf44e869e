// SCAFFOLD: empty bodies, to be replaced by the real steps.
#include "shell/game_state.h"

namespace pm {

void FormMain::SpawnParticle(float, float, int16_t) {}
void FormMain::SpawnBallSpray(int32_t, float, float, int32_t, int32_t) {}
void FormMain::SpawnSpotSpray(int32_t, float, float, int32_t, int32_t) {}
void FormMain::ParticlePlayStep() {}
void FormMain::ParticleGameOverStep() {}

}  // namespace pm
