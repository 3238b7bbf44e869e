// What SDL does not say about a window on an X server: whether a window
// manager runs that can make it full screen, and the window's real size.
// Without a window manager SDL's full screen only believes itself: it scales
// the picture for the whole screen and draws it into the unchanged window.
#pragma once

#include <SDL_video.h>

#include <optional>

namespace pm::sdl {

enum class WindowManager {
    NotX11,       // another video driver: SDL's full screen is trusted
    Absent,       // an X server with no window manager at all
    NoFullScreen, // a window manager that does not offer full-screen windows
    FullScreen,   // one that does
};

WindowManager X11WindowManager(SDL_Window* window);

// Calls `lost` when the connection to the window's X server breaks (the
// server ended, or the network went); the process ends with status 1 after
// it, and `lost` must make no more calls to Xlib. False when not on X.
bool X11WatchConnection(SDL_Window* window, void (*lost)());

// Whether the X server shows the window now (mapped, and so are the window
// manager's frames around it); nothing when not on X.
std::optional<bool> X11WindowViewable(SDL_Window* window);

// The window's size as the X server has it; false when not on X.
bool X11WindowSize(SDL_Window* window, int& w, int& h);

}  // namespace pm::sdl
