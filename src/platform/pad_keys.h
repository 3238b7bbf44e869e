// A gamepad seen as the keyboard the game knows, the same on every system:
// the d-pad and the left stick steer (the arrow keys), the jump button is
// Space, the special move is Up and giving up the run is Delete. Start is
// not a key: it is the driver's, which makes it start a run from the title
// and pause in play. Each host only says which of its buttons is which.
#pragma once

#include <array>
#include <cstdint>

namespace pm {

// What one pad holds at a read.
struct PadKeys {
    bool Left = false;      // the d-pad
    bool Right = false;
    bool Jump = false;
    bool Special = false;
    bool GiveUp = false;
    double StickX = 0;      // the left stick's horizontal axis, -32768 to 32767
};

// How far the stick must lean before it steers: a little under half way, so
// a worn stick resting off centre does not walk the ball.
inline constexpr int16_t StickDeadZone = 14000;

// Marks the keys the pad holds (128) in the game's key table; keys already
// held stay held.
void ApplyPad(const PadKeys& pad, std::array<uint8_t, 256>& keys);

// True when Start went down between two reads of one pad.
inline bool StartWentDown(bool heldBefore, bool heldNow) { return heldNow && !heldBefore; }

}  // namespace pm
