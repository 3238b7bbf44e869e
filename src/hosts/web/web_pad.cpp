#include "hosts/web/web_pad.h"

#include <emscripten/html5.h>

namespace pm::web {

PadKeys PadKeysOf(const PadState& pad) {
    const auto held = [&](size_t b) { return pad.Buttons[b]; };
    PadKeys keys;
    keys.Left = held(PadButton::DpadLeft);
    keys.Right = held(PadButton::DpadRight);
    keys.Jump = held(PadButton::A);
    keys.Special = held(PadButton::B) || held(PadButton::X);
    keys.GiveUp = held(PadButton::Back);
    keys.StickX = pad.LeftX * 32768.0;   // exact: a power of two
    return keys;
}

void Pads::Read(std::array<uint8_t, 256>& keys, bool& startPressed) {
    startPressed = false;
    if (emscripten_sample_gamepad_data() != EMSCRIPTEN_RESULT_SUCCESS) return;
    const int count = emscripten_get_num_gamepads();
    for (int i = 0; i < count && i < static_cast<int>(startHeld_.size()); ++i) {
        EmscriptenGamepadEvent e;
        bool start = false;
        if (emscripten_get_gamepad_status(i, &e) == EMSCRIPTEN_RESULT_SUCCESS && e.connected) {
            PadState pad;
            for (size_t b = 0; b < PadState::ButtonCount && static_cast<int>(b) < e.numButtons; ++b)
                pad.Buttons[b] = e.digitalButton[b] != 0;
            if (e.numAxes > 0) pad.LeftX = e.axis[0];
            ApplyPad(PadKeysOf(pad), keys);
            start = pad.Buttons[PadButton::Start];
        }
        if (StartWentDown(startHeld_[static_cast<size_t>(i)], start)) startPressed = true;
        startHeld_[static_cast<size_t>(i)] = start;
    }
}

}  // namespace pm::web
