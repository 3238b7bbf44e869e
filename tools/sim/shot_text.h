// Text for --shot pictures: the title's help lines are drawn with the same
// renderer as the game's window when a font can be found. Traces never need
// it (they record the text itself), so it is made only when a shot is asked.
#pragma once

#include <memory>

#include "game/canvas/canvas.h"

namespace pm::sim {

// A renderer that works without a window, or null when none is available
// (then shots show everything but the text).
std::unique_ptr<TextRenderer> MakeShotTextRenderer();

}  // namespace pm::sim
