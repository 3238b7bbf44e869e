// What a desktop host offers its driver besides the game's Host: the
// player's choices for the window and the sound, and the pause. None of it
// reaches the game; it never changes a frame.
#pragma once

#include <cstdint>
#include <string>

#include "game/canvas/canvas.h"
#include "platform/watch_overlay.h"

namespace pm {

// The player's choices, remembered between runs.
struct DesktopSettings {
    static constexpr int32_t MaxScale = 8;
    bool FullScreen = true;
    int32_t Scale = 1;       // the window is 800 x 600 times this, 1 to MaxScale
    int32_t Volume = 100;    // 0 to 100
    bool Muted = false;
    friend bool operator==(const DesktopSettings&, const DesktopSettings&) = default;
};

class DesktopControls {
public:
    virtual ~DesktopControls() = default;

    // Paused, the sound is held and the last frame stays on the screen under
    // a notice saying how to go on (drawn on a copy); after Resume the next
    // frame replaces it.
    virtual void Pause(const Surface& lastFrame) = 0;
    virtual void Resume() = 0;
    virtual void SetVolume(int32_t percent, bool muted) = 0;
    // Whether the window fills the screen now (after Alt+Enter, say).
    virtual bool FullScreen() const = 0;
    // While a replay is watched, every frame shown carries the note (drawn
    // on a copy); null when the game is played.
    virtual void ShowWatching(const WatchNote* note) { (void)note; }
    // The window's caption ("Pellimunch" unless told); before or after the
    // window opens.
    virtual void SetCaption(const std::string& caption) { (void)caption; }
};

}  // namespace pm
