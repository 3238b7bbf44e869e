// The game's named numbers: key codes, states, sprite indices and the few
// constants that many steps share. Each name keeps the number it stands for;
// this is the only place a key's scan code is written.
#pragma once

#include <cstddef>
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

// The values of GameState; 2 is never used, and any value other than these
// three runs no state block.
namespace State {
inline constexpr int16_t Title = 0;
inline constexpr int16_t Play = 1;
inline constexpr int16_t GameOver = 3;
}  // namespace State

// What the ball has become (FormMain::BallKind). Each kind is also the
// ball's picture in BallRects.
namespace BallKind {
inline constexpr int16_t Plain = 0;     // Up dashes
inline constexpr int16_t Jumper = 1;    // Up high-jumps; falls faster, quakes the ground
inline constexpr int16_t Shooter = 2;   // Up fires a copy of itself; floats
}  // namespace BallKind

// The other pictures of BallRects, after the three ball kinds.
namespace BallPicture {
inline constexpr int16_t Marker = 3;    // shows where a ball above the screen is
inline constexpr int16_t Rival = 4;     // the rival's first frame; its second is Rival + 1
}  // namespace BallPicture

// The kinds of item (Item::Kind); each is also the item's picture in
// ItemRects. Eating one of kinds 1 to 4 turns the ball into that kind; a
// boosted kind sits two after its plain one.
namespace ItemKind {
inline constexpr int16_t Plain = 0;            // food: counts towards the chain
inline constexpr int16_t Jumper = 1;
inline constexpr int16_t Shooter = 2;
inline constexpr int16_t BoostedJumper = 3;
inline constexpr int16_t BoostedShooter = 4;
inline constexpr int16_t Stagger = 5;          // makes the ball stagger when the mouth takes it
}  // namespace ItemKind

// Pop-up kinds (Popup::Kind): kinds 0 to 4 show the combo's place (the
// fifth item and every later one shows kind 4); the stagger item has its own.
namespace PopupKind {
inline constexpr int16_t First = 0;            // also every pop-up in a fever
inline constexpr int16_t Most = 4;
inline constexpr int16_t Stagger = 5;
}  // namespace PopupKind

// Entries of LabelRects on the main sheet.
namespace Label {
enum Index : size_t {
    ReadySign = 0,          // over the ball when the special move is ready again
    BannerText = 1,         // "PUSH SHIFT KEY" in the title banner
    ScoreCaption = 2,
    ChainCaption = 3,       // after the chain number
    BonusMark = 4,          // before the chain bonus
    FeverTwin = 5,          // the fever caption's unused twin
    LevelCaption = 6,
    LevelUp = 7,            // the level banner
    LifeIcon = 8,
    HighScoreCaption = 9,
    GameOverCaption = 10,
    FeverCaption = 11,      // in place of the level caption during a fever
    FeverBar = 12,
    FeverGaugeCaption = 13,
    Count = 14,
};
}  // namespace Label

// Digit styles of DigitRects: three stages of the moving highlight, then the
// plain digit.
namespace DigitStyle {
inline constexpr int32_t Shine0 = 0;
inline constexpr int32_t Shine1 = 1;
inline constexpr int32_t Shine2 = 2;
inline constexpr int32_t Plain = 3;
}  // namespace DigitStyle

// An X of 9999 parks a slot: a free speck, particle or pop-up, a waiting
// item, no shot, no saved rival speed. -9999 marks an item eaten in the
// current item pass.
inline constexpr float Parked = 9999.0f;
inline constexpr int32_t ParkedAt = 9999;   // the same place in a Long field
inline constexpr float Eaten = -9999.0f;

// The record a first run starts from, when nothing is stored yet.
inline constexpr int32_t DefaultHighScore = 1000;

// Degrees to radians as the game has always worked it: 0.01745, not pi/180.
inline constexpr double RadiansPerDegree = 0.01745;

}  // namespace pm
