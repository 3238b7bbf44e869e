// A game on the headless host for unit and scenario tests: blank surfaces,
// no data files, no high-score file, and keys given frame by frame.
#pragma once

#include <initializer_list>

#include "driver/driver.h"
#include "hosts/headless/headless_host.h"
#include "game/shell/game_state.h"

namespace pm::test {

// One frame's input from a headless host, as the window's driver gathers it.
inline FrameInput ReadInput(Host& host) {
    HostEvents events;
    return GatherInput(host, events);
}

struct Game {
    HeadlessHost host;
    FormMain form{host};

    explicit Game(uint32_t seed = 1) { form.StartUp(seed); }

    // Runs one frame with exactly the given keys held (and whatever the
    // host's window reports); returns whether the game goes on.
    bool Step(std::initializer_list<uint8_t> keys = {}) {
        host.Keys = {};
        for (uint8_t k : keys) host.Keys[k] = 128;
        return form.Step(ReadInput(host)) == FrameEnd::GoingOn;
    }

    // From the title, holds Shift for one frame so play runs from the next.
    void StartRun() { Step({Key::LShift}); }
};

}  // namespace pm::test
