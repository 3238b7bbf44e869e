#include "options.h"

#include <optional>
#include <string_view>

#include "driver/script.h"
#include "platform/command_line.h"
#include "platform/read_digits.h"

namespace pm::sim {

using keys::Quote;

namespace {

// Plain decimal digits only: no sign, no spaces, no hex, within `max`.
bool ParseUnsigned(std::string_view text, uint64_t max, uint64_t& value) {
    const std::optional<uint64_t> v = ParseDigits(text, max);
    if (v) value = *v;
    return v.has_value();
}

bool ParseChannels(std::string_view text, Channels& channels) {
    if (text == "none") {
        channels = {false, false, false};
        return true;
    }
    Channels c{false, false, false};
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        const std::string_view name = text.substr(start, comma == text.npos ? text.npos : comma - start);
        if (name == "state")
            c.State = true;
        else if (name == "sound")
            c.Sound = true;
        else if (name == "draw")
            c.Draw = true;
        else
            return false;
        if (comma == text.npos) break;
        start = comma + 1;
    }
    channels = c;
    return true;
}

}  // namespace

const char* Usage() {
    return "usage: pellimunch-sim [--seed N] [--script FILE|-] [--frames N] [--trace state,sound,draw|none]\n"
           "                      [--every K] [--out FILE] [--dir DIR] [--score FILE] [--shot N:FILE]...\n"
           "       pellimunch-sim --replay FILE [--frames N] [--trace ...] [--every K] [--out FILE] [--dir DIR]\n"
           "Replays a run of the game without a window and writes its trace as JSON Lines.\n"
           "  --seed N         seed of the random generator, 0 to 4294967295 (default 1)\n"
           "  --script FILE    key script, one span per line: \"COUNT KEY+KEY\" or \"COUNT -\";\n"
           "                   keys: Escape LShift RShift Space Up Left Right Delete W E R Mouse;\n"
           "                   '-' as FILE reads standard input (default: no key ever down)\n"
           "  --frames N       run exactly N frames (default: as many as the script holds)\n"
           "  --trace LIST     channels of each frame line: state, sound, draw, or none (default state)\n"
           "  --every K        write only frames whose number is a multiple of K (default 1)\n"
           "  --out FILE       write the trace to FILE (default standard output)\n"
           "  --dir DIR        folder holding bmp/ and wav/ (default: the program's folder)\n"
           "  --score FILE     high-score file (default: score.dat in the program folder)\n"
           "  --shot N:FILE    after frame N save the screen as a 24-bit BMP (repeatable)\n"
           "  --replay FILE    replay a recorded session (seed, keys and starting high score from the\n"
           "                   file; no high-score file is written); exit 1 when it does not end as recorded\n";
}

bool ParseOptions(int argc, const char* const* argv, Options& o, std::string& error) {
    CommandLine line(argc, argv,
                     {{"--seed", true}, {"--script", true}, {"--frames", true}, {"--trace", true}, {"--every", true},
                      {"--out", true}, {"--dir", true}, {"--score", true}, {"--shot", true}, {"--replay", true}});
    Argument arg;
    while (line.Next(arg)) {
        if (arg.Text == "--help" || arg.Text == "-h") {
            o.Help = true;
            continue;
        }
        if (!arg.Long()) {
            error = "unexpected argument " + Quote(arg.Text);
            return false;
        }
        const std::string_view name = arg.Name;
        if (!arg.Known) {
            error = "unknown option " + Quote(name);
            return false;
        }
        if (arg.Missing) {
            error = std::string(name) + " needs a value";
            return false;
        }
        const std::string_view value = *arg.Value;
        const std::string bad = "bad value " + Quote(value) + " for " + std::string(name);
        uint64_t n = 0;
        if (name == "--seed") {
            if (!ParseUnsigned(value, 4294967295u, n)) {
                error = bad + " (expected 0 to 4294967295)";
                return false;
            }
            o.Seed = static_cast<uint32_t>(n);
            o.SeedGiven = true;
        } else if (name == "--replay") {
            if (value.empty()) {
                error = "--replay needs a file name";
                return false;
            }
            o.ReplayFile = std::string(value);
        } else if (name == "--script") {
            if (value.empty()) {
                error = "--script needs a file name or -";
                return false;
            }
            o.ScriptFile = std::string(value);
        } else if (name == "--frames") {
            if (!ParseUnsigned(value, UINT64_MAX / 2, n)) {
                error = bad + " (expected a frame count)";
                return false;
            }
            o.Frames = n;
        } else if (name == "--trace") {
            if (!ParseChannels(value, o.Trace)) {
                error = bad + " (expected state, sound, draw joined with commas, or none)";
                return false;
            }
        } else if (name == "--every") {
            if (!ParseUnsigned(value, UINT64_MAX / 2, n) || n == 0) {
                error = bad + " (expected a positive integer)";
                return false;
            }
            o.Every = n;
        } else if (name == "--out") {
            if (value.empty()) {
                error = "--out needs a file name";
                return false;
            }
            o.Out = std::string(value);
        } else if (name == "--dir") {
            if (value.empty()) {
                error = "--dir needs a folder";
                return false;
            }
            o.Dir = std::string(value);
            if (o.Dir.back() != '/') o.Dir += '/';
        } else if (name == "--score") {
            if (value.empty()) {
                error = "--score needs a file name";
                return false;
            }
            o.Score = std::string(value);
        } else if (name == "--shot") {
            const size_t colon = value.find(':');
            if (colon == value.npos || colon + 1 >= value.size() ||
                !ParseUnsigned(value.substr(0, colon), UINT64_MAX / 2, n)) {
                error = bad + " (expected FRAME:FILE)";
                return false;
            }
            o.Shots.push_back({n, std::string(value.substr(colon + 1))});
        }
    }
    // A replay brings its own seed, keys and starting record.
    if (o.ReplayFile && (o.SeedGiven || o.ScriptFile || !o.Score.empty())) {
        error = "--replay takes its seed, keys and high score from the file: drop --seed, --script and --score";
        return false;
    }
    return true;
}

}  // namespace pm::sim
