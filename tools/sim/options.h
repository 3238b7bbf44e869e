// The runner's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "trace_writer.h"

namespace pm::sim {

struct Shot {
    uint64_t Frame = 0;
    std::string File;
};

struct Options {
    uint32_t Seed = 1;
    bool SeedGiven = false;
    std::optional<std::string> ReplayFile;   // a recorded session instead of seed, script and score
    std::optional<std::string> ScriptFile;   // "-" is standard input
    std::optional<uint64_t> Frames;
    Channels Trace;                          // none: no channel set
    uint64_t Every = 1;
    std::string Out;                         // empty: standard output
    std::string Dir;                         // empty: the executable's folder
    std::string Score;                       // empty: score.dat in the program folder
    std::vector<Shot> Shots;
    bool Help = false;
};

// Parses argv[1..]; on a bad argument returns false with a one-line reason.
bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error);

const char* Usage();

}  // namespace pm::sim
