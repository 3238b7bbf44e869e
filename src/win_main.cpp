// The game on Windows: the Windows host's window running the one Session
// until Escape, a mouse press, a closed window or Ctrl+C in its console ends
// it; each of them runs the shutdown, which saves the record. Around it the
// desktop's part, as on Linux: the command line, the remembered settings,
// and the replays (every session recorded; --replay watches one).
#include <cstdio>
#include <exception>
#include <string>

#include "driver/driver.h"
#include "driver/options.h"
#include "driver/replay.h"
#include "driver/replay_keeper.h"
#include "driver/session.h"
#include "driver/settings_file.h"
#include "platform/atomic_file.h"
#include "platform/data_files.h"
#include "platform/score_file.h"
#include "platform/score_path.h"
#include "platform/win32/process.h"
#include "platform/win32/win_host.h"

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

// score.dat, settings.ini and the replays keep together: beside the game
// when its folder can be written, else under %APPDATA%\Pellimunch.
std::string Beside(const std::string& scoreFile, const std::string& name) {
    return pm::FolderOf(scoreFile) + "\\" + name;
}

// The loop: wait for the frame's time, then one tick of the session. A
// watched recording says how it played out when it is spent.
void Loop(pm::Session& session, const std::string& watching) {
    pm::FrameClock clock;
    bool told = false;
    for (;;) {
        clock.WaitForNextFrame();
        const pm::Session::Tick tick = session.Run();
        if (tick == pm::Session::Tick::Over) break;
        if (tick == pm::Session::Tick::Resumed) clock.Restart();
        if (!told && session.Watched()) {
            told = true;
            const pm::ReplayOutcome& outcome = *session.Watched();
            std::printf("pellimunch: replay %s ended at frame %llu (%s, high score %d)\n", watching.c_str(),
                        static_cast<unsigned long long>(outcome.Frames), pm::ReplayEndName(outcome.End),
                        static_cast<int>(outcome.HighScore));
            std::fflush(stdout);
        }
    }
    session.Finish();
}

void Play(pm::win32::WinHost& host, const pm::Options& options, const std::string& scoreFile,
          pm::SessionSetup setup) {
    pm::ScoreFileRecord record(scoreFile);
    host.UseRecords(&record);
    pm::ReplayKeeper keeper(options.Record ? *options.Record : Beside(scoreFile, "last.replay"),
                            Beside(scoreFile, "best.replay"));
    setup.Keeper = &keeper;
    pm::Session session(host, &host, std::move(setup));
    session.Start(pm::ClockSeed());
    Loop(session, {});
}

// A recorded session in the window, from its seed and the record it started
// with; the player's own record is never read or written.
int Watch(pm::win32::WinHost& host, const std::string& file, pm::SessionSetup setup) {
    pm::Replay replay;
    std::string message;
    if (!pm::LoadReplay(file, replay, message)) return Fail("replay " + message);
    pm::FixedRecord record(replay.HighScore);
    host.UseRecords(&record);
    pm::Session session(host, &host, std::move(setup));
    session.Follow(replay.Keys, pm::Source::Watch, replay.EndFrame);
    session.Start(replay.Seed);
    Loop(session, file);
    if (session.Watched()) {
        const std::string differs = pm::CompareWithRecording(replay, *session.Watched());
        if (!differs.empty()) std::printf("pellimunch: replay %s: %s\n", file.c_str(), differs.c_str());
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    pm::win32::UseParentConsole();
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
        // The remembered settings, then the command line over them; what the
        // command line changes is remembered too.
        const std::string scoreFile = pm::ScoreFilePath(pm::MyPath());
        const std::string settingsFile = Beside(scoreFile, "settings.ini");
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
        const pm::SessionSetup setup{chosen, remember, nullptr};
        if (options.Replay) {
            std::string file = *options.Replay;
            if (file == "best" || file == "last") file = Beside(scoreFile, file + ".replay");
            return Watch(host, file, setup);
        }
        Play(host, options, scoreFile, setup);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    return 0;
}
