// The game: an SDL window running FormMain one frame at a time until Escape,
// a mouse press, a closed window or SIGINT/SIGTERM/SIGHUP ends it; each of
// them runs the shutdown, which saves the high score. Around it, the
// desktop's part: the command line, the remembered settings, pause, mute,
// the gamepad, and the replays (every session recorded; --replay watches one).
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "driver/driver.h"
#include "driver/options.h"
#include "driver/recording.h"
#include "driver/replay.h"
#include "driver/session.h"
#include "driver/settings_file.h"
#include "platform/atomic_file.h"
#include "platform/sdl/message_box.h"
#include "platform/sdl/sdl_host.h"
#include "shell/game_state.h"

namespace {

volatile std::sig_atomic_t ReportRequested = 0;
void RequestReport(int) { ReportRequested = 1; }

// One line on stderr, whatever the message holds.
void Say(const std::string& message) {
    std::string line(message);
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    std::fprintf(stderr, "pellimunch: %s\n", line.c_str());
}

// One line on standard error and, for a player who started the game from
// the desktop and sees no terminal, the same words in a box.
int Fail(const std::string& message) {
    Say(message);
    std::fflush(stderr);
    std::string line(message);
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    pm::sdl::ShowErrorBox("Pellimunch", "Pellimunch cannot go on:\n" + line);
    return 1;
}

void ReportFrames(uint64_t frames, bool paused) {
    if (!ReportRequested) return;
    ReportRequested = 0;
    std::fprintf(stderr, "pellimunch: %llu frames played%s\n", static_cast<unsigned long long>(frames),
                 paused ? ", paused" : "");
}

// Plays the game for the player, recording the session.
void Play(pm::sdl::SdlHost& host, const pm::Options& options, const pm::DesktopSettings& chosen,
          const std::function<void(const pm::DesktopSettings&)>& remember) {
    const std::string folder = pm::FolderOf(host.ScoreFile()) + "/";
    pm::SessionRecorder recorder(options.Record ? *options.Record : folder + "last.replay", folder + "best.replay");
    const auto seed = static_cast<uint32_t>(host.ClockSeed());
    host.UseSeed(seed);

    auto form = std::make_unique<pm::FormMain>(host);
    form->Form_Load();
    host.SetIcon(form->MainSurface, form->BallRects[0]);
    recorder.Start(seed, *form);
    // A lost display ends the process from inside whatever SDL call found it
    // lost: the shutdown's saves run there, as for a closed window.
    host.OnDisplayLost([&form, &recorder] {
        form->CloseWindow();
        recorder.Finish(pm::ReplayEnd::Close, *form);
    });

    // The loop: wait for the frame's time, then one tick of the session:
    // the window's messages and the keys, and a frame unless paused.
    pm::Session session(*form, host, host, chosen, remember);
    pm::FrameClock clock;
    pm::ReplayEnd end = pm::ReplayEnd::Close;   // a quit while paused reads no key
    for (;;) {
        clock.WaitForNextFrame();
        const pm::Session::Tick tick = session.Run();
        if (session.RanFrame()) {
            form->SaveRecordIfRaised();
            recorder.Frame(session.LastInput(), *form);
        }
        if (tick == pm::Session::Tick::Over) {
            if (session.RanFrame())
                end = !form->QuitFlag ? pm::ReplayEnd::Escape
                      : session.LastInput().MousePressed ? pm::ReplayEnd::Mouse : pm::ReplayEnd::Close;
            break;
        }
        if (tick == pm::Session::Tick::Resumed) clock.Restart();
        ReportFrames(session.Frames(), session.Paused());
    }
    form->Form_Unload();
    recorder.Finish(end, *form);
    host.OnDisplayLost(nullptr);
}

// Plays a recorded session back in the window. The keyboard only steers the
// watching: Escape stops, F held runs four frames a tick, P pauses. A band
// along the top says so; at the file's end the last frame stays up, under a
// notice of how it ended, until the player leaves.
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
    bool paused = false;
    // Every frame shown says it is a replay, and how to steer it.
    pm::WatchNote note;
    host.ShowWatching(&note);
    bool leave = false;
    uint8_t pauseKeyBefore = 0;
    while (!leave) {
        clock.WaitForNextFrame();
        const pm::FrameInput keyboard = pm::GatherInput(host, events);
        leave = keyboard.Keys[pm::Key::Escape] != 0 || keyboard.MousePressed || keyboard.CloseRequested;
        const bool pauseKey = keyboard.Keys[pm::Key::P] != 0 && pauseKeyBefore == 0;
        pauseKeyBefore = keyboard.Keys[pm::Key::P];
        if (watching && (pauseKey || (events.FocusLost && !paused))) {
            paused = !paused;
            if (paused) {
                host.Pause(form->BackBuffer);
            } else {
                host.Resume();
                clock.Restart();
            }
        }
        if (!watching || paused) {
            if (!paused) host.Present(form->BackBuffer);   // hold the last frame
            ReportFrames(outcome.Frames, paused);
            continue;
        }
        note.Fast = keyboard.Keys[pm::Key::F] != 0;
        host.ShowWatching(&note);
        const int steps = note.Fast ? 4 : 1;
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
        ReportFrames(outcome.Frames, false);
        if (!watching) {
            outcome.HighScore = form->HighScore;
            std::printf("pellimunch: replay %s ended at frame %llu (%s, high score %d)\n", file.c_str(),
                        static_cast<unsigned long long>(outcome.Frames), pm::ReplayEndName(outcome.End),
                        static_cast<int>(outcome.HighScore));
            note = pm::EndNote(replay, outcome);
            if (!note.AsRecorded) std::printf("pellimunch: replay %s: %s\n", file.c_str(), note.Difference.c_str());
            std::fflush(stdout);
            host.ShowWatching(&note);
            host.Present(form->BackBuffer);
        }
    }
    host.ShowWatching(nullptr);
    form->Form_Unload();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    pm::Options options;
    std::string error;
    if (!pm::ParseOptions(argc, argv, options, error)) {
        Say(error + " (pellimunch --help lists the options)");
        return 2;
    }
    if (options.Help || options.Version) {
        const std::string text = options.Help ? pm::Usage() : std::string(pm::VersionText()) + "\n";
        // A full disk or a closed pipe is a failure, not a quiet success.
        if (std::fputs(text.c_str(), stdout) < 0 || std::fflush(stdout) != 0) {
            Say(std::string("cannot write to standard output: ") + std::strerror(errno));
            return 1;
        }
        return 0;
    }

    struct sigaction action {};
    action.sa_handler = pm::sdl::RequestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);   // the terminal or the session went away
    // SIGUSR1 writes how many frames the game has played (for testing a
    // pause from outside, and for the curious).
    action.sa_handler = RequestReport;
    sigaction(SIGUSR1, &action, nullptr);

    // The remembered settings, then the command line over them; what the
    // command line changes is remembered too.
    const std::string settingsFile = pm::SettingsPath([](const char* name) { return std::getenv(name); });
    const pm::SettingsRead remembered = pm::LoadSettings(settingsFile);
    if (!remembered.Warning.empty()) Say(remembered.Warning);
    const pm::DesktopSettings chosen = pm::ApplyOptions(options, remembered.Values);
    auto remember = [&settingsFile](const pm::DesktopSettings& settings) {
        if (settingsFile.empty()) return;   // no HOME: nowhere to remember anything
        std::string why;
        if (!pm::SaveSettings(settingsFile, settings, &why)) Say("settings not saved: " + why);
    };
    if (chosen != remembered.Values) remember(chosen);

    try {
        pm::sdl::SdlHost host;
        host.Choose(chosen);
        if (options.Replay) {
            std::string file = *options.Replay;
            if (file == "best" || file == "last") file = pm::FolderOf(host.ScoreFile()) + "/" + file + ".replay";
            return Watch(host, file);
        }
        Play(host, options, chosen, remember);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    return 0;
}
