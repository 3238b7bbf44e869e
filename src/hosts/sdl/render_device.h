// Whether the machine has a graphics device. Without one, OpenGL draws on
// the processor after loading its whole stack (some 70 MB and a quarter of a
// second), only for the game to turn to SDL's own software renderer anyway.
#pragma once

#include <string>

namespace pm {

// True when `folder` holds a DRM device node (renderD* or card*) that this
// user may open for reading and writing.
bool HasRenderDevice(const std::string& folder = "/dev/dri");

}  // namespace pm
