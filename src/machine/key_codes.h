// The keys as the game reads them: every host fills a table of 256 keys
// indexed by these codes, and the replays and key scripts name them. Each
// name keeps the number it stands for; this is the only place a key's scan
// code is written.
#pragma once

#include <cstdint>

namespace pm {

// The key table is indexed by set-1 keyboard scan codes; an extended (E0)
// key is 0x80 + its code. The game reads Escape, the Shifts, Space, Up, Left,
// Right, Delete and the test keys W, E, R; the rest are here so the host's key
// map names every key it fills in.
namespace Key {
enum Code : uint8_t {
    Escape = 1,
    D1 = 2, D2 = 3, D3 = 4, D4 = 5, D5 = 6, D6 = 7, D7 = 8, D8 = 9, D9 = 10, D0 = 11,
    Minus = 12, Equals = 13, Backspace = 14, Tab = 15,
    Q = 16, W = 17, E = 18, R = 19, T = 20, Y = 21, U = 22, I = 23, O = 24, P = 25,
    LeftBracket = 26, RightBracket = 27, Return = 28, LControl = 29,
    A = 30, S = 31, D = 32, F = 33, G = 34, H = 35, J = 36, K = 37, L = 38,
    Semicolon = 39, Apostrophe = 40, Grave = 41, LShift = 42, Backslash = 43,
    Z = 44, X = 45, C = 46, V = 47, B = 48, N = 49, M = 50,
    Comma = 51, Period = 52, Slash = 53, RShift = 54, Multiply = 55, LAlt = 56, Space = 57, CapsLock = 58,
    F1 = 59, F2 = 60, F3 = 61, F4 = 62, F5 = 63, F6 = 64, F7 = 65, F8 = 66, F9 = 67, F10 = 68,
    NumLock = 69, ScrollLock = 70,
    Numpad7 = 71, Numpad8 = 72, Numpad9 = 73, Subtract = 74, Numpad4 = 75, Numpad5 = 76, Numpad6 = 77,
    Add = 78, Numpad1 = 79, Numpad2 = 80, Numpad3 = 81, Numpad0 = 82, Decimal = 83,
    Oem102 = 86, F11 = 87, F12 = 88, F13 = 100, F14 = 101, F15 = 102,
    Kana = 112, AbntC1 = 115, Convert = 121, NoConvert = 123, Yen = 125,
    NumpadEquals = 141, NumpadEnter = 156, RControl = 157, Mute = 160, VolumeDown = 174, VolumeUp = 176,
    NumpadComma = 179, Divide = 181, SysRq = 183, RAlt = 184, Pause = 197,
    Home = 199, Up = 200, PageUp = 201, Left = 203, Right = 205, End = 207, Down = 208, PageDown = 209,
    Insert = 210, Delete = 211, LWin = 219, RWin = 220, Apps = 221, Power = 222, Sleep = 223,
};
}  // namespace Key

}  // namespace pm
