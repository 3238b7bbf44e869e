#include "platform/pad_keys.h"

#include "machine/key_codes.h"

namespace pm {

void ApplyPad(const PadKeys& pad, std::array<uint8_t, 256>& keys) {
    if (pad.Left || pad.StickX <= -StickDeadZone) keys[Key::Left] = 128;
    if (pad.Right || pad.StickX >= StickDeadZone) keys[Key::Right] = 128;
    if (pad.Jump) keys[Key::Space] = 128;
    if (pad.Special) keys[Key::Up] = 128;
    if (pad.GiveUp) keys[Key::Delete] = 128;
}

}  // namespace pm
