// The fourteen sound effects, synthesised from code.
#pragma once

#include <string>
#include <vector>

#include "wave.h"

namespace gen {

struct NamedSound {
    std::string File;   // relative to the output folder
    Sound Data;
};

std::vector<NamedSound> MakeSounds();

}  // namespace gen
