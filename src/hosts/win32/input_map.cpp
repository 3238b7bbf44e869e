#include "hosts/win32/input_map.h"

#include <windows.h>
#include <xinput.h>

#include "machine/key_codes.h"

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

PadKeys PadKeysOf(const PadReading& pad) {
    const auto held = [&](uint16_t button) { return (pad.Buttons & button) != 0; };
    PadKeys keys;
    keys.Left = held(XINPUT_GAMEPAD_DPAD_LEFT);
    keys.Right = held(XINPUT_GAMEPAD_DPAD_RIGHT);
    keys.Jump = held(XINPUT_GAMEPAD_A);
    keys.Special = held(XINPUT_GAMEPAD_B) || held(XINPUT_GAMEPAD_X);
    keys.GiveUp = held(XINPUT_GAMEPAD_BACK);
    keys.StickX = pad.LeftX;
    return keys;
}

void ApplyPad(const PadReading& pad, std::array<uint8_t, 256>& keys) { pm::ApplyPad(PadKeysOf(pad), keys); }

}  // namespace pm::win32
