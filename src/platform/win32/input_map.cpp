#include "platform/win32/input_map.h"

#include <windows.h>
#include <xinput.h>

#include "names.h"

namespace pm::win32 {

uint8_t KeyCodeOf(uint32_t lParam, uint32_t virtualKey) {
    // Pause and Num Lock share scan code 0x45 and swap the E0 flag on the
    // way to the message; their virtual keys tell them apart.
    if (virtualKey == VK_PAUSE) return Key::Pause;
    if (virtualKey == VK_NUMLOCK) return Key::NumLock;
    uint32_t scan = (lParam >> 16) & 0x7F;
    bool extended = (lParam >> 24) & 1;
    if (scan == 0) {
        // A key sent by a program may carry no position: find it from the
        // virtual key.
        const UINT found = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC_EX);
        scan = found & 0x7F;
        extended = (found & 0xFF00) == 0xE000;
    }
    return static_cast<uint8_t>(scan | (extended ? 0x80 : 0));
}

uint8_t PadButtonKey(uint16_t button) {
    switch (button) {
        case XINPUT_GAMEPAD_DPAD_LEFT: return Key::Left;
        case XINPUT_GAMEPAD_DPAD_RIGHT: return Key::Right;
        case XINPUT_GAMEPAD_A: return Key::Space;
        case XINPUT_GAMEPAD_B:
        case XINPUT_GAMEPAD_X: return Key::Up;
        case XINPUT_GAMEPAD_BACK: return Key::Delete;
        default: return 0;
    }
}

void ApplyPad(const PadReading& pad, std::array<uint8_t, 256>& keys) {
    for (uint32_t bit = 1; bit <= 0x8000; bit <<= 1) {
        if (!(pad.Buttons & bit)) continue;
        if (const uint8_t code = PadButtonKey(static_cast<uint16_t>(bit))) keys[code] = 128;
    }
    if (pad.LeftX <= -StickDeadZone) keys[Key::Left] = 128;
    if (pad.LeftX >= StickDeadZone) keys[Key::Right] = 128;
}

}  // namespace pm::win32
