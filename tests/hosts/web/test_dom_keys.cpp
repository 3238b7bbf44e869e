// The browser's keys: KeyboardEvent.code values land on the same key-table
// entries as the desktop's keys, and a tap between two frames is not lost.
#include <gtest/gtest.h>

#include "harness.h"
#include "platform/key_table.h"
#include "hosts/web/dom_keys.h"

namespace pm {
namespace {

TEST(DomKeys, TheGamesKeysMapToTheirTableEntries) {
    EXPECT_EQ(web::DomKeyCode("Escape"), Key::Escape);
    EXPECT_EQ(web::DomKeyCode("ShiftLeft"), Key::LShift);
    EXPECT_EQ(web::DomKeyCode("ShiftRight"), Key::RShift);
    EXPECT_EQ(web::DomKeyCode("Space"), Key::Space);
    EXPECT_EQ(web::DomKeyCode("ArrowUp"), Key::Up);
    EXPECT_EQ(web::DomKeyCode("ArrowLeft"), Key::Left);
    EXPECT_EQ(web::DomKeyCode("ArrowRight"), Key::Right);
    EXPECT_EQ(web::DomKeyCode("Delete"), Key::Delete);
    EXPECT_EQ(web::DomKeyCode("KeyW"), Key::W);
    EXPECT_EQ(web::DomKeyCode("KeyE"), Key::E);
    EXPECT_EQ(web::DomKeyCode("KeyR"), Key::R);
    // Unknown codes, and the key names (not codes) some events carry.
    EXPECT_EQ(web::DomKeyCode(""), 0);
    EXPECT_EQ(web::DomKeyCode("Shift"), 0);
    EXPECT_EQ(web::DomKeyCode("arrowright"), 0);
    // The browser keeps its own keys (reload, developer tools).
    EXPECT_TRUE(web::GameUsesKey(Key::Right));
    EXPECT_FALSE(web::GameUsesKey(web::DomKeyCode("F5")));
    EXPECT_FALSE(web::GameUsesKey(web::DomKeyCode("F12")));
}

TEST(DomKeys, HeldTappedAndForgottenKeys) {
    KeyTable table;
    std::array<uint8_t, 256> keys{};

    table.Down(Key::Right);
    table.Read(keys);
    EXPECT_EQ(keys[Key::Right], 128);
    table.Read(keys);
    EXPECT_EQ(keys[Key::Right], 128) << "held keys stay down frame after frame";
    table.Up(Key::Right);
    table.Read(keys);
    EXPECT_EQ(keys[Key::Right], 0);

    // Pressed and let go between two frames: down for exactly one frame.
    table.Down(Key::Space);
    table.Up(Key::Space);
    table.Read(keys);
    EXPECT_EQ(keys[Key::Space], 128);
    table.Read(keys);
    EXPECT_EQ(keys[Key::Space], 0);

    // Losing the keyboard forgets held and tapped keys alike; unknown keys
    // (code 0) never reach the table.
    table.Down(Key::Left);
    table.Down(Key::Escape);
    table.Up(Key::Escape);
    table.Down(0);
    table.Clear();
    table.Read(keys);
    for (uint8_t k : keys) ASSERT_EQ(k, 0);
}

TEST(DomKeys, ATappedShiftStartsARun) {
    // The table feeds the game as the page's driver does: a Shift tapped
    // between two frames still starts the run.
    test::Game game;
    KeyTable table;
    table.Down(Key::LShift);
    table.Up(Key::LShift);
    FrameInput input;
    table.Read(input.Keys);
    ASSERT_EQ(game.form.Step(input), FrameEnd::GoingOn);
    EXPECT_EQ(game.form.GameState, State::Play);
}

}  // namespace
}  // namespace pm
