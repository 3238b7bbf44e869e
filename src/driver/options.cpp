#include "driver/options.h"

#include <optional>
#include <string_view>

#include "platform/command_line.h"
#include "platform/read_digits.h"

#ifndef PELLIMUNCH_VERSION
#define PELLIMUNCH_VERSION "unknown"
#endif

namespace pm {

bool ParseInt(std::string_view text, int32_t low, int32_t high, int32_t& value) {
    if (high < 0) return false;
    const std::optional<uint64_t> v = ParseDigits(text, static_cast<uint64_t>(high), 9);
    if (!v || static_cast<int64_t>(*v) < low) return false;
    value = static_cast<int32_t>(*v);
    return true;
}


const char* Usage() {
    return "usage: pellimunch [--fullscreen | --window] [--scale N] [--volume N] [--mute] [--record FILE]\n"
           "       pellimunch --daily[=YYYY-MM-DD] [--ghost FILE] [--fullscreen | --window] ...\n"
           "       pellimunch --replay FILE|best|last [--fullscreen | --window] [--scale N] ...\n"
           "       pellimunch --help | --version\n"
           "Eat what streams in from the right; Shift starts a run, Escape quits.\n"
           "  --fullscreen   fill the screen (Alt+Enter switches while playing)\n"
           "  --window       play in a window\n"
           "  --scale N      the window is 800 x 600 times N, 1 to 8 (alone, it asks for a window)\n"
           "  --volume N     sound volume, 0 to 100 (and the sound on)\n"
           "  --mute         no sound (M switches while playing)\n"
           "  --record FILE  record this session into FILE instead of last.replay\n"
           "  --replay FILE  watch a recorded session; best and last name the kept ones\n"
           "                 (F held runs it four times as fast, P pauses, Escape stops)\n"
           "  --daily        play the day's run: the same start for everyone on a UTC day;\n"
           "                 =YYYY-MM-DD plays that day's; the best attempt is kept as\n"
           "                 daily-YYYY-MM-DD.replay beside the other replays\n"
           "  --ghost FILE   race a daily replay of the same day (needs --daily)\n"
           "  --help         show this and quit\n"
           "  --version      show the version and quit\n"
#ifdef _WIN32
           "These choices, Alt+Enter and M are remembered in settings.ini, which is kept with the\n"
           "record (score.dat) and the replays (last.replay, best.replay) beside pellimunch.exe, or\n"
           "in %APPDATA%\\Pellimunch when that folder cannot be written.\n"
           "Keys: arrows run, Space jumps, Up is the special move, Delete gives up the run,\n"
           "P pauses, M mutes. A gamepad works too. README.txt beside pellimunch.exe tells the rest.\n";
#else
           "These choices, Alt+Enter and M are remembered in $XDG_CONFIG_HOME/pellimunch/settings.ini.\n"
           "Keys: arrows run, Space jumps, Up is the special move, Delete gives up the run,\n"
           "P pauses, M mutes. A gamepad works too. See pellimunch(6).\n";
#endif
}

const char* VersionText() { return "pellimunch " PELLIMUNCH_VERSION; }

bool ParseOptions(int argc, const char* const* argv, Options& o, std::string& error) {
    // --daily alone plays today's run; --daily=YYYY-MM-DD another day's.
    CommandLine line(argc, argv,
                     {{"--help"}, {"-h"}, {"--version"}, {"--fullscreen"}, {"--window"}, {"--mute"}, {"--daily"},
                      {"--scale", true}, {"--volume", true}, {"--record", true}, {"--replay", true},
                      {"--ghost", true}});
    Argument arg;
    while (line.Next(arg)) {
        const std::string name(arg.Name);
        const std::string_view value = arg.Value.value_or("");
        if (arg.Inline && !arg.TakesValue && name != "--daily") {
            error = "option " + name + " takes no value";
            return false;
        }
        if (arg.Missing) {
            error = "option " + name + " needs a value";
            return false;
        }
        if (name == "--help" || name == "-h") {
            o.Help = true;
        } else if (name == "--version") {
            o.Version = true;
        } else if (name == "--fullscreen" || name == "--window") {
            const bool full = name == "--fullscreen";
            if (o.FullScreen && *o.FullScreen != full) {
                error = "options --fullscreen and --window cannot both be given";
                return false;
            }
            o.FullScreen = full;
        } else if (name == "--mute") {
            o.Mute = true;
        } else if (name == "--daily") {
            o.Daily = true;
            if (arg.Inline) {
                o.DailyDay = ParseDay(value);
                if (!o.DailyDay) {
                    error = "bad value \"" + std::string(value) + "\" for --daily (a day as YYYY-MM-DD)";
                    return false;
                }
            }
        } else if (name == "--ghost") {
            if (value.empty()) {
                error = "option --ghost needs a file name";
                return false;
            }
            o.Ghost = std::string(value);
        } else if (name == "--record" || name == "--replay") {
            if (value.empty()) {
                error = "option " + name + " needs a file name";
                return false;
            }
            (name == "--record" ? o.Record : o.Replay) = std::string(value);
        } else if (name == "--scale") {
            int32_t n = 0;
            if (!ParseInt(value, 1, DesktopSettings::MaxScale, n)) {
                error = "bad value \"" + std::string(value) + "\" for --scale (1 to " +
                        std::to_string(DesktopSettings::MaxScale) + ")";
                return false;
            }
            o.Scale = n;
        } else if (name == "--volume") {
            int32_t n = 0;
            if (!ParseInt(value, 0, 100, n)) {
                error = "bad value \"" + std::string(value) + "\" for --volume (0 to 100)";
                return false;
            }
            o.Volume = n;
        } else if (arg.Dashed()) {
            error = "unknown option " + name;
            return false;
        } else {
            error = "unexpected argument \"" + std::string(arg.Text) + "\"";
            return false;
        }
    }
    if (o.Record && o.Replay) {
        error = "options --record and --replay cannot both be given";
        return false;
    }
    if (o.Daily && o.Replay) {
        error = "options --daily and --replay cannot both be given";
        return false;
    }
    if (o.Ghost && !o.Daily) {
        error = "option --ghost races a daily run: give --daily too";
        return false;
    }
    return true;
}

DesktopSettings ApplyOptions(const Options& o, DesktopSettings s) {
    if (o.Scale) {
        s.Scale = *o.Scale;
        s.FullScreen = false;
    }
    if (o.FullScreen) s.FullScreen = *o.FullScreen;
    if (o.Volume) {
        // Asking for a volume is asking to hear it.
        s.Volume = *o.Volume;
        s.Muted = false;
    }
    if (o.Mute) s.Muted = true;
    return s;
}

}  // namespace pm
