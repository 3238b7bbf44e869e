#include "driver/driver.h"

#include <thread>

namespace pm {

FrameInput GatherInput(Host& host, HostEvents& events) {
    events = host.PumpEvents();
    FrameInput input;
    host.ReadKeyboard(input.Keys);
    input.MousePressed = events.MousePressed;
    input.CloseRequested = events.CloseRequested;
    return input;
}

FrameClock::FrameClock() : origin_(Clock::now()), pacer_(1000000000u, FramesPerSecond) {}

uint64_t FrameClock::Now() const {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - origin_).count());
}

void FrameClock::WaitForNextFrame() {
    uint64_t now = Now();
    const uint64_t due = pacer_.Deadline(now);
    // Sleep, not spin: the remaining time is slept off, re-checked on waking.
    while (now < due) {
        if (due - now < 1000) break;
        std::this_thread::sleep_for(std::chrono::nanoseconds(due - now));
        now = Now();
    }
}

void FrameClock::Restart() { pacer_ = FramePacer(1000000000u, FramesPerSecond); }

}  // namespace pm
