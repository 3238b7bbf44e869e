#include "hosts/sdl/x11_window.h"

#include <SDL_syswm.h>
#include <dlfcn.h>

#include <cstdlib>
#include <optional>

namespace pm::sdl {

namespace {

// Xlib as SDL has already loaded it: the game does not depend on it, and on
// any other video driver there is nothing to ask.
struct Xlib {
    decltype(&XGetWindowAttributes) GetWindowAttributes = nullptr;
    decltype(&XInternAtom) InternAtom = nullptr;
    decltype(&XGetWindowProperty) GetWindowProperty = nullptr;
    decltype(&XFree) Free = nullptr;
    decltype(&XSetIOErrorHandler) SetIOErrorHandler = nullptr;
    bool Ready = false;
};

const Xlib& Lib() {
    static const Xlib lib = [] {
        Xlib x;
        void* handle = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
        if (!handle) return x;
        x.GetWindowAttributes = reinterpret_cast<decltype(x.GetWindowAttributes)>(dlsym(handle, "XGetWindowAttributes"));
        x.InternAtom = reinterpret_cast<decltype(x.InternAtom)>(dlsym(handle, "XInternAtom"));
        x.GetWindowProperty = reinterpret_cast<decltype(x.GetWindowProperty)>(dlsym(handle, "XGetWindowProperty"));
        x.Free = reinterpret_cast<decltype(x.Free)>(dlsym(handle, "XFree"));
        x.SetIOErrorHandler = reinterpret_cast<decltype(x.SetIOErrorHandler)>(dlsym(handle, "XSetIOErrorHandler"));
        x.Ready = x.GetWindowAttributes && x.InternAtom && x.GetWindowProperty && x.Free;
        return x;
    }();
    return lib;
}

bool OnX11(SDL_Window* window, Display*& display, Window& xwindow) {
    if (!window) return false;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    display = info.info.x11.display;
    xwindow = info.info.x11.window;
    return display && Lib().Ready;
}

}  // namespace

WindowManager X11WindowManager(SDL_Window* window) {
    Display* display = nullptr;
    Window xwindow = 0;
    if (!OnX11(window, display, xwindow)) return WindowManager::NotX11;
    const Xlib& x = Lib();
    const Window root = DefaultRootWindow(display);
    // Every window manager redirects the root window's children to itself;
    // only one client at a time may.
    XWindowAttributes attributes{};
    if (!x.GetWindowAttributes(display, root, &attributes)) return WindowManager::NotX11;
    if (!(attributes.all_event_masks & SubstructureRedirectMask)) return WindowManager::Absent;

    // Whether it offers full screen is in the list of what it supports.
    const Atom supported = x.InternAtom(display, "_NET_SUPPORTED", True);
    const Atom fullScreen = x.InternAtom(display, "_NET_WM_STATE_FULLSCREEN", True);
    if (supported == 0 || fullScreen == 0) return WindowManager::NoFullScreen;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = false;
    if (x.GetWindowProperty(display, root, supported, 0, 4096, False, XA_ATOM, &type, &format, &count, &after,
                            &data) == Success &&
        data) {
        if (type == XA_ATOM && format == 32) {
            const Atom* atoms = reinterpret_cast<const Atom*>(data);
            for (unsigned long i = 0; i < count && !found; ++i) found = atoms[i] == fullScreen;
        }
        x.Free(data);
    }
    return found ? WindowManager::FullScreen : WindowManager::NoFullScreen;
}

namespace {

void (*ConnectionLost)() = nullptr;

// Xlib ends the process when this returns, so it must not.
int OnIOError(Display*) {
    if (ConnectionLost) ConnectionLost();
    std::_Exit(1);
}

}  // namespace

bool X11WatchConnection(SDL_Window* window, void (*lost)()) {
    Display* display = nullptr;
    Window xwindow = 0;
    if (!OnX11(window, display, xwindow) || !Lib().SetIOErrorHandler) return false;
    ConnectionLost = lost;
    Lib().SetIOErrorHandler(&OnIOError);
    return true;
}

std::optional<bool> X11WindowViewable(SDL_Window* window) {
    Display* display = nullptr;
    Window xwindow = 0;
    if (!OnX11(window, display, xwindow)) return std::nullopt;
    XWindowAttributes attributes{};
    if (!Lib().GetWindowAttributes(display, xwindow, &attributes)) return std::nullopt;
    return attributes.map_state == IsViewable;
}

bool X11WindowSize(SDL_Window* window, int& w, int& h) {
    Display* display = nullptr;
    Window xwindow = 0;
    if (!OnX11(window, display, xwindow)) return false;
    XWindowAttributes attributes{};
    if (!Lib().GetWindowAttributes(display, xwindow, &attributes)) return false;
    w = attributes.width;
    h = attributes.height;
    return true;
}

}  // namespace pm::sdl
