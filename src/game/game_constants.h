// The game's named numbers: states, sprite indices and the few constants
// that many steps share. Each name keeps the number it stands for. The key
// codes the game reads are the machine's (machine/key_codes.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "machine/key_codes.h"

namespace pm {

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

// Degrees to radians as the game has always worked it: 0.01745, not pi/180.
inline constexpr double RadiansPerDegree = 0.01745;

}  // namespace pm
