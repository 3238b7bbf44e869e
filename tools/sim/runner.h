// The headless runner: the game's own start-up, frame loop and shutdown on
// the headless host, with keys from a script and every frame traced.
#pragma once

#include <cstdio>

namespace pm::sim {

// The whole program: parses the arguments, runs, writes the trace. Returns
// the exit status (0 normal end, 1 with one line on `err` otherwise).
int RunMain(int argc, const char* const* argv, std::FILE* out, std::FILE* err, std::FILE* in);

}  // namespace pm::sim
