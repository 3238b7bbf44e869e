#include "hosts/sdl/padmap.h"

namespace pm::sdl {

PadKeys PadKeysOf(const PadState& pad) {
    const auto held = [&](SDL_GameControllerButton b) { return pad.Buttons[static_cast<size_t>(b)]; };
    PadKeys keys;
    keys.Left = held(SDL_CONTROLLER_BUTTON_DPAD_LEFT);
    keys.Right = held(SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
    keys.Jump = held(SDL_CONTROLLER_BUTTON_A);
    keys.Special = held(SDL_CONTROLLER_BUTTON_B) || held(SDL_CONTROLLER_BUTTON_X);
    keys.GiveUp = held(SDL_CONTROLLER_BUTTON_BACK);
    keys.StickX = pad.LeftX;
    return keys;
}

uint8_t PadButtonKey(SDL_GameControllerButton button) {
    if (button < 0 || button >= SDL_CONTROLLER_BUTTON_MAX) return 0;
    PadState one;
    one.Buttons[static_cast<size_t>(button)] = true;
    std::array<uint8_t, 256> keys{};
    ApplyPad(one, keys);
    for (size_t k = 0; k < keys.size(); ++k)
        if (keys[k]) return static_cast<uint8_t>(k);
    return 0;
}

void ApplyPad(const PadState& pad, std::array<uint8_t, 256>& keys) { pm::ApplyPad(PadKeysOf(pad), keys); }

PadState ReadPad(SDL_GameController* pad) {
    PadState state;
    for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b)
        state.Buttons[static_cast<size_t>(b)] =
            SDL_GameControllerGetButton(pad, static_cast<SDL_GameControllerButton>(b)) != 0;
    state.LeftX = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX);
    return state;
}

}  // namespace pm::sdl
