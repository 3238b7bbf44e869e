#!/usr/bin/env bash
# Builds the game (installing the Debian packages it needs) and starts it.
# Arguments are passed on to the game.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")"
# shellcheck source=tools/deps.sh
source tools/deps.sh
pm_install_packages "${PM_RUN_PACKAGES[@]}"

if [ -f build/CMakeCache.txt ]; then
    cmake -S . -B build >/dev/null
else
    # The tests need more packages; ./test.sh turns them on.
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELLIMUNCH_TESTS=OFF >/dev/null
fi
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target pellimunch game_data
exec build/pellimunch "$@"
