#include "platform/key_table.h"

namespace pm {

void KeyTable::Down(uint8_t code) {
    if (code == 0) return;
    held_[code] = true;
    taps_.Press(code);
}

void KeyTable::Up(uint8_t code) { held_[code] = false; }

void KeyTable::Clear() {
    held_.fill(false);
    taps_.Clear();
}

void KeyTable::Read(std::array<uint8_t, 256>& keys) {
    for (size_t k = 0; k < keys.size(); ++k) keys[k] = held_[k] ? 128 : 0;
    taps_.Apply(keys);
}

}  // namespace pm
