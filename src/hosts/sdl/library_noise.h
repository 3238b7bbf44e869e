// Keeping the libraries under SDL from talking on standard error where the
// game already says what matters in its own words.
#pragma once

namespace pm::sdl {

// ALSA prints a screenful of configuration errors when there is no sound
// card; the game says "no sound device ... playing silently" itself. Call
// before SDL opens the sound.
void SilenceSoundLibrary();

// In leak-checking builds: keeps every library loaded now in memory until
// the end, so that leaks inside a library SDL unloads at its shutdown (an
// OpenGL driver) are reported under the library's name, where the
// suppressions can find them, instead of an unknown place. Does nothing in
// an ordinary build.
void KeepLibrariesForLeakReports();

// False when no display can be reached at all: no X display named, no
// Wayland socket named and no runtime folder to find one in (the Wayland
// library complains about the last on standard error). A video driver asked
// for by name is always tried.
bool DisplayMayExist();

}  // namespace pm::sdl
