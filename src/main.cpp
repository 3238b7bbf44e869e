// The game: an SDL window running FormMain until Escape, a mouse press, a
// closed window or SIGINT/SIGTERM/SIGHUP ends it; each of them runs the shutdown,
// which saves the high score.
#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "platform/sdl/message_box.h"
#include "platform/sdl/sdl_host.h"
#include "shell/game_state.h"

namespace {

// One line on standard error and, for a player who started the game from
// the desktop and sees no terminal, the same words in a box.
int Fail(const char* message) {
    std::string line(message);
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    std::fprintf(stderr, "pellimunch: %s\n", line.c_str());
    std::fflush(stderr);
    pm::sdl::ShowErrorBox("Pellimunch", "Pellimunch cannot go on:\n" + line);
    return 1;
}

}  // namespace

int main() {
    struct sigaction action {};
    action.sa_handler = pm::sdl::RequestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);   // the terminal or the session went away

    try {
        pm::sdl::SdlHost host;
        auto form = std::make_unique<pm::FormMain>(host);
        form->Form_Load();
    } catch (const pm::StartupError& e) {
        return Fail(e.what());
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    return 0;
}
