#!/usr/bin/env bash
# Builds everything and runs the whole test suite; then the unit tests, the
# runner's tests and the real game's window tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer.
# Installs the Debian packages it needs first. Exits non-zero on any failure.
# PM_BUILD_DIR and PM_ASAN_BUILD_DIR choose the build folders (default build
# and build-asan).
#
#   ./test.sh           everything, as CI runs it
#   ./test.sh --quick   the unit tests and the stored replays, building only
#                       what they need: under a minute
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
pm_install_packages "${PM_TEST_PACKAGES[@]}" "${PM_WINDOWS_TEST_PACKAGES[@]}" "${PM_BOARD_PACKAGES[@]}"

build=${PM_BUILD_DIR:-build}
asan=${PM_ASAN_BUILD_DIR:-build-asan}
jobs=$(nproc 2>/dev/null || echo 2)

echo "== build in $build (-O2 with debug info)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELLIMUNCH_TESTS=ON
if [ $quick = 1 ]; then
    # Only what the unit tests and the stored replays run (tests/CMakeLists.txt).
    cmake --build "$build" -j "$jobs" --target pellimunch_quick
    echo "== unit tests and stored replays"
    (cd "$build" && ctest -j "$jobs" -L 'unit|golden' --output-on-failure)
    exit 0
fi
cmake --build "$build" -j "$jobs"

echo "== tests (the browser's included: WebAssembly runner and the page in headless Chromium)"
(cd "$build" && ctest --output-on-failure)

echo "== sanitizer build in $asan"
cmake -S . -B "$asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELLIMUNCH_SANITIZE=ON -DPELLIMUNCH_TESTS=ON
cmake --build "$asan" -j "$jobs" --target pellimunch_unit_tests pellimunch-sim pellimunch game_data

echo "== unit tests and runner tests under the sanitizers"
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0}
# Every tier's test binary, as the build lists them.
while read -r tests; do
    echo "-- $tests"
    (cd "$asan" && "./$tests" < /dev/null)
done < "$asan/unit_tests.txt"
bash tests/runner/runner_test.sh "$(cd "$asan" && pwd)" "$PWD"

echo "== the real game under the sanitizers, with only the suppressions built into it"
env -u LSAN_OPTIONS bash tests/hosts/sdl/window/window_test.sh "$(cd "$asan" && pwd)" "$PWD"
env -u LSAN_OPTIONS bash tests/hosts/sdl/window/window_records.sh "$(cd "$asan" && pwd)" "$PWD"
env -u LSAN_OPTIONS bash tests/hosts/sdl/window/replay_window_test.sh "$(cd "$asan" && pwd)" "$PWD"
