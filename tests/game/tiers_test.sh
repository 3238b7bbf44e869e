#!/usr/bin/env bash
# The tiers hold: the game library calls nothing of the machine (no file, no
# clock, no environment, no output) and the headless runner carries no SDL.
# Usage: tiers_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1

fail=0
check_quiet() {   # library
    local lib=$1
    [ -f "$lib" ] || { echo "FAIL: $lib is missing"; fail=1; return; }
    # Every function the library needs from outside itself.
    local bad
    bad=$(nm -u --demangle "$lib" | sed -n 's/^ *U //p' | sort -u | grep -E \
        '^(open|open64|openat|fopen|fopen64|fdopen|read|write|close|fread|fwrite|fflush|fprintf|printf|vfprintf|puts|fputs|putchar|perror|getenv|secure_getenv|setenv|time|clock_gettime|gettimeofday|clock|localtime|localtime_r|gmtime|stat|stat64|fstat|fstat64|lstat|flock|fcntl|rename|unlink|mkdir|mkdtemp|mkstemp|fsync|opendir|readdir|stderr|stdout|stdin|system|exit|abort)(@.*)?$|std::(cerr|cout|clog|cin)\b|std::basic_[io]?fstream|std::filesystem|chrono::(system|steady|high_resolution)_clock::now' \
        || true)
    if [ -n "$bad" ]; then
        echo "FAIL: $(basename "$lib") reaches outside the game:"
        echo "$bad" | sed 's/^/    /'
        fail=1
    else
        echo "ok    $(basename "$lib") calls no file, clock, environment or output function"
    fi
}
check_quiet "$build/libpellimunch_game.a"
check_quiet "$build/libpellimunch_canvas.a"

sim="$build/pellimunch-sim"
if nm "$sim" 2>/dev/null | grep -qi 'sdl' || ldd "$sim" | grep -qi 'libSDL'; then
    echo "FAIL: pellimunch-sim links SDL:"
    ldd "$sim" | grep -i sdl | sed 's/^/    /' || true
    fail=1
else
    echo "ok    pellimunch-sim carries no SDL"
fi
exit $fail
