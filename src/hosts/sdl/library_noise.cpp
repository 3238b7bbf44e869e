#include "hosts/sdl/library_noise.h"

#include <dlfcn.h>
#include <link.h>

#include <cstdlib>
#include <string>
#include <vector>

// Memory that system libraries keep for good, which leak-checking builds are
// told to look past: fontconfig's parsed configuration, D-Bus's connection
// to the session (SDL opens it for the screen saver), and what the OpenGL
// drivers (Mesa's *_dri.so) keep for a display. Only libraries are named
// here; a leak anywhere in our own code is still reported. (An ordinary build
// just carries an unused function.)
extern "C" __attribute__((used)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libdbus-1.so\n"
           "leak:_dri.so\n";
}

// The list of what was looked past is no news either.
extern "C" __attribute__((used)) const char* __lsan_default_options() { return "print_suppressions=0"; }

#if defined(__SANITIZE_ADDRESS__)
#define PM_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PM_LEAK_CHECKED 1
#endif
#endif

namespace pm::sdl {

namespace {

void QuietAlsaError(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

void SilenceSoundLibrary() {
    // SDL loads ALSA itself at run time by this name; the same library is
    // then shared, handler and all. The handle is kept for the program's
    // life, so the handler stays in place. Without ALSA there is nothing to
    // silence.
    static void* alsa = ::dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!alsa) return;
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandler = int (*)(Handler);
    if (auto set = reinterpret_cast<SetHandler>(::dlsym(alsa, "snd_lib_error_set_handler"))) set(&QuietAlsaError);
}

void KeepLibrariesForLeakReports() {
#ifdef PM_LEAK_CHECKED
    std::vector<std::string> names;
    ::dl_iterate_phdr(
        [](struct dl_phdr_info* info, size_t, void* out) {
            if (info->dlpi_name && info->dlpi_name[0])
                static_cast<std::vector<std::string>*>(out)->push_back(info->dlpi_name);
            return 0;
        },
        &names);
    for (const std::string& name : names) ::dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
#endif
}

bool DisplayMayExist() {
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    return set("SDL_VIDEODRIVER") || set("DISPLAY") || set("WAYLAND_DISPLAY") || set("XDG_RUNTIME_DIR");
}

}  // namespace pm::sdl
