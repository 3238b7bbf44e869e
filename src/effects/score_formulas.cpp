// SCAFFOLD: empty bodies, to be replaced by the real formulas.
#include "effects/score_formulas.h"

namespace pm {

int32_t PowerScore(int32_t, int16_t, int16_t) { return 0; }
int32_t LengthBonus(int32_t) { return 0; }
int32_t PanFromX(float) { return 0; }
int16_t RectsOverlap(const Rect&, const Rect&) { return 0; }
int32_t DistanceSquared(float, float, float, float) { return 0; }

}  // namespace pm
