// SDL's gamepads as the pad the game knows (platform/pad_keys.h): the d-pad
// and the left stick steer, A jumps, B or X is the special move and Back
// gives up the run. Start is the driver's, not a key.
#pragma once

#include <SDL_gamecontroller.h>

#include <array>
#include <cstdint>

#include "platform/pad_keys.h"

namespace pm::sdl {

// What one pad holds at a read.
struct PadState {
    std::array<bool, SDL_CONTROLLER_BUTTON_MAX> Buttons{};
    int16_t LeftX = 0;   // the left stick's horizontal axis, -32768 to 32767
};

// What the buttons and the stick stand for.
PadKeys PadKeysOf(const PadState& pad);

// The game's key code for a button, or 0 for a button that is no key.
uint8_t PadButtonKey(SDL_GameControllerButton button);

// Marks the keys the pad holds (128) in the game's key table; keys already
// held stay held.
void ApplyPad(const PadState& pad, std::array<uint8_t, 256>& keys);

// The state of an open controller.
PadState ReadPad(SDL_GameController* pad);

}  // namespace pm::sdl
