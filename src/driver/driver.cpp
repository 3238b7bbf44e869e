#include "driver/driver.h"

#include <ctime>
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

uint32_t ClockSeed() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return static_cast<uint32_t>(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec);
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

int32_t TickSchedule::Due(uint64_t now) {
    // A quarter of a frame early still counts as on time: display refreshes
    // jitter, and a tick run a little early beats one run a refresh late.
    constexpr uint64_t Slack = 1000000 / FrameClock::FramesPerSecond / 4;
    for (int32_t n = 0; n < MaxPerCall; ++n) {
        if (!haveDue_) {
            due_ = pacer_.Deadline(now);
            haveDue_ = true;
        }
        if (now + Slack < due_) return n;
        haveDue_ = false;
    }
    // Still behind after the ticks allowed in one call: the clock starts
    // afresh at the next, as after a stall on the desktop.
    Restart();
    return MaxPerCall;
}

void TickSchedule::Restart() {
    pacer_ = FramePacer(1000000, FrameClock::FramesPerSecond);
    haveDue_ = false;
}

}  // namespace pm
