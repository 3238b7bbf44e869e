// SDL keys become the game's key codes (set-1 scan codes, extended keys plus
// 128), and the key table holds 128 for exactly the held keys.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include <SDL_keyboard.h>

#include "hosts/sdl/keymap.h"

namespace pm::sdl {
namespace {

TEST(KeyMap, TheGamesElevenKeys) {
    EXPECT_EQ(KeyCode(SDL_SCANCODE_ESCAPE), 1);
    EXPECT_EQ(KeyCode(SDL_SCANCODE_W), 17);
    EXPECT_EQ(KeyCode(SDL_SCANCODE_E), 18);
    EXPECT_EQ(KeyCode(SDL_SCANCODE_R), 19);
    EXPECT_EQ(KeyCode(SDL_SCANCODE_LSHIFT), 42);
    EXPECT_EQ(KeyCode(SDL_SCANCODE_RSHIFT), 54);
    EXPECT_EQ(KeyCode(SDL_SCANCODE_SPACE), 57);
    EXPECT_EQ(KeyCode(SDL_SCANCODE_UP), 200);
    EXPECT_EQ(KeyCode(SDL_SCANCODE_LEFT), 203);
    EXPECT_EQ(KeyCode(SDL_SCANCODE_RIGHT), 205);
    EXPECT_EQ(KeyCode(SDL_SCANCODE_DELETE), 211);
}

TEST(KeyMap, RestOfTheTable) {
    // Main block, keypad and extended keys; the keypad's own arrows differ
    // from the extended arrow keys.
    EXPECT_EQ(KeyCode(SDL_SCANCODE_1), 2);
    EXPECT_EQ(KeyCode(SDL_SCANCODE_RETURN), 28);
    EXPECT_EQ(KeyCode(SDL_SCANCODE_KP_ENTER), 156);
    EXPECT_EQ(KeyCode(SDL_SCANCODE_LCTRL), 29);
    EXPECT_EQ(KeyCode(SDL_SCANCODE_RCTRL), 157);
    EXPECT_EQ(KeyCode(SDL_SCANCODE_LALT), 56);
    EXPECT_EQ(KeyCode(SDL_SCANCODE_RALT), 184);
    EXPECT_EQ(KeyCode(SDL_SCANCODE_KP_8), 72);
    EXPECT_EQ(KeyCode(SDL_SCANCODE_DOWN), 208);
    EXPECT_EQ(KeyCode(SDL_SCANCODE_F12), 88);
    EXPECT_EQ(KeyCode(SDL_SCANCODE_UNKNOWN), 0);
    EXPECT_EQ(KeyCode(static_cast<SDL_Scancode>(-1)), 0);
    EXPECT_EQ(KeyCode(static_cast<SDL_Scancode>(SDL_NUM_SCANCODES)), 0);

    // No two of the ordinary keys share a code.
    std::set<uint8_t> seen;
    for (int k = SDL_SCANCODE_A; k <= SDL_SCANCODE_KP_PERIOD; ++k) {
        if (k == SDL_SCANCODE_NONUSHASH) continue;   // the same key as backslash
        const uint8_t code = KeyCode(static_cast<SDL_Scancode>(k));
        EXPECT_NE(code, 0) << SDL_GetScancodeName(static_cast<SDL_Scancode>(k));
        EXPECT_TRUE(seen.insert(code).second) << SDL_GetScancodeName(static_cast<SDL_Scancode>(k));
    }
}

TEST(KeyMap, FillsTheTableFromSdlsState) {
    std::vector<uint8_t> state(SDL_NUM_SCANCODES, 0);
    state[SDL_SCANCODE_LEFT] = 1;
    state[SDL_SCANCODE_SPACE] = 1;
    state[SDL_SCANCODE_LANG9] = 1;   // held but unmapped: ignored
    std::array<uint8_t, 256> keys;
    keys.fill(7);   // whatever the last frame left
    FillKeyTable(state.data(), static_cast<int>(state.size()), keys);
    for (int code = 0; code < 256; ++code)
        EXPECT_EQ(keys[code], code == Key::Left || code == Key::Space ? 128 : 0) << code;

    // A shorter state array is read only as far as it goes.
    FillKeyTable(state.data(), SDL_SCANCODE_LEFT, keys);
    EXPECT_EQ(keys[Key::Space], 128);
    EXPECT_EQ(keys[Key::Left], 0);
    FillKeyTable(nullptr, 0, keys);
    EXPECT_EQ(keys[Key::Space], 0);
}

}  // namespace
}  // namespace pm::sdl
