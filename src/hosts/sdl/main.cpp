// The game: an SDL window running FormMain one frame at a time until Escape,
// a mouse press, a closed window or SIGINT/SIGTERM/SIGHUP ends it; each of
// them runs the shutdown, which saves the high score. Around it, the
// desktop's part: the command line, the remembered settings, pause, mute,
// the gamepad, and the replays (every session recorded; --replay watches one).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "driver/desktop_run.h"
#include "driver/settings_file.h"
#include "platform/data_files.h"
#include "platform/score_path.h"
#include "hosts/sdl/message_box.h"
#include "hosts/sdl/sdl_host.h"

namespace {

volatile std::sig_atomic_t ReportRequested = 0;
void RequestReport(int) { ReportRequested = 1; }

// One line on standard error and, for a player who started the game from
// the desktop and sees no terminal, the same words in a box.
int Fail(const std::string& message) {
    pm::SayLine(message);
    pm::sdl::ShowErrorBox("Pellimunch", "Pellimunch cannot go on:\n" + pm::OneLine(message));
    return 1;
}

void ReportFrames(const pm::Session& session) {
    if (!ReportRequested) return;
    ReportRequested = 0;
    std::fprintf(stderr, "pellimunch: %llu frames played%s\n", static_cast<unsigned long long>(session.Frames()),
                 session.Paused() ? ", paused" : "");
}

}  // namespace

int main(int argc, char** argv) {
    pm::Options options;
    int status = 0;
    if (!pm::ReadDesktopOptions(argc, argv, options, status)) return status;

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

    const pm::SessionSetup setup =
        pm::DesktopSetup(options, pm::SettingsPath([](const char* name) { return std::getenv(name); }));
    try {
        pm::sdl::SdlHost host;
        host.Choose(setup.Settings);
        pm::DesktopRun run{host, host, pm::ScoreFilePath(pm::MyPath()), {}, ReportFrames};
        run.Around = [&host](pm::Session* session) {
            if (!session) {
                host.OnDisplayLost(nullptr);
                return;
            }
            const pm::SheetPicture ball = session->View().BallPicture(pm::BallKind::Plain);
            host.SetIcon(*ball.Sheet, ball.Where);
            // Mended: a lost display used to end the process in Xlib without
            // the shutdown, losing the record of a run in its game over and
            // last.replay. It still ends the process, from inside whatever SDL
            // call found it lost, but the shutdown's saves run there first, as
            // for a closed window.
            host.OnDisplayLost([session] {
                session->Close();
                session->Finish();
            });
        };
        std::string error;
        if (!pm::RunDesktop(run, options, setup, error)) return Fail(error);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    return 0;
}
