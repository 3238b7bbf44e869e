#include "platform/sdl/padmap.h"

#include "names.h"

namespace pm::sdl {

uint8_t PadButtonKey(SDL_GameControllerButton button) {
    switch (button) {
        case SDL_CONTROLLER_BUTTON_DPAD_LEFT: return Key::Left;
        case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: return Key::Right;
        case SDL_CONTROLLER_BUTTON_A: return Key::Space;
        case SDL_CONTROLLER_BUTTON_B:
        case SDL_CONTROLLER_BUTTON_X: return Key::Up;
        case SDL_CONTROLLER_BUTTON_BACK: return Key::Delete;
        default: return 0;
    }
}

void ApplyPad(const PadState& pad, std::array<uint8_t, 256>& keys) {
    for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b) {
        if (!pad.Buttons[static_cast<size_t>(b)]) continue;
        if (const uint8_t code = PadButtonKey(static_cast<SDL_GameControllerButton>(b))) keys[code] = 128;
    }
    if (pad.LeftX <= -StickDeadZone) keys[Key::Left] = 128;
    if (pad.LeftX >= StickDeadZone) keys[Key::Right] = 128;
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
