// The player's settings, remembered in $XDG_CONFIG_HOME/pellimunch/settings.ini
// (by default ~/.config/pellimunch/settings.ini):
//
//   [window]
//   fullscreen = yes
//   scale = 1
//   [sound]
//   volume = 100
//   mute = no
//
// A file that is broken in any way costs a one-line warning and the default
// for whatever could not be read; it never stops the game. A file that could
// not be read at all is never replaced. A UTF-8 byte order mark is skipped.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/desktop.h"

namespace pm {

struct SettingsRead {
    DesktopSettings Values;
    std::string Warning;   // empty when every line was understood
};

// The text of a settings file; the warning names the first line that could
// not be read (and how many more there were).
SettingsRead ParseSettings(std::string_view text);
std::string FormatSettings(const DesktopSettings& settings);

// The file's full name from the environment; empty when neither
// XDG_CONFIG_HOME nor HOME is an absolute path (nothing is remembered then).
std::string SettingsPath(const std::function<const char*(const char*)>& getEnv);

// Reads the file: no file gives the defaults quietly; an unreadable or broken
// one gives a warning that starts with the file's name.
SettingsRead LoadSettings(const std::string& path);

// Writes the file atomically (a new file renamed over the old one), making
// its folder first. A file that is there but cannot be read (no permission,
// too large, not a regular file) is left alone. False with a reason on failure.
bool SaveSettings(const std::string& path, const DesktopSettings& settings, std::string* reason = nullptr);

}  // namespace pm
