#include "driver/session.h"

#include <utility>

namespace pm {

Session::Session(FormMain& form, Host& host, DesktopControls& desktop, DesktopSettings settings,
                 std::function<void(const DesktopSettings&)> remember)
    : form_(form), host_(host), desktop_(desktop), settings_(settings), remember_(std::move(remember)) {}

Session::Tick Session::Run() {
    ranFrame_ = false;
    HostEvents events;
    FrameInput input = GatherInput(host_, events);
    // A key counts when it goes down: held keys do not repeat the command.
    const auto pressed = [&](uint8_t key) { return input.Keys[key] != 0 && previous_[key] == 0; };
    const bool pauseKey = pressed(Key::P) || pressed(Key::Pause);
    const bool muteKey = pressed(Key::M);
    previous_ = input.Keys;

    if (events.FullScreenToggled && desktop_.FullScreen() != settings_.FullScreen) {
        settings_.FullScreen = desktop_.FullScreen();
        if (remember_) remember_(settings_);
    }
    if (muteKey) {
        settings_.Muted = !settings_.Muted;
        desktop_.SetVolume(settings_.Volume, settings_.Muted);
        if (remember_) remember_(settings_);
    }

    if (paused_) {
        if (events.FocusGained) focusClick_ = FocusClickTicks;
        if (focusClick_ > 0) {
            --focusClick_;
            input.MousePressed = false;
        }
        if (QuitWhilePaused(input)) return Tick::Over;
        if (pauseKey || events.PadStart) {
            paused_ = false;
            desktop_.Resume();
            return Tick::Resumed;
        }
        return Tick::Paused;
    }

    // Start begins a run on the title, as Shift does; anywhere else it pauses.
    const bool startOnTitle = events.PadStart && form_.GameState == State::Title;
    if (pauseKey || (events.PadStart && !startOnTitle) || events.FocusLost) {
        paused_ = true;
        focusClick_ = 0;
        desktop_.Pause(form_.BackBuffer);   // the frame last shown
        // A close that came with the focus loss still closes.
        if (QuitWhilePaused(input)) return Tick::Over;
        return Tick::Paused;
    }
    if (startOnTitle) input.Keys[Key::LShift] = 128;
    ++frames_;
    ranFrame_ = true;
    lastInput_ = input;
    return form_.Step(input) ? Tick::Played : Tick::Over;
}

// The same shutdown as the game's own ways out: Escape unloads at once, a
// mouse press and a close request as at the end of a frame.
bool Session::QuitWhilePaused(const FrameInput& input) {
    if (input.Keys[Key::Escape] != 0) {
        form_.Form_Unload();
        return true;
    }
    if (input.MousePressed) {
        form_.Form_MouseDown();
        return true;
    }
    if (input.CloseRequested) {
        form_.CloseWindow();
        return true;
    }
    return false;
}

}  // namespace pm
