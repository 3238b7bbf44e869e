// The driver: what runs the game from outside, one frame at a time. It
// gathers each frame's input from the host (its messages as values, then its
// keyboard) and keeps the pace; the game itself only ever takes one Step.
#pragma once

#include <chrono>
#include <cstdint>

#include "driver/frame_pacer.h"
#include "shell/game_state.h"

namespace pm {

// The window's pending messages, then the keys held now: one frame's input.
// `events` receives everything the host reported, for the driver's own use
// (focus, full screen).
FrameInput GatherInput(Host& host, HostEvents& events);

// The game's clock: frame n is due n/60 s after the start, slept for, never
// spun. After a stall (or a pause) it starts afresh instead of racing.
class FrameClock {
public:
    static constexpr uint32_t FramesPerSecond = 60;

    FrameClock();
    void WaitForNextFrame();
    // Forget the schedule: the next frame is due at once (after a pause).
    void Restart();

private:
    using Clock = std::chrono::steady_clock;
    uint64_t Now() const;
    Clock::time_point origin_;
    FramePacer pacer_;
};

}  // namespace pm
