// pellimunch-sim: replays a run of the game without a window.
#include <cstdio>

#include "runner.h"

int main(int argc, char** argv) { return pm::sim::RunMain(argc, argv, stdout, stderr, stdin); }
