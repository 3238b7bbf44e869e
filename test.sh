#!/usr/bin/env bash
# Builds everything and runs the whole test suite; then the unit tests, the
# runner's tests and the real game's window tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer.
# Installs the Debian packages it needs first. Exits non-zero on any failure.
# PM_BUILD_DIR and PM_ASAN_BUILD_DIR choose the build folders (default build
# and build-asan).
#
#   ./test.sh           everything, as CI runs it
#   ./test.sh --quick   the build, the unit tests and the stored replays: seconds
set -euo pipefail

quick=0
case "${1:-}" in
    --quick) quick=1 ;;
    "") ;;
    *) echo "usage: ./test.sh [--quick]" >&2; exit 2 ;;
esac

cd "$(dirname "${BASH_SOURCE[0]}")"
# shellcheck source=tools/deps.sh
source tools/deps.sh
pm_install_packages "${PM_TEST_PACKAGES[@]}"

build=${PM_BUILD_DIR:-build}
asan=${PM_ASAN_BUILD_DIR:-build-asan}
jobs=$(nproc 2>/dev/null || echo 2)

echo "== build in $build (-O2 with debug info)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELLIMUNCH_TESTS=ON
cmake --build "$build" -j "$jobs"

if [ $quick = 1 ]; then
    echo "== unit tests and stored replays"
    (cd "$build" && ctest -j "$jobs" -L 'unit|golden' --output-on-failure)
    exit 0
fi

echo "== tests (the browser's included: WebAssembly runner and the page in headless Chromium)"
(cd "$build" && ctest --output-on-failure)

echo "== sanitizer build in $asan"
cmake -S . -B "$asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELLIMUNCH_SANITIZE=ON -DPELLIMUNCH_TESTS=ON
cmake --build "$asan" -j "$jobs" --target pellimunch_tests pellimunch-sim pellimunch game_data

echo "== unit tests and runner tests under the sanitizers"
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp:print_suppressions=0}
(cd "$asan" && ./pellimunch_tests)
bash tests/runner_test.sh "$(cd "$asan" && pwd)" "$PWD"

echo "== the real game under the sanitizers, with only the suppressions built into it"
env -u LSAN_OPTIONS bash tests/window_test.sh "$(cd "$asan" && pwd)" "$PWD"
env -u LSAN_OPTIONS bash tests/window_records.sh "$(cd "$asan" && pwd)" "$PWD"
env -u LSAN_OPTIONS bash tests/replay_window_test.sh "$(cd "$asan" && pwd)" "$PWD"
