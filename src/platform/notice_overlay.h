// A short notice the desktop host shows over the picture for a few seconds
// after the start (score.dat set aside because it held no score, say), drawn
// on a copy of the frame: the game's own back buffer is never touched, and a
// replay never sees it.
#pragma once

#include <string>

#include "game/canvas/canvas.h"

namespace pm {

// The band of the notice, in picture rows: above the ground, where the
// title leaves the picture empty.
inline constexpr int32_t NoticeBandTop = 426, NoticeBandBottom = 458;
// How long it shows: five seconds of frames.
inline constexpr int32_t NoticeFrames = 300;

class TimedNotice {
public:
    void Show(std::string line, int32_t frames = NoticeFrames);
    bool Active() const { return left_ > 0; }
    // Darkens the band of `shown` (a copy of the frame) and writes the line
    // in it, with `text` when there is one; one frame less to go.
    void DrawOn(Surface& shown, TextRenderer* text);

private:
    std::string line_;
    int32_t left_ = 0;
};

}  // namespace pm
