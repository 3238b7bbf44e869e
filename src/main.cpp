// The game: an SDL window running FormMain one frame at a time until Escape,
// a mouse press, a closed window or SIGINT/SIGTERM/SIGHUP ends it; each of
// them runs the shutdown, which saves the high score. Every session is recorded as a
// replay; `--replay FILE` plays one back in the window.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "driver/driver.h"
#include "driver/replay.h"
#include "driver/session.h"
#include "platform/atomic_file.h"
#include "platform/sdl/message_box.h"
#include "platform/sdl/sdl_host.h"
#include "platform/score_path.h"
#include "shell/game_state.h"

namespace {

constexpr const char* Usage =
    "usage: pellimunch [--record FILE] [--replay FILE|best|last]\n"
    "  --record FILE   record this session into FILE instead of last.replay\n"
    "  --replay FILE   watch a recorded session (best and last name the kept ones);\n"
    "                  Escape stops, F held runs four times as fast\n";

// One line on standard error and, for a player who started the game from
// the desktop and sees no terminal, the same words in a box.
int Fail(const std::string& message) {
    std::string line(message);
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    std::fprintf(stderr, "pellimunch: %s\n", line.c_str());
    std::fflush(stderr);
    pm::sdl::ShowErrorBox("Pellimunch", "Pellimunch cannot go on:\n" + line);
    return 1;
}

struct Options {
    std::optional<std::string> Record;
    std::optional<std::string> Replay;
};

// Returns the exit status for a bad command line, or nothing to go on.
std::optional<int> ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::optional<std::string>& into) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                std::fprintf(stderr, "pellimunch: %s needs a file name\n", arg.c_str());
                return false;
            }
            into = argv[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (arg == "--record") {
            if (!value(o.Record)) return 2;
        } else if (arg == "--replay") {
            if (!value(o.Replay)) return 2;
        } else {
            std::fprintf(stderr, "pellimunch: unknown option \"%s\" (see --help)\n", arg.c_str());
            return 2;
        }
    }
    return std::nullopt;
}

// Plays the game for the player, recording the session.
int Play(pm::sdl::SdlHost& host, const Options& options) {
    const std::string folder = pm::FolderOf(host.ScoreFile()) + "/";
    pm::SessionRecorder session(options.Record ? *options.Record : folder + "last.replay",
                                folder + "best.replay");
    const auto seed = static_cast<uint32_t>(host.ClockSeed());
    host.UseSeed(seed);

    auto form = std::make_unique<pm::FormMain>(host);
    form->Form_Load();
    host.SetIcon(form->MainSurface, form->BallRects[0]);
    session.Start(seed, *form);

    // The loop: wait for the frame's time, gather what the window and the
    // keyboard say, run one frame.
    pm::FrameClock clock;
    pm::HostEvents events;
    pm::ReplayEnd end = pm::ReplayEnd::Close;
    for (;;) {
        clock.WaitForNextFrame();
        const pm::FrameInput input = pm::GatherInput(host, events);
        const bool goesOn = form->Step(input);
        form->SaveRecordIfRaised();
        session.Frame(input, *form);
        if (!goesOn) {
            end = !form->QuitFlag ? pm::ReplayEnd::Escape
                  : input.MousePressed ? pm::ReplayEnd::Mouse : pm::ReplayEnd::Close;
            break;
        }
    }
    form->Form_Unload();
    session.Finish(end, *form);
    return 0;
}

// Plays a recorded session back in the window. The keyboard only steers the
// watching: Escape stops, F held runs four frames a tick. At the file's end
// the last frame stays up until the player leaves.
int Watch(pm::sdl::SdlHost& host, const std::string& file) {
    pm::Replay replay;
    std::string message;
    if (!pm::LoadReplay(file, replay, message)) return Fail("replay " + message);
    pm::ScratchScoreFile scratch(replay.HighScore);
    host.UseScoreFile(scratch.Path());
    host.UseSeed(replay.Seed);

    auto form = std::make_unique<pm::FormMain>(host);
    form->Form_Load();
    host.SetIcon(form->MainSurface, form->BallRects[0]);

    pm::sim::ScriptCursor cursor(replay.Keys);
    const uint64_t total = replay.Keys.TotalFrames();
    pm::ReplayOutcome outcome;
    outcome.End = pm::ReplayEnd::Close;
    pm::FrameClock clock;
    pm::HostEvents events;
    bool watching = true;   // false once the frames are spent or the game ended
    bool leave = false;
    while (!leave) {
        clock.WaitForNextFrame();
        pm::FrameInput keyboard = pm::GatherInput(host, events);
        leave = keyboard.Keys[pm::Key::Escape] != 0 || keyboard.MousePressed || keyboard.CloseRequested;
        if (!watching) {
            host.Present(form->BackBuffer);   // hold the last frame
            continue;
        }
        const int steps = keyboard.Keys[pm::Key::F] != 0 ? 4 : 1;
        for (int i = 0; i < steps && watching; ++i) {
            const pm::sim::ScriptSpan* span = cursor.Next();
            if (!span) {
                watching = false;
                break;
            }
            pm::FrameInput input = pm::InputOf(*span);
            const bool last = outcome.Frames + 1 == total;
            ++outcome.Frames;
            // The session's own way out would take the window down with it;
            // show its last picture instead.
            if (input.Keys[pm::Key::Escape] != 0) {
                outcome.End = pm::ReplayEnd::Escape;
                watching = false;
                break;
            }
            if (last && input.MousePressed) {
                outcome.End = pm::ReplayEnd::Mouse;
                input.MousePressed = false;
            }
            if (!form->Step(input)) {
                if (input.MousePressed) outcome.End = pm::ReplayEnd::Mouse;
                watching = false;
                leave = true;
            }
            if (last) watching = false;
        }
        if (!watching) {
            outcome.HighScore = form->HighScore;
            std::printf("pellimunch: replay %s ended at frame %llu (%s, high score %d)\n", file.c_str(),
                        static_cast<unsigned long long>(outcome.Frames), pm::ReplayEndName(outcome.End),
                        static_cast<int>(outcome.HighScore));
            const std::string differs = pm::CompareWithRecording(replay, outcome);
            if (!differs.empty()) std::printf("pellimunch: replay %s: %s\n", file.c_str(), differs.c_str());
            std::fflush(stdout);
        }
    }
    form->Form_Unload();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const std::optional<int> status = ParseOptions(argc, argv, options)) return *status;

    struct sigaction action {};
    action.sa_handler = pm::sdl::RequestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);   // the terminal or the session went away

    try {
        pm::sdl::SdlHost host;
        if (options.Replay) {
            std::string file = *options.Replay;
            if (file == "best" || file == "last") file = pm::FolderOf(host.ScoreFile()) + "/" + file + ".replay";
            return Watch(host, file);
        }
        return Play(host, options);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
}
