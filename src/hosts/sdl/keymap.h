// SDL's keys mapped to the key codes the game tests: the keyboard's set-1
// scan codes, with 128 added for the keys that send an 0xE0 prefix.
#pragma once

#include <SDL_scancode.h>

#include <array>
#include <cstdint>

#include "machine/key_codes.h"

namespace pm::sdl {

// The game's code for an SDL key, or 0 for a key the table does not know.
uint8_t KeyCode(SDL_Scancode scancode);

// Fills the game's 256-entry key table from SDL's keyboard state array
// (numKeys entries, nonzero for a held key): 128 for every held key, 0 else.
void FillKeyTable(const uint8_t* sdlState, int numKeys, std::array<uint8_t, 256>& keys);

}  // namespace pm::sdl
