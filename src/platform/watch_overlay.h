// The pictures of a replay being watched, made by the host on a copy of the
// game's frame (the game's own back buffer is never touched): a band along
// the top that says it is a replay and how to steer it, and at the replay's
// end a notice over the darkened last frame of how it ended and whether that
// was the end the file recorded.
#pragma once

#include <string>

#include "game/canvas/canvas.h"

namespace pm {

struct WatchNote {
    bool Fast = false;          // F held: four frames a tick
    bool Ended = false;         // the frames are spent, or the session ended
    std::string HowItEnded;     // e.g. "left with Escape at frame 1234, high score 5000"
    bool AsRecorded = true;
    std::string Difference;     // when not as recorded: what differs
    std::string Title;          // what the session was ("Daily 2026-12-08"), or empty
};

// The band's rows and the end notice's, in picture rows.
inline constexpr int32_t WatchBandHeight = 18;
inline constexpr int32_t WatchEndTop = 200, WatchEndBottom = 400;

// `large` writes the end notice's title, `small` everything else; either may
// be null (no font: the darkened band and notice still show).
Surface WatchingPicture(const Surface& frame, const WatchNote& note, TextRenderer* large, TextRenderer* small);

}  // namespace pm
