// The keyboard and the gamepads as the game's 256-key table. A key message
// carries the key's position (its set-1 scan code and the E0 flag), which
// is what the table is indexed by. XInput pads are the pad the game knows
// (platform/pad_keys.h): the d-pad and the left stick steer, A jumps, B or X
// is the special move and Back gives up the run. Start is the driver's, not
// a key.
#pragma once

#include <array>
#include <cstdint>

#include "platform/pad_keys.h"

namespace pm::win32 {

// The game's code for a key message: its lParam and virtual key (0 when
// the message tells no key).
uint8_t KeyCodeOf(uint32_t lParam, uint32_t virtualKey);

// One pad as XInput reports it.
struct PadReading {
    uint16_t Buttons = 0;   // XINPUT_GAMEPAD_* bits
    int16_t LeftX = 0;      // -32768 to 32767
};

// What the buttons and the stick stand for.
PadKeys PadKeysOf(const PadReading& pad);
// Marks the keys the pad holds (128); keys already held stay held.
void ApplyPad(const PadReading& pad, std::array<uint8_t, 256>& keys);

}  // namespace pm::win32
