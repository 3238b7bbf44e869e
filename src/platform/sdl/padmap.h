// A gamepad seen as the keyboard the game knows: the d-pad and the left
// stick steer (the arrow keys), A jumps (Space), B or X is the special move
// (Up) and Back gives up the run (Delete). Start is not a key: it is the
// driver's, which makes it start a run from the title and pause in play.
#pragma once

#include <SDL_gamecontroller.h>

#include <array>
#include <cstdint>

namespace pm::sdl {

// What one pad holds at a read.
struct PadState {
    std::array<bool, SDL_CONTROLLER_BUTTON_MAX> Buttons{};
    int16_t LeftX = 0;   // the left stick's horizontal axis, -32768 to 32767
};

// How far the stick must lean before it steers: a little under half way, so
// a worn stick resting off centre does not walk the ball.
inline constexpr int16_t StickDeadZone = 14000;

// The game's key code for a button, or 0 for a button that is no key.
uint8_t PadButtonKey(SDL_GameControllerButton button);

// Marks the keys the pad holds (128) in the game's key table; keys already
// held stay held.
void ApplyPad(const PadState& pad, std::array<uint8_t, 256>& keys);

// The state of an open controller.
PadState ReadPad(SDL_GameController* pad);

}  // namespace pm::sdl
