// Pitches, chain bonuses, stereo pans and hit tests. Everything is worked in
// double and rounded once, through CLng, exactly where the result is stored.
#include "game/effects/score_formulas.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "game/shell/number_rules.h"

namespace pm {

// hz raised by `steps` steps of an octave split into `perOctave`:
// hz * 2^(steps / perOctave), in Hz.
// Mended: capped at the highest frequency a sound buffer accepts, where a
// higher one would be refused and end the game.
int32_t StepPitch(int32_t hz, int16_t steps, int16_t perOctave) {
    double exponent = static_cast<double>(steps) / static_cast<double>(perOctave);
    if (exponent > 24) exponent = 24;
    const double v = static_cast<double>(hz) * std::pow(2.0, exponent);
    if (!(v < 100000)) return 100000;   // also catches a NaN from perOctave = 0
    const int32_t r = CLng(v);
    return r < 100000 ? r : 100000;
}

// The bonus for a chain of n plain items: nothing below 30, then a curve
// that grows a little faster than linearly, always a multiple of 10.
int32_t LengthBonus(int32_t n) {
    if (n < 30) return 0;
    const double t = Int(1.25 * std::pow(static_cast<double>(n) - 30, 1.48));
    const int32_t tens = CLng((t + 99) / 10);
    // Mended: far beyond any real chain, stay inside the Long range instead
    // of overflowing.
    constexpr int32_t kMostTens = std::numeric_limits<int32_t>::max() / 10;
    if (tens > kMostTens) return kMostTens * 10;
    return 10 * tens;
}

// Five pan units per pixel from the centre column; CLng saturates, so even a
// position far off screen gives a defined (if silly) value.
int32_t PanFromX(float x) { return CLng(Int(static_cast<double>(x) - 400) * 5); }

// Inclusive: rectangles that only share an edge or a corner overlap.
int16_t RectsOverlap(const Rect& r1, const Rect& r2) {
    if (r1.Left > r2.Right || r1.Top > r2.Bottom || r1.Right < r2.Left || r1.Bottom < r2.Top) return False;
    return True;
}

// The differences are rounded before they are squared.
int32_t DistanceSquared(float x1, float y1, float x2, float y2) {
    const int64_t dx = CLng(static_cast<double>(x1) - x2);
    const int64_t dy = CLng(static_cast<double>(y1) - y2);
    const uint64_t d = static_cast<uint64_t>(dx * dx) + static_cast<uint64_t>(dy * dy);
    constexpr uint64_t kMost = std::numeric_limits<int32_t>::max();
    return d > kMost ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(d);
}

int32_t AddLong(int32_t a, int64_t b) {
    const int64_t s = static_cast<int64_t>(a) + b;
    if (s > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (s < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(s);
}

}  // namespace pm
