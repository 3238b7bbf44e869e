#include "platform/sdl/padmap.h"

namespace pm::sdl {

// The game's key codes (set-1 scan codes, extended keys plus 128).
namespace {
constexpr uint8_t kSpace = 57, kUp = 200, kLeft = 203, kRight = 205, kDelete = 211;
}

uint8_t PadButtonKey(SDL_GameControllerButton button) {
    switch (button) {
        case SDL_CONTROLLER_BUTTON_DPAD_LEFT: return kLeft;
        case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: return kRight;
        case SDL_CONTROLLER_BUTTON_A: return kSpace;
        case SDL_CONTROLLER_BUTTON_B:
        case SDL_CONTROLLER_BUTTON_X: return kUp;
        case SDL_CONTROLLER_BUTTON_BACK: return kDelete;
        default: return 0;
    }
}

void ApplyPad(const PadState& pad, std::array<uint8_t, 256>& keys) {
    for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b) {
        if (!pad.Buttons[static_cast<size_t>(b)]) continue;
        if (const uint8_t code = PadButtonKey(static_cast<SDL_GameControllerButton>(b))) keys[code] = 128;
    }
    if (pad.LeftX <= -StickDeadZone) keys[kLeft] = 128;
    if (pad.LeftX >= StickDeadZone) keys[kRight] = 128;
}

PadState ReadPad(SDL_GameController* pad) {
    PadState state;
    for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b)
        state.Buttons[static_cast<size_t>(b)] =
            SDL_GameControllerGetButton(pad, static_cast<SDL_GameControllerButton>(b)) != 0;
    state.LeftX = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX);
    return state;
}

}  // namespace pm::sdl
