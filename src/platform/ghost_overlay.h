// The ghost of a race, drawn by the host on a copy of the game's frame (the
// game's own back buffer is never touched): the ghost's ball as a
// translucent silhouette where the ghost's game has it, and a thin band
// along the bottom with the ghost's score and how far the player is from it.
#pragma once

#include <cstdint>
#include <string>

#include "game/canvas/canvas.h"

namespace pm {

struct GhostNote {
    bool BallShown = false;      // the ghost's ball is in play or fading out
    float X = 0, Y = 0;          // its centre, in picture pixels
    const Surface* Sheet = nullptr;   // its picture (white is transparent)
    Rect Where;
    int32_t Opacity = 0;         // 0 (gone) to GhostOpacity
    int32_t Score = 0;           // the ghost's score at this frame
    int32_t Difference = 0;      // the player's score less the ghost's
};

// The silhouette's strength at its fullest, out of 256, and its colour.
inline constexpr int32_t GhostOpacity = 144;
inline constexpr Rgb GhostColour{176, 224, 255};
// The band's rows, at the bottom of the picture.
inline constexpr int32_t GhostBandHeight = 18;

// "GHOST 12340  -80".
std::string GhostBandText(const GhostNote& note);

// Draws the ghost onto `shown`, which is already a copy. The band's text is
// written in a small pixel font of its own, the same on every host (the
// browser has no font renderer).
void DrawGhost(Surface& shown, const GhostNote& note);

// The blend of a 5-6-5 pixel towards a colour, `alpha` out of 256.
uint16_t BlendTowards(uint16_t pixel, Rgb colour, int32_t alpha);

}  // namespace pm
