// The game: an SDL window running FormMain one frame at a time until Escape,
// a mouse press, a closed window or SIGINT/SIGTERM ends it; each of them runs
// the shutdown, which saves the high score. Around it, the desktop's part:
// the command line, the remembered settings, pause, mute and the gamepad.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include "driver/driver.h"
#include "driver/options.h"
#include "driver/session.h"
#include "driver/settings_file.h"
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

}  // namespace

int main(int argc, char** argv) {
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

    struct sigaction action {};
    action.sa_handler = pm::sdl::RequestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
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
        auto form = std::make_unique<pm::FormMain>(host);
        form->Form_Load();
        host.SetIcon(form->MainSurface, form->BallRects[0]);

        // The loop: wait for the frame's time, then one tick of the session:
        // the window's messages and the keys, and a frame unless paused.
        pm::Session session(*form, host, host, chosen, remember);
        pm::FrameClock clock;
        for (;;) {
            clock.WaitForNextFrame();
            const pm::Session::Tick tick = session.Run();
            if (tick == pm::Session::Tick::Over) break;
            if (tick == pm::Session::Tick::Resumed) clock.Restart();
            if (ReportRequested) {
                ReportRequested = 0;
                std::fprintf(stderr, "pellimunch: %llu frames played%s\n",
                             static_cast<unsigned long long>(session.Frames()), session.Paused() ? ", paused" : "");
            }
        }
        form->Form_Unload();
    } catch (const std::exception& e) {
        Say(e.what());
        return 1;
    }
    return 0;
}
