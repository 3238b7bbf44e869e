// Gamepads in the browser (the Gamepad API's standard layout), seen as the
// keyboard the game knows, with the desktop's mapping: the d-pad and the
// left stick steer (the arrow keys), A jumps (Space), B or X is the special
// move (Up) and Back gives up the run (Delete). Start is no key: it is the
// driver's, which makes it start a run from the title and pause in play.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

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

// How far the stick must lean before it steers, as on the desktop: a little
// under half way, so a worn stick resting off centre does not walk the ball.
inline constexpr double StickDeadZone = 14000.0 / 32768.0;

// Marks the keys the pad holds (128) in the game's key table; keys already
// held stay held.
void ApplyPad(const PadState& pad, std::array<uint8_t, 256>& keys);

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
