// The game: an SDL window running FormMain one frame at a time until Escape,
// a mouse press, a closed window or SIGINT/SIGTERM ends it; each of them runs
// the shutdown, which saves the high score.
#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "driver/driver.h"
#include "platform/sdl/sdl_host.h"
#include "shell/game_state.h"

namespace {

int Fail(const char* message) {
    std::string line(message);
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    std::fprintf(stderr, "pellimunch: %s\n", line.c_str());
    return 1;
}

}  // namespace

int main() {
    struct sigaction action {};
    action.sa_handler = pm::sdl::RequestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    try {
        pm::sdl::SdlHost host;
        auto form = std::make_unique<pm::FormMain>(host);
        form->Form_Load();
        host.SetIcon(form->MainSurface, form->BallRects[0]);

        // The loop: wait for the frame's time, gather what the window and the
        // keyboard say, run one frame.
        pm::FrameClock clock;
        pm::HostEvents events;
        for (;;) {
            clock.WaitForNextFrame();
            if (!form->Step(pm::GatherInput(host, events))) break;
        }
        form->Form_Unload();
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    return 0;
}
