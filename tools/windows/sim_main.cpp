// pellimunch-sim.exe: the headless runner on Windows. The trace is bytes:
// standard output is switched to binary, so no line gets a CR added, and
// the trace is the very one the runner writes everywhere else.
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "runner.h"

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
    return pm::sim::RunMain(argc, argv, stdout, stderr, stdin);
}
