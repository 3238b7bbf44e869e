// The browser's keys for the game's key table. A page reports keys by their
// position on the keyboard (KeyboardEvent.code, "ShiftLeft", "ArrowRight"),
// which maps to the same set-1 scan codes the desktop uses.
#pragma once

#include <cstdint>
#include <string_view>

namespace pm::web {

// The game's code for a KeyboardEvent.code value, or 0 for a key it does not know.
uint8_t DomKeyCode(std::string_view code);

// True for the keys the game itself uses; the page keeps the browser's own
// meaning of every other key (reload, zoom, developer tools).
bool GameUsesKey(uint8_t code);

}  // namespace pm::web
