// Small pure functions of the game's numbers: pitches, bonuses, pans and
// hit tests. Their rounding is exact, because scores and sounds depend on it.
#pragma once

#include <cstdint>

#include "game/canvas/canvas.h"

namespace pm {

// A sound's playback rate moved by steps of an octave (the eating sound
// climbs with the combo, the stagger cry wobbles).
int32_t StepPitch(int32_t hz, int16_t steps, int16_t perOctave);
int32_t LengthBonus(int32_t n);
int32_t PanFromX(float x);
int16_t RectsOverlap(const Rect& r1, const Rect& r2);   // -1 or 0
int32_t DistanceSquared(float x1, float y1, float x2, float y2);

// a + b for the score counters.
// Mended: stops at the Long range; past it the sum would overflow.
int32_t AddLong(int32_t a, int64_t b);

}  // namespace pm
