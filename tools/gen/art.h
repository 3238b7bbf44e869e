// The five pictures of the game, drawn from code.
#pragma once

#include "image.h"

namespace gen {

Image DrawMainSheet();
Image DrawGround();
Image DrawPinkLine();
Image DrawTitle();
Image DrawScale();

}  // namespace gen
