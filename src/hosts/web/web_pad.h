// Gamepads in the browser (the Gamepad API's standard layout) as the pad the
// game knows (platform/pad_keys.h), with the desktop's mapping: the d-pad and
// the left stick steer, A jumps, B or X is the special move and Back gives up
// the run. Start is the driver's, not a key.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/pad_keys.h"

namespace pm::web {

// One pad at a read, by the standard layout's button numbers.
struct PadState {
    static constexpr size_t ButtonCount = 17;
    std::array<bool, ButtonCount> Buttons{};
    double LeftX = 0;   // the left stick's horizontal axis, -1 to 1
};

namespace PadButton {
enum : size_t { A = 0, B = 1, X = 2, Y = 3, Back = 8, Start = 9, DpadLeft = 14, DpadRight = 15 };
}

// What the buttons and the stick stand for.
PadKeys PadKeysOf(const PadState& pad);

// Every pad the page sees, read once a frame.
class Pads {
public:
    // Reads the pads: their keys into `keys`, and whether Start went down
    // on any of them since the last read.
    void Read(std::array<uint8_t, 256>& keys, bool& startPressed);

private:
    std::array<bool, 4> startHeld_{};
};

}  // namespace pm::web
