#include "hosts/web/dom_keys.h"

#include "machine/key_codes.h"

namespace pm::web {

namespace {

struct Pair {
    std::string_view From;
    uint8_t To;
};

// KeyboardEvent.code by key position, as the desktop's key map.
constexpr Pair Table[] = {
    {"Escape", Key::Escape}, {"Digit1", Key::D1}, {"Digit2", Key::D2}, {"Digit3", Key::D3},
    {"Digit4", Key::D4}, {"Digit5", Key::D5}, {"Digit6", Key::D6}, {"Digit7", Key::D7}, {"Digit8", Key::D8},
    {"Digit9", Key::D9}, {"Digit0", Key::D0}, {"Minus", Key::Minus}, {"Equal", Key::Equals},
    {"Backspace", Key::Backspace}, {"Tab", Key::Tab},
    {"KeyQ", Key::Q}, {"KeyW", Key::W}, {"KeyE", Key::E}, {"KeyR", Key::R}, {"KeyT", Key::T}, {"KeyY", Key::Y},
    {"KeyU", Key::U}, {"KeyI", Key::I}, {"KeyO", Key::O}, {"KeyP", Key::P},
    {"BracketLeft", Key::LeftBracket}, {"BracketRight", Key::RightBracket}, {"Enter", Key::Return},
    {"ControlLeft", Key::LControl},
    {"KeyA", Key::A}, {"KeyS", Key::S}, {"KeyD", Key::D}, {"KeyF", Key::F}, {"KeyG", Key::G}, {"KeyH", Key::H},
    {"KeyJ", Key::J}, {"KeyK", Key::K}, {"KeyL", Key::L}, {"Semicolon", Key::Semicolon},
    {"Quote", Key::Apostrophe}, {"Backquote", Key::Grave}, {"ShiftLeft", Key::LShift},
    {"Backslash", Key::Backslash},
    {"KeyZ", Key::Z}, {"KeyX", Key::X}, {"KeyC", Key::C}, {"KeyV", Key::V}, {"KeyB", Key::B}, {"KeyN", Key::N},
    {"KeyM", Key::M}, {"Comma", Key::Comma}, {"Period", Key::Period}, {"Slash", Key::Slash},
    {"ShiftRight", Key::RShift}, {"NumpadMultiply", Key::Multiply}, {"AltLeft", Key::LAlt},
    {"Space", Key::Space}, {"CapsLock", Key::CapsLock},
    {"F1", Key::F1}, {"F2", Key::F2}, {"F3", Key::F3}, {"F4", Key::F4}, {"F5", Key::F5}, {"F6", Key::F6},
    {"F7", Key::F7}, {"F8", Key::F8}, {"F9", Key::F9}, {"F10", Key::F10}, {"NumLock", Key::NumLock},
    {"ScrollLock", Key::ScrollLock},
    {"Numpad7", Key::Numpad7}, {"Numpad8", Key::Numpad8}, {"Numpad9", Key::Numpad9},
    {"NumpadSubtract", Key::Subtract}, {"Numpad4", Key::Numpad4}, {"Numpad5", Key::Numpad5},
    {"Numpad6", Key::Numpad6}, {"NumpadAdd", Key::Add}, {"Numpad1", Key::Numpad1}, {"Numpad2", Key::Numpad2},
    {"Numpad3", Key::Numpad3}, {"Numpad0", Key::Numpad0}, {"NumpadDecimal", Key::Decimal},
    {"IntlBackslash", Key::Oem102}, {"F11", Key::F11}, {"F12", Key::F12},
    {"F13", Key::F13}, {"F14", Key::F14}, {"F15", Key::F15},
    // Japanese keyboard keys.
    {"KanaMode", Key::Kana}, {"IntlRo", Key::AbntC1}, {"Convert", Key::Convert},
    {"NonConvert", Key::NoConvert}, {"IntlYen", Key::Yen},
    // Extended keys.
    {"NumpadEqual", Key::NumpadEquals}, {"NumpadEnter", Key::NumpadEnter}, {"ControlRight", Key::RControl},
    {"AudioVolumeMute", Key::Mute}, {"AudioVolumeDown", Key::VolumeDown}, {"AudioVolumeUp", Key::VolumeUp},
    {"NumpadComma", Key::NumpadComma}, {"NumpadDivide", Key::Divide}, {"PrintScreen", Key::SysRq},
    {"AltRight", Key::RAlt}, {"Pause", Key::Pause}, {"Home", Key::Home}, {"ArrowUp", Key::Up},
    {"PageUp", Key::PageUp}, {"ArrowLeft", Key::Left}, {"ArrowRight", Key::Right}, {"End", Key::End},
    {"ArrowDown", Key::Down}, {"PageDown", Key::PageDown}, {"Insert", Key::Insert}, {"Delete", Key::Delete},
    {"MetaLeft", Key::LWin}, {"MetaRight", Key::RWin}, {"ContextMenu", Key::Apps},
};

}  // namespace

uint8_t DomKeyCode(std::string_view code) {
    for (const Pair& p : Table)
        if (p.From == code) return p.To;
    return 0;
}

bool GameUsesKey(uint8_t code) {
    switch (code) {
        case Key::Escape: case Key::W: case Key::E: case Key::R: case Key::LShift: case Key::RShift:
        case Key::Space: case Key::Up: case Key::Left: case Key::Right: case Key::Delete:
        case Key::Down:   // not the game's, but it would scroll the page
            return true;
        default:
            return false;
    }
}

}  // namespace pm::web
