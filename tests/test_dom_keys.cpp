// The browser's keys: KeyboardEvent.code values land on the same key-table
// entries as the desktop's keys, and a tap between two frames is not lost.
#include <gtest/gtest.h>

#include "harness.h"
#include "platform/web/dom_keys.h"

namespace pm {
namespace {

using namespace pm::test;

TEST(DomKeys, TheGamesKeysMapToTheirTableEntries) {
    EXPECT_EQ(web::DomKeyCode("Escape"), kEscape);
    EXPECT_EQ(web::DomKeyCode("ShiftLeft"), kLShift);
    EXPECT_EQ(web::DomKeyCode("ShiftRight"), kRShift);
    EXPECT_EQ(web::DomKeyCode("Space"), kSpace);
    EXPECT_EQ(web::DomKeyCode("ArrowUp"), kUp);
    EXPECT_EQ(web::DomKeyCode("ArrowLeft"), kLeft);
    EXPECT_EQ(web::DomKeyCode("ArrowRight"), kRight);
    EXPECT_EQ(web::DomKeyCode("Delete"), kDelete);
    EXPECT_EQ(web::DomKeyCode("KeyW"), kW);
    EXPECT_EQ(web::DomKeyCode("KeyE"), kE);
    EXPECT_EQ(web::DomKeyCode("KeyR"), kR);
    // Unknown codes, and the key names (not codes) some events carry.
    EXPECT_EQ(web::DomKeyCode(""), 0);
    EXPECT_EQ(web::DomKeyCode("Shift"), 0);
    EXPECT_EQ(web::DomKeyCode("arrowright"), 0);
    // The browser keeps its own keys (reload, developer tools).
    EXPECT_TRUE(web::GameUsesKey(kRight));
    EXPECT_FALSE(web::GameUsesKey(web::DomKeyCode("F5")));
    EXPECT_FALSE(web::GameUsesKey(web::DomKeyCode("F12")));
}

TEST(DomKeys, HeldTappedAndForgottenKeys) {
    web::KeyTable table;
    std::array<uint8_t, 256> keys{};

    table.Down(kRight);
    table.Read(keys);
    EXPECT_EQ(keys[kRight], 128);
    table.Read(keys);
    EXPECT_EQ(keys[kRight], 128) << "held keys stay down frame after frame";
    table.Up(kRight);
    table.Read(keys);
    EXPECT_EQ(keys[kRight], 0);

    // Pressed and let go between two frames: down for exactly one frame.
    table.Down(kSpace);
    table.Up(kSpace);
    table.Read(keys);
    EXPECT_EQ(keys[kSpace], 128);
    table.Read(keys);
    EXPECT_EQ(keys[kSpace], 0);

    // Losing the keyboard forgets held and tapped keys alike; unknown keys
    // (code 0) never reach the table.
    table.Down(kLeft);
    table.Down(kEscape);
    table.Up(kEscape);
    table.Down(0);
    table.Clear();
    table.Read(keys);
    for (uint8_t k : keys) ASSERT_EQ(k, 0);
}

TEST(DomKeys, ATappedShiftStartsARun) {
    // The table feeds the game as the page's driver does: a Shift tapped
    // between two frames still starts the run.
    Game game;
    web::KeyTable table;
    table.Down(kLShift);
    table.Up(kLShift);
    FrameInput input;
    table.Read(input.Keys);
    ASSERT_TRUE(game.form.Step(input));
    EXPECT_EQ(game.form.GameState, 1);
}

}  // namespace
}  // namespace pm
