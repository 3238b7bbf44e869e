#include "driver/settings_file.h"

#include "driver/options.h"
#include "platform/files/files.h"

namespace pm {

namespace {

// Larger than any settings file a person would write by hand.
constexpr size_t MaxFileSize = 64 * 1024;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool ParseBool(std::string_view text, bool& value) {
    const std::string v = Lower(text);
    if (v == "yes" || v == "true" || v == "on" || v == "1") {
        value = true;
        return true;
    }
    if (v == "no" || v == "false" || v == "off" || v == "0") {
        value = false;
        return true;
    }
    return false;
}

std::string Shown(std::string_view text) {
    std::string out;
    for (char c : text.substr(0, 40)) out += (c >= 0x20 && c < 0x7F) ? c : '?';
    if (text.size() > 40) out += "...";
    return out;
}

}  // namespace

SettingsRead ParseSettings(std::string_view text) {
    SettingsRead read;
    DesktopSettings& s = read.Values;
    std::string first;
    int32_t problems = 0;
    auto problem = [&](int32_t line, const std::string& what) {
        if (problems++ == 0) first = "line " + std::to_string(line) + ": " + what;
    };

    std::string section;
    int32_t number = 0;
    // Mended: a byte order mark, as some editors write, used to turn the
    // first line into an unknown one and lose the section it opened.
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find('\n', start);
        const std::string_view raw = text.substr(start, end == text.npos ? text.npos : end - start);
        start = end == text.npos ? text.size() + 1 : end + 1;
        ++number;
        const std::string_view line = Trim(raw);
        if (line.empty() || line.front() == '#' || line.front() == ';') continue;
        if (line.front() == '[') {
            if (line.back() != ']') {
                problem(number, "a section name needs a closing ]");
                section = "?";   // what follows belongs to no section we know: said once
                continue;
            }
            section = Lower(Trim(line.substr(1, line.size() - 2)));
            if (section != "window" && section != "sound") problem(number, "unknown section [" + Shown(section) + "]");
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == line.npos) {
            problem(number, "expected \"name = value\", found \"" + Shown(line) + "\"");
            continue;
        }
        const std::string name = Lower(Trim(line.substr(0, eq)));
        const std::string_view value = Trim(line.substr(eq + 1));
        const std::string bad = "bad value \"" + Shown(value) + "\" for " + name;
        if (section == "window" && name == "fullscreen") {
            if (!ParseBool(value, s.FullScreen)) problem(number, bad + " (yes or no)");
        } else if (section == "window" && name == "scale") {
            if (!ParseInt(value, 1, DesktopSettings::MaxScale, s.Scale))
                problem(number, bad + " (1 to " + std::to_string(DesktopSettings::MaxScale) + ")");
        } else if (section == "sound" && name == "volume") {
            if (!ParseInt(value, 0, 100, s.Volume)) problem(number, bad + " (0 to 100)");
        } else if (section == "sound" && name == "mute") {
            if (!ParseBool(value, s.Muted)) problem(number, bad + " (yes or no)");
        } else if (section == "window" || section == "sound") {
            problem(number, "unknown setting \"" + Shown(name) + "\" in [" + section + "]");
        } else if (section.empty()) {
            problem(number, "\"" + Shown(name) + "\" is in no section");
        }
        // Settings inside an unknown section were reported with the section.
    }
    if (problems > 0) {
        read.Warning = first;
        if (problems > 1) read.Warning += " (and " + std::to_string(problems - 1) + " more)";
        read.Warning += "; using the defaults for what could not be read";
    }
    return read;
}

std::string FormatSettings(const DesktopSettings& s) {
    std::string out = "# Pellimunch settings, written by the game. Alt+Enter and M change them too.\n";
    out += "[window]\nfullscreen = ";
    out += s.FullScreen ? "yes" : "no";
    out += "\nscale = " + std::to_string(s.Scale) + "\n[sound]\nvolume = " + std::to_string(s.Volume) + "\nmute = ";
    out += s.Muted ? "yes" : "no";
    out += "\n";
    return out;
}

std::string SettingsPath(const std::function<const char*(const char*)>& getEnv) {
    // As the convention says, a relative or empty XDG_CONFIG_HOME is ignored.
    const char* xdg = getEnv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else if (const char* home = getEnv("HOME"); home && home[0] == '/') {
        base = std::string(home) + (std::string_view(home).ends_with('/') ? "" : "/") + ".config";
    } else {
        return {};
    }
    if (!base.ends_with('/')) base += '/';
    return base + "pellimunch/settings.ini";
}

namespace {

enum class SettingsFile { Missing, Read, Unreadable };

// The whole file into `text`; `why` says what stopped it when unreadable.
SettingsFile ReadSettingsFile(const std::string& path, std::string& text, std::string& why) {
    pm::FileRead file = ReadRegularFile(path, MaxFileSize);
    switch (file.Status) {
        case FileRead::Result::Ok: text = std::move(file.Bytes); return SettingsFile::Read;
        case FileRead::Result::Missing: return SettingsFile::Missing;
        case FileRead::Result::NotRegular: why = "not a regular file"; break;
        case FileRead::Result::TooLarge: why = "larger than " + std::to_string(MaxFileSize / 1024) + " KiB"; break;
        case FileRead::Result::Failed: why = file.Why; break;
    }
    return SettingsFile::Unreadable;
}

}  // namespace

SettingsRead LoadSettings(const std::string& path) {
    SettingsRead read;
    if (path.empty()) return read;
    std::string text;
    std::string why;
    switch (ReadSettingsFile(path, text, why)) {
    case SettingsFile::Missing:
        return read;
    case SettingsFile::Unreadable:
        read.Warning = path + ": " + why + "; using the default settings";
        return read;
    case SettingsFile::Read:
        break;
    }
    read = ParseSettings(text);
    if (!read.Warning.empty()) read.Warning = path + ": " + read.Warning;
    return read;
}

bool SaveSettings(const std::string& path, const DesktopSettings& settings, std::string* reason) {
    auto fail = [&](std::string why) {
        if (reason) *reason = path + ": " + why;
        return false;
    };
    if (path.empty()) return fail("no place for settings (neither XDG_CONFIG_HOME nor HOME is set)");
    // Mended: a file the game could not read (no read permission, too large,
    // not a file) used to be replaced by the defaults at the next M press or
    // option; the player's own file is worth more than our settings, as with
    // the high-score file.
    std::string text;
    std::string unreadable;
    if (ReadSettingsFile(path, text, unreadable) == SettingsFile::Unreadable)
        return fail(unreadable + "; the game could not read it, so it is left as it is");

    std::string folderWhy;
    if (!MakeFolderFor(path, &folderWhy)) return fail("cannot make the folder " + folderWhy);

    std::string why;
    if (!ReplaceFile(path, FormatSettings(settings), &why)) return fail(why);
    return true;
}

}  // namespace pm
