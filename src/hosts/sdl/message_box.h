// The game's error box for the desktop: an error mark, the text and an OK
// button, drawn by the game itself in its own font. The system's message box
// draws with the fonts of the X server and the locale, which shows Japanese
// as stray characters (or not at all) in many setups; this one reads the
// same everywhere.
#pragma once

#include <SDL.h>

#include <string>
#include <string_view>

typedef struct _TTF_Font TTF_Font;

namespace pm::sdl {

// Shows the box and waits until the player closes it (OK, Enter, Space,
// Escape, the window's close button) or a signal asks the game to stop
// (StopRequested, which is left set). Starts and stops SDL's video on its
// own, so it works after the game's shutdown has released everything.
// Returns false, having shown nothing, when there is no display.
bool ShowErrorBox(std::string_view title, std::string_view text);

// The pieces, for tests.
struct ErrorBoxPicture {
    SDL_Surface* Surface = nullptr;   // ARGB8888; the caller frees it
    SDL_Rect Button{};                // where the OK button is
    SDL_Rect Text{};                  // where the text is
};
// Draws the box for `text` ('\n' or "\r\n" between lines; long lines are
// wrapped). Null Surface when the text cannot be rendered.
ErrorBoxPicture DrawErrorBox(TTF_Font* font, std::string_view text);

// The characters of `utf8` that the font has no glyph for, as UTF-8.
std::string MissingGlyphs(TTF_Font* font, std::string_view utf8);

}  // namespace pm::sdl
