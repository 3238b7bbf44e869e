// The driver: what runs the game from outside, one frame at a time. It
// gathers each frame's input from the host (its messages as values, then its
// keyboard) and keeps the pace; the game itself only ever takes one Step.
#pragma once

#include <chrono>
#include <cstdint>

#include "driver/frame_pacer.h"
#include "game/shell/game_state.h"

namespace pm {

// The window's pending messages, then the keys held now: one frame's input.
// `events` receives everything the host reported, for the driver's own use
// (focus, full screen).
FrameInput GatherInput(Host& host, HostEvents& events);

// The seed of a player's session: the seconds since midnight, local time, as
// the game has always seeded itself.
uint32_t ClockSeed();

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

// The same clock for a host that is called back at its display's refresh
// instead of sleeping (the browser): how many ticks are due now.
class TickSchedule {
public:
    // Ticks at most in one call: enough for a display refreshing 10 times a
    // second. A call that is still behind after them starts the clock afresh:
    // a slow machine slows the game down rather than skipping ahead.
    static constexpr int32_t MaxPerCall = 8;

    // `nowMicros` is the host's clock in microseconds.
    int32_t Due(uint64_t nowMicros);
    // Forget the schedule: the next tick is due at once (after a pause).
    void Restart();

private:
    FramePacer pacer_{1000000, FrameClock::FramesPerSecond};
    uint64_t due_ = 0;        // when the next tick is due
    bool haveDue_ = false;
};

}  // namespace pm
