// Input the host adds to the keyboard's state: quick taps noted from the
// events, and gamepads seen as the game's keys.
#include <gtest/gtest.h>

#include "machine/key_codes.h"
#include "hosts/sdl/padmap.h"
#include "platform/tap_latch.h"

namespace pm {
namespace {

constexpr uint8_t kSpace = Key::Space, kUp = Key::Up, kLeft = Key::Left, kRight = Key::Right, kDelete = Key::Delete,
                  kEscape = Key::Escape;

std::array<uint8_t, 256> Held(std::initializer_list<uint8_t> codes) {
    std::array<uint8_t, 256> keys{};
    for (uint8_t c : codes) keys[c] = 128;
    return keys;
}

TEST(TapLatch, ATapBetweenTwoReadsIsHeldForExactlyTheNextRead) {
    TapLatch latch;
    // Escape went down and up again before the read: the state shows nothing.
    latch.Press(kEscape);
    auto keys = Held({kLeft});
    latch.Apply(keys);
    EXPECT_EQ(keys, Held({kLeft, kEscape}));
    // Once read, the tap is spent.
    keys = Held({});
    latch.Apply(keys);
    EXPECT_EQ(keys, Held({}));

    // A key that is still held stays held; 0 (an unknown key) is never a key.
    latch.Press(kSpace);
    latch.Press(kSpace);
    latch.Press(0);
    keys = Held({kSpace});
    latch.Apply(keys);
    EXPECT_EQ(keys, Held({kSpace}));

    latch.Press(kUp);
    latch.Clear();
    keys = Held({});
    latch.Apply(keys);
    EXPECT_EQ(keys, Held({}));
}

TEST(PadMap, ButtonsAreTheGamesKeys) {
    using namespace sdl;
    EXPECT_EQ(PadButtonKey(SDL_CONTROLLER_BUTTON_DPAD_LEFT), kLeft);
    EXPECT_EQ(PadButtonKey(SDL_CONTROLLER_BUTTON_DPAD_RIGHT), kRight);
    EXPECT_EQ(PadButtonKey(SDL_CONTROLLER_BUTTON_A), kSpace);
    EXPECT_EQ(PadButtonKey(SDL_CONTROLLER_BUTTON_B), kUp);
    EXPECT_EQ(PadButtonKey(SDL_CONTROLLER_BUTTON_X), kUp);
    EXPECT_EQ(PadButtonKey(SDL_CONTROLLER_BUTTON_BACK), kDelete);
    // Start is the driver's (run or pause), never a key the game reads; the
    // rest do nothing.
    EXPECT_EQ(PadButtonKey(SDL_CONTROLLER_BUTTON_START), 0);
    EXPECT_EQ(PadButtonKey(SDL_CONTROLLER_BUTTON_Y), 0);
    EXPECT_EQ(PadButtonKey(SDL_CONTROLLER_BUTTON_GUIDE), 0);
    EXPECT_EQ(PadButtonKey(SDL_CONTROLLER_BUTTON_DPAD_UP), 0);
    EXPECT_EQ(PadButtonKey(SDL_CONTROLLER_BUTTON_INVALID), 0);
}

TEST(PadMap, ThePadAddsToTheKeyboard) {
    using namespace sdl;
    PadState pad;
    pad.Buttons[SDL_CONTROLLER_BUTTON_A] = true;
    pad.Buttons[SDL_CONTROLLER_BUTTON_X] = true;
    pad.Buttons[SDL_CONTROLLER_BUTTON_START] = true;
    auto keys = Held({kDelete});   // from the keyboard
    ApplyPad(pad, keys);
    EXPECT_EQ(keys, Held({kDelete, kSpace, kUp}));

    // The stick steers only past the dead zone, either way.
    PadState stick;
    for (const auto& [x, expected] : std::initializer_list<std::pair<int16_t, std::array<uint8_t, 256>>>{
             {0, Held({})},
             {StickDeadZone - 1, Held({})},
             {StickDeadZone, Held({kRight})},
             {32767, Held({kRight})},
             {-StickDeadZone + 1, Held({})},
             {-StickDeadZone, Held({kLeft})},
             {-32768, Held({kLeft})},
         }) {
        stick.LeftX = x;
        keys = Held({});
        ApplyPad(stick, keys);
        EXPECT_EQ(keys, expected) << "stick at " << x;
    }
}

}  // namespace
}  // namespace pm
