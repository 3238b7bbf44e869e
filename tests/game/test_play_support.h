// Shared set-up for the play-frame tests: a run in progress with the item
// stream and the rival kept out of the way, so a scenario sees only the
// steps it is about.
#pragma once

#include <algorithm>
#include <vector>

#include "draw_log.h"
#include "harness.h"

namespace pm::test {

// Parks every item slot for good and makes the ball immune to the rival.
inline void QuietField(FormMain& f) {
    for (Item& item : f.Items) {
        item.X = 9999.0f;
        item.Delay = 1000000;
    }
    f.GraceTimer = 1000000;
}

// A game whose run has started; the next Step() is the first play frame.
struct PlayGame : Game {
    explicit PlayGame(uint64_t seed = 1) : Game(seed) {
        StartRun();
        QuietField(form);
        host.SoundLog.clear();
    }

    // Sound calls made to one buffer, in order.
    std::vector<SoundCall> SoundsOf(SoundId id) const {
        std::vector<SoundCall> out;
        std::copy_if(host.SoundLog.begin(), host.SoundLog.end(), std::back_inserter(out),
                     [id](const SoundCall& c) { return c.Id == id; });
        return out;
    }
};

}  // namespace pm::test
