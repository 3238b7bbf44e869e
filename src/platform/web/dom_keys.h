// The browser's keys for the game's key table. A page reports keys by their
// position on the keyboard (KeyboardEvent.code, "ShiftLeft", "ArrowRight"),
// which maps to the same set-1 scan codes the desktop uses.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace pm::web {

// The game's code for a KeyboardEvent.code value, or 0 for a key it does not know.
uint8_t DomKeyCode(std::string_view code);

// True for the keys the game itself uses; the page keeps the browser's own
// meaning of every other key (reload, zoom, developer tools).
bool GameUsesKey(uint8_t code);

// The keys held now, as the page's key events tell. A key pressed and let go
// between two reads still counts as held for the next read, so a tap shorter
// than a frame is never lost.
class KeyTable {
public:
    void Down(uint8_t code);
    void Up(uint8_t code);
    // Forget every key: the page lost the keyboard and will not hear the
    // releases.
    void Clear();
    // The table for one frame: 128 for each held (or tapped) key, 0 else.
    void Read(std::array<uint8_t, 256>& keys);

private:
    std::array<bool, 256> held_{};
    std::array<bool, 256> tapped_{};
};

}  // namespace pm::web
