// The desktop driver's decisions, one tick at a time: pause and resume, mute,
// the gamepad's Start, and the ways out of a paused game. The game itself
// only ever sees the frames it is given; a paused game is simply not given
// any, so nothing here can change a frame of it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "driver/driver.h"
#include "platform/desktop.h"

namespace pm {

class Session {
public:
    enum class Tick {
        Played,    // the game ran a frame
        Paused,    // no frame: the game is paused (or was paused just now)
        Resumed,   // no frame: the pause ended; the next tick plays at once
        Over,      // the game has shut down
    };

    // `remember` is called with the settings whenever the player changes one.
    Session(FormMain& form, Host& host, DesktopControls& desktop, DesktopSettings settings,
            std::function<void(const DesktopSettings&)> remember);

    // Gathers the window's messages and the keys, then plays a frame unless
    // the game is paused.
    Tick Run();

    bool Paused() const { return paused_; }
    // Whether the last tick gave the game a frame, and the input it read.
    bool RanFrame() const { return ranFrame_; }
    const FrameInput& LastInput() const { return lastInput_; }
    uint64_t Frames() const { return frames_; }
    const DesktopSettings& Settings() const { return settings_; }

    // After the window gets the focus back, a mouse press within this many
    // ticks is the click that gave it, not a request to quit.
    static constexpr int32_t FocusClickTicks = 15;

private:
    bool QuitWhilePaused(const FrameInput& input);

    FormMain& form_;
    Host& host_;
    DesktopControls& desktop_;
    DesktopSettings settings_;
    std::function<void(const DesktopSettings&)> remember_;
    std::array<uint8_t, 256> previous_{};
    bool paused_ = false;
    int32_t focusClick_ = 0;
    uint64_t frames_ = 0;
    bool ranFrame_ = false;
    FrameInput lastInput_;
};

}  // namespace pm
