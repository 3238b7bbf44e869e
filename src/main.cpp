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
#include <memory>
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
#include "platform/sdl/message_box.h"
#include "platform/sdl/sdl_host.h"

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
        ReportFrames(session.Frames(), session.Paused());
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

// Plays the game for the player, keeping the record in score.dat and the
// session as replays beside it.
void Play(pm::sdl::SdlHost& host, const pm::Options& options, pm::SessionSetup setup) {
    const std::string scoreFile = pm::ScoreFilePath(pm::MyPath());
    pm::ScoreFileRecord record(scoreFile);
    host.UseRecords(&record);
    const std::string folder = pm::FolderOf(scoreFile) + "/";
    pm::ReplayKeeper keeper(options.Record ? *options.Record : folder + "last.replay", folder + "best.replay");
    setup.Keeper = &keeper;
    pm::Session session(host, &host, std::move(setup));
    session.Start(pm::ClockSeed());
    host.SetIcon(session.Game().MainSurface, session.Game().BallRects[0]);
    // Mended: a lost display used to end the process in Xlib without the
    // shutdown, losing the record of a run in its game over and last.replay.
    // It still ends the process, from inside whatever SDL call found it
    // lost, but the shutdown's saves run there first, as for a closed window.
    host.OnDisplayLost([&session] {
        session.Close();
        session.Finish();
    });
    Loop(session, {});
    host.OnDisplayLost(nullptr);
}

// Plays a recorded session back in the window, from its seed and the record
// it started with; the player's own record is never read or written. The
// keyboard only steers the watching: Escape stops, F held runs four frames a
// tick, P pauses; a band along the top says so. At the recording's end the
// last frame stays up, under a notice of how it ended, until the player
// leaves.
int Watch(pm::sdl::SdlHost& host, const std::string& file, pm::SessionSetup setup) {
    pm::Replay replay;
    std::string message;
    if (!pm::LoadReplay(file, replay, message)) return Fail("replay " + message);
    pm::FixedRecord record(replay.HighScore);
    host.UseRecords(&record);
    pm::Session session(host, &host, std::move(setup));
    session.Watch(replay);
    session.Start(replay.Seed);
    host.SetIcon(session.Game().MainSurface, session.Game().BallRects[0]);
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
    pm::Options options;
    std::string error;
    if (!pm::ParseOptions(argc, argv, options, error)) {
        Say(error + " (pellimunch --help lists the options)");
        return 2;
    }
    if (options.Help || options.Version) {
        const std::string text = options.Help ? pm::Usage() : std::string(pm::VersionText()) + "\n";
        // Mended: a full disk or a closed pipe used to end in a quiet exit
        // status 0; it is a failure.
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
        const pm::SessionSetup setup{chosen, remember, nullptr};
        if (options.Replay) {
            std::string file = *options.Replay;
            if (file == "best" || file == "last")
                file = pm::FolderOf(pm::ScoreFilePath(pm::MyPath())) + "/" + file + ".replay";
            return Watch(host, file, setup);
        }
        Play(host, options, setup);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    return 0;
}
