#!/usr/bin/env bash
# Files go through one layer: the driver, the platform pieces around the file
# layer and the tools (the runner, the bot) call no system function of files
# and folders themselves; only src/platform/files does (files_posix.cpp
# here). Checked on the compiled objects: whatever a source calls, directly
# or through a macro, shows as an undefined symbol.
# Usage: files_layer_test.sh BUILD_DIR [SOURCE_DIR]
set -uo pipefail
build=${1:?usage: files_layer_test.sh BUILD_DIR}

calls='^(open|open64|openat|openat64|creat|read|pread|pread64|fcntl|fcntl64|stat|stat64|fstat|fstat64|lstat|lstat64|fstatat|fstatat64|__xstat|__xstat64|__fxstat|__fxstat64|__lxstat|statx|access|faccessat|rename|renameat|unlink|unlinkat|mkdir|mkdirat|mkstemp|mkstemp64|flock|lockf|opendir|fdopendir|readdir|readdir64|readlink|getpwuid_r)(@.*)?$'

fail=0
# An archive's members (or one object) that call any of them, but for those
# named in the allowed list.
check() {   # WHAT FILE [ALLOWED-MEMBER...]
    local what=$1 file=$2
    shift 2
    [ -f "$file" ] || { echo "FAIL: $file is missing"; fail=1; return; }
    local found
    found=$(nm -A -u "$file" 2>/dev/null | sed -n 's/^\(.*\): *U \(.*\)$/\1 \2/p' | while read -r member symbol; do
        base=${member##*:}
        base=${base##*/}
        for allowed in "$@"; do [ "$base" = "$allowed" ] && continue 2; done
        [[ $symbol =~ $calls ]] && echo "$base: $symbol"
    done | sort -u)
    if [ -n "$found" ]; then
        echo "FAIL: $what: calls of the system's files outside the file layer:"
        echo "$found" | sed 's/^/    /'
        fail=1
    else
        echo "ok    $what: files only through the file layer"
    fi
}

check "the driver" "$build/libpellimunch_driver.a"
check "the platform pieces" "$build/libpellimunch_platform.a" files_posix.cpp.o
check "the runner" "$build/libpellimunch_simlib.a"
check "the bot" "$build/CMakeFiles/pellimunch-bot.dir/tools/bot/bot.cpp.o"
exit $fail
