// The game's clock: frame n is due at start + n / fps seconds, computed from
// whole counter ticks so that rounding never accumulates into drift.
#pragma once

#include <cstdint>

namespace pm {

class FramePacer {
public:
    FramePacer(uint64_t ticksPerSecond, uint32_t framesPerSecond)
        : tickRate_(ticksPerSecond), fps_(framesPerSecond) {}

    // Called once per frame with the counter's value; returns the tick at
    // which this frame is due (now or earlier: show it at once).
    uint64_t Deadline(uint64_t now) {
        if (!started_) {
            started_ = true;
            return Restart(now);
        }
        if (++frames_ == fps_) {
            // A whole second is an exact number of ticks: move the origin so
            // the product below stays small.
            start_ += tickRate_;
            frames_ = 0;
        }
        const uint64_t due = start_ + frames_ * tickRate_ / fps_;
        // Far behind (the machine stalled, the window was dragged): start the
        // clock afresh instead of racing through the missed frames.
        if (now > due && now - due > tickRate_ / 10) return Restart(now);
        return due;
    }

private:
    uint64_t Restart(uint64_t now) {
        start_ = now;
        frames_ = 0;
        return now;
    }

    uint64_t tickRate_;
    uint32_t fps_;
    bool started_ = false;
    uint64_t start_ = 0;
    uint64_t frames_ = 0;
};

}  // namespace pm
