#include "platform/web/web_pad.h"

#include <emscripten/html5.h>

#include "names.h"

namespace pm::web {

void ApplyPad(const PadState& pad, std::array<uint8_t, 256>& keys) {
    const auto held = [&](size_t b) { return pad.Buttons[b]; };
    if (held(PadButton::DpadLeft) || pad.LeftX <= -StickDeadZone) keys[Key::Left] = 128;
    if (held(PadButton::DpadRight) || pad.LeftX >= StickDeadZone) keys[Key::Right] = 128;
    if (held(PadButton::A)) keys[Key::Space] = 128;
    if (held(PadButton::B) || held(PadButton::X)) keys[Key::Up] = 128;
    if (held(PadButton::Back)) keys[Key::Delete] = 128;
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
            ApplyPad(pad, keys);
            start = pad.Buttons[PadButton::Start];
        }
        if (start && !startHeld_[static_cast<size_t>(i)]) startPressed = true;
        startHeld_[static_cast<size_t>(i)] = start;
    }
}

}  // namespace pm::web
