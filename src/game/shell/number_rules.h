// The numeric ground rules every part of the game shares: the rounding
// conversions, the number-to-text form and the one random generator.
// Game arithmetic is evaluated in double and stored at the width of its
// target; these helpers are the only way a value is turned into an integer.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace pm {

// Nearest integer, ties to the even neighbour (the default rounding mode).
// Mended: values beyond the target range saturate instead of overflowing
// (an error that would end the game); the game never produces them in play.
inline int32_t CLng(double v) {
    if (std::isnan(v)) return 0;
    const double r = std::nearbyint(v);
    if (r >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (r <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(r);
}

inline int16_t CInt(double v) {
    if (std::isnan(v)) return 0;
    const double r = std::nearbyint(v);
    if (r >= 32767.0) return std::numeric_limits<int16_t>::max();
    if (r <= -32768.0) return std::numeric_limits<int16_t>::min();
    return static_cast<int16_t>(r);
}

// Int: the largest integer not above v, still as a double, so the caller
// stores it at whatever width the target has.
inline double Int(double v) { return std::floor(v); }

// The number-to-text form: one leading space for a non-negative number,
// a minus sign otherwise, then the digits.
inline std::string Str(int64_t v) {
    return (v >= 0 ? " " : "") + std::to_string(v);
}

// Booleans of the game record are 16-bit integers holding -1 or 0.
constexpr int16_t True = -1;
constexpr int16_t False = 0;
inline int16_t Bool(bool b) { return b ? True : False; }

// The game's random generator: a 24-bit linear congruential generator whose
// every value is an exact multiple of 2^-24 in [0, 1).
struct Random {
    uint32_t State = 0;

    void Seed(uint64_t n) { State = static_cast<uint32_t>(n % 16777216u); }

    float Next() {
        State = static_cast<uint32_t>(
            (static_cast<uint64_t>(State) * 1140671485u + 12820163u) % 16777216u);
        return static_cast<float>(State) / 16777216.0f;
    }
};

}  // namespace pm
