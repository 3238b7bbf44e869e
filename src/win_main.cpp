// The game on Windows: a window of the Windows host running FormMain one
// frame at a time until Escape, a mouse press, a closed window or Ctrl+C in
// its console ends it; each of them runs the shutdown, which saves the
// record. Around it the desktop's part, as on Linux: the command line, the
// remembered settings, pause, mute, the gamepad and the replays.
#include <windows.h>

#include <cstdio>
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
#include "platform/data_files.h"
#include "platform/score_path.h"
#include "platform/win32/process.h"
#include "platform/win32/win_host.h"
#include "shell/game_state.h"

namespace {

// One line on standard error, whatever the message holds.
void Say(const std::string& message) {
    std::string line(message);
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    std::fprintf(stderr, "pellimunch: %s\n", line.c_str());
    std::fflush(stderr);
}

// The line on standard error and, for a player who started the game with a
// double-click and sees no console, the same words in a box.
int Fail(const std::string& message) {
    Say(message);
    std::string line(message);
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    pm::win32::ShowErrorBox("Pellimunch", "Pellimunch cannot go on:\n" + line);
    return 1;
}

std::string Beside(const std::string& scoreFile, const char* name) { return pm::FolderOf(scoreFile) + "\\" + name; }

// Plays the game for the player, recording the session.
void Play(pm::win32::WinHost& host, const pm::Options& options, const pm::DesktopSettings& chosen,
          const std::function<void(const pm::DesktopSettings&)>& remember) {
    pm::SessionRecorder recorder(options.Record ? *options.Record : Beside(host.ScoreFile(), "last.replay"),
                                 Beside(host.ScoreFile(), "best.replay"));
    const auto seed = static_cast<uint32_t>(host.ClockSeed());
    host.UseSeed(seed);

    auto form = std::make_unique<pm::FormMain>(host);
    form->Form_Load();
    recorder.Start(seed, *form);

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
    }
    form->Form_Unload();
    recorder.Finish(end, *form);
}

// Plays a recorded session back in the window: Escape stops, F held runs
// four frames a tick, P pauses; at the file's end the last frame stays up
// until the player leaves.
int Watch(pm::win32::WinHost& host, const std::string& file) {
    pm::Replay replay;
    std::string message;
    if (!pm::LoadReplay(file, replay, message)) return Fail("replay " + message);
    pm::ScratchScoreFile scratch(replay.HighScore);
    host.UseScoreFile(scratch.Path());
    host.UseSeed(replay.Seed);

    auto form = std::make_unique<pm::FormMain>(host);
    form->Form_Load();

    pm::sim::ScriptCursor cursor(replay.Keys);
    const uint64_t total = replay.Keys.TotalFrames();
    pm::ReplayOutcome outcome;
    outcome.End = pm::ReplayEnd::Close;
    pm::FrameClock clock;
    pm::HostEvents events;
    bool watching = true, paused = false, leave = false;
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
    pm::win32::UseParentConsole();
    pm::win32::PrepareEnvironment();
    pm::Options options;
    std::string error;
    if (!pm::ParseOptions(argc, argv, options, error)) {
        Say(error + " (pellimunch --help lists the options)");
        return 2;
    }
    if (options.Help) {
        std::fputs(pm::Usage(), stdout);
        return 0;
    }
    if (options.Version) {
        std::printf("%s\n", pm::VersionText());
        return 0;
    }

    try {
        // settings.ini lives with the record: beside the game, or under
        // %APPDATA%\Pellimunch. The command line's choices are remembered.
        const std::string settingsFile = Beside(pm::ScoreFilePath(pm::MyPath()), "settings.ini");
        const pm::SettingsRead remembered = pm::LoadSettings(settingsFile);
        if (!remembered.Warning.empty()) Say(remembered.Warning);
        const pm::DesktopSettings chosen = pm::ApplyOptions(options, remembered.Values);
        auto remember = [&settingsFile](const pm::DesktopSettings& settings) {
            std::string why;
            if (!pm::SaveSettings(settingsFile, settings, &why)) Say("settings not saved: " + why);
        };
        if (chosen != remembered.Values) remember(chosen);

        pm::win32::WinHost host;
        host.Choose(chosen);
        if (options.Replay) {
            std::string file = *options.Replay;
            if (file == "best" || file == "last") file = Beside(host.ScoreFile(), (file + ".replay").c_str());
            return Watch(host, file);
        }
        Play(host, options, chosen, remember);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    return 0;
}
