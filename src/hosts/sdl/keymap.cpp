#include "hosts/sdl/keymap.h"

namespace pm::sdl {

namespace {

struct Pair {
    SDL_Scancode From;
    Key::Code To;
};

// SDL's key positions to the game's key codes.
constexpr Pair Table[] = {
    {SDL_SCANCODE_ESCAPE, Key::Escape},
    {SDL_SCANCODE_1, Key::D1}, {SDL_SCANCODE_2, Key::D2}, {SDL_SCANCODE_3, Key::D3}, {SDL_SCANCODE_4, Key::D4},
    {SDL_SCANCODE_5, Key::D5}, {SDL_SCANCODE_6, Key::D6}, {SDL_SCANCODE_7, Key::D7}, {SDL_SCANCODE_8, Key::D8},
    {SDL_SCANCODE_9, Key::D9}, {SDL_SCANCODE_0, Key::D0}, {SDL_SCANCODE_MINUS, Key::Minus}, {SDL_SCANCODE_EQUALS, Key::Equals},
    {SDL_SCANCODE_BACKSPACE, Key::Backspace}, {SDL_SCANCODE_TAB, Key::Tab},
    {SDL_SCANCODE_Q, Key::Q}, {SDL_SCANCODE_W, Key::W}, {SDL_SCANCODE_E, Key::E}, {SDL_SCANCODE_R, Key::R},
    {SDL_SCANCODE_T, Key::T}, {SDL_SCANCODE_Y, Key::Y}, {SDL_SCANCODE_U, Key::U}, {SDL_SCANCODE_I, Key::I},
    {SDL_SCANCODE_O, Key::O}, {SDL_SCANCODE_P, Key::P}, {SDL_SCANCODE_LEFTBRACKET, Key::LeftBracket},
    {SDL_SCANCODE_RIGHTBRACKET, Key::RightBracket}, {SDL_SCANCODE_RETURN, Key::Return}, {SDL_SCANCODE_LCTRL, Key::LControl},
    {SDL_SCANCODE_A, Key::A}, {SDL_SCANCODE_S, Key::S}, {SDL_SCANCODE_D, Key::D}, {SDL_SCANCODE_F, Key::F},
    {SDL_SCANCODE_G, Key::G}, {SDL_SCANCODE_H, Key::H}, {SDL_SCANCODE_J, Key::J}, {SDL_SCANCODE_K, Key::K},
    {SDL_SCANCODE_L, Key::L}, {SDL_SCANCODE_SEMICOLON, Key::Semicolon}, {SDL_SCANCODE_APOSTROPHE, Key::Apostrophe},
    {SDL_SCANCODE_GRAVE, Key::Grave}, {SDL_SCANCODE_LSHIFT, Key::LShift}, {SDL_SCANCODE_BACKSLASH, Key::Backslash},
    {SDL_SCANCODE_NONUSHASH, Key::Backslash},
    {SDL_SCANCODE_Z, Key::Z}, {SDL_SCANCODE_X, Key::X}, {SDL_SCANCODE_C, Key::C}, {SDL_SCANCODE_V, Key::V},
    {SDL_SCANCODE_B, Key::B}, {SDL_SCANCODE_N, Key::N}, {SDL_SCANCODE_M, Key::M}, {SDL_SCANCODE_COMMA, Key::Comma},
    {SDL_SCANCODE_PERIOD, Key::Period}, {SDL_SCANCODE_SLASH, Key::Slash}, {SDL_SCANCODE_RSHIFT, Key::RShift},
    {SDL_SCANCODE_KP_MULTIPLY, Key::Multiply}, {SDL_SCANCODE_LALT, Key::LAlt}, {SDL_SCANCODE_SPACE, Key::Space},
    {SDL_SCANCODE_CAPSLOCK, Key::CapsLock},
    {SDL_SCANCODE_F1, Key::F1}, {SDL_SCANCODE_F2, Key::F2}, {SDL_SCANCODE_F3, Key::F3}, {SDL_SCANCODE_F4, Key::F4},
    {SDL_SCANCODE_F5, Key::F5}, {SDL_SCANCODE_F6, Key::F6}, {SDL_SCANCODE_F7, Key::F7}, {SDL_SCANCODE_F8, Key::F8},
    {SDL_SCANCODE_F9, Key::F9}, {SDL_SCANCODE_F10, Key::F10}, {SDL_SCANCODE_NUMLOCKCLEAR, Key::NumLock},
    {SDL_SCANCODE_SCROLLLOCK, Key::ScrollLock},
    {SDL_SCANCODE_KP_7, Key::Numpad7}, {SDL_SCANCODE_KP_8, Key::Numpad8}, {SDL_SCANCODE_KP_9, Key::Numpad9},
    {SDL_SCANCODE_KP_MINUS, Key::Subtract}, {SDL_SCANCODE_KP_4, Key::Numpad4}, {SDL_SCANCODE_KP_5, Key::Numpad5},
    {SDL_SCANCODE_KP_6, Key::Numpad6}, {SDL_SCANCODE_KP_PLUS, Key::Add}, {SDL_SCANCODE_KP_1, Key::Numpad1},
    {SDL_SCANCODE_KP_2, Key::Numpad2}, {SDL_SCANCODE_KP_3, Key::Numpad3}, {SDL_SCANCODE_KP_0, Key::Numpad0},
    {SDL_SCANCODE_KP_PERIOD, Key::Decimal}, {SDL_SCANCODE_NONUSBACKSLASH, Key::Oem102},
    {SDL_SCANCODE_F11, Key::F11}, {SDL_SCANCODE_F12, Key::F12},
    {SDL_SCANCODE_F13, Key::F13}, {SDL_SCANCODE_F14, Key::F14}, {SDL_SCANCODE_F15, Key::F15},
    // Japanese keyboard keys.
    {SDL_SCANCODE_INTERNATIONAL2, Key::Kana},   // katakana/hiragana
    {SDL_SCANCODE_INTERNATIONAL1, Key::AbntC1},   // ro
    {SDL_SCANCODE_INTERNATIONAL4, Key::Convert},   // henkan
    {SDL_SCANCODE_INTERNATIONAL5, Key::NoConvert},   // muhenkan
    {SDL_SCANCODE_INTERNATIONAL3, Key::Yen},   // yen
    {SDL_SCANCODE_KP_EQUALS, Key::NumpadEquals},
    // Extended keys.
    {SDL_SCANCODE_KP_ENTER, Key::NumpadEnter}, {SDL_SCANCODE_RCTRL, Key::RControl}, {SDL_SCANCODE_MUTE, Key::Mute},
    {SDL_SCANCODE_VOLUMEDOWN, Key::VolumeDown}, {SDL_SCANCODE_VOLUMEUP, Key::VolumeUp}, {SDL_SCANCODE_KP_COMMA, Key::NumpadComma},
    {SDL_SCANCODE_KP_DIVIDE, Key::Divide}, {SDL_SCANCODE_PRINTSCREEN, Key::SysRq}, {SDL_SCANCODE_RALT, Key::RAlt},
    {SDL_SCANCODE_PAUSE, Key::Pause}, {SDL_SCANCODE_HOME, Key::Home}, {SDL_SCANCODE_UP, Key::Up},
    {SDL_SCANCODE_PAGEUP, Key::PageUp}, {SDL_SCANCODE_LEFT, Key::Left}, {SDL_SCANCODE_RIGHT, Key::Right},
    {SDL_SCANCODE_END, Key::End}, {SDL_SCANCODE_DOWN, Key::Down}, {SDL_SCANCODE_PAGEDOWN, Key::PageDown},
    {SDL_SCANCODE_INSERT, Key::Insert}, {SDL_SCANCODE_DELETE, Key::Delete}, {SDL_SCANCODE_LGUI, Key::LWin},
    {SDL_SCANCODE_RGUI, Key::RWin}, {SDL_SCANCODE_APPLICATION, Key::Apps}, {SDL_SCANCODE_POWER, Key::Power},
    {SDL_SCANCODE_SLEEP, Key::Sleep},
};

struct Lookup {
    std::array<uint8_t, SDL_NUM_SCANCODES> Codes{};
    constexpr Lookup() {
        for (const Pair& p : Table) Codes[p.From] = p.To;
    }
};
constexpr Lookup Codes;

}  // namespace

uint8_t KeyCode(SDL_Scancode scancode) {
    if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) return 0;
    return Codes.Codes[scancode];
}

void FillKeyTable(const uint8_t* sdlState, int numKeys, std::array<uint8_t, 256>& keys) {
    keys.fill(0);
    if (!sdlState) return;
    const int n = numKeys < SDL_NUM_SCANCODES ? numKeys : SDL_NUM_SCANCODES;
    for (int k = 0; k < n; ++k) {
        if (!sdlState[k]) continue;
        const uint8_t code = Codes.Codes[k];
        if (code != 0) keys[code] = 128;
    }
}

}  // namespace pm::sdl
