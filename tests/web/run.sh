#!/usr/bin/env bash
# The browser version's tests. Builds it (tools/web/build.sh) with the data
# and the text atlas of the native build given (default build/), then:
#   - the WebAssembly runner under node on every stored replay, against the
#     stored hashes of the native runner's traces;
#   - the page in headless Chromium (page.test.mjs), then on phones, tablets
#     and desktops, installed and offline (device.test.mjs; its screenshots
#     go to build-web/shots/).
# Installs what it needs (emscripten, chromium, node, npm; puppeteer-core with
# npm ci) and fails, never skips, when something is missing.
# Usage: tests/web/run.sh [NATIVE_BUILD_DIR]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
native=$(cd "${1:-$root/build}" && pwd)
web=${PM_WEB_BUILD_DIR:-$root/build-web}
cd "$root"
# shellcheck source=tools/deps.sh
source tools/deps.sh
# shellcheck source=tools/web/deps.sh
source tools/web/deps.sh
pm_install_web_packages test

for tool in pellimunch-sim pellimunch-textatlas; do
    if [ ! -x "$native/$tool" ]; then
        echo "pellimunch: $native/$tool is missing: build the native game first" >&2
        exit 1
    fi
done

echo "== browser build"
PM_NATIVE_BUILD_DIR=$native PM_WEB_BUILD_DIR=$web bash tools/web/build.sh

echo "== the WebAssembly runner on the stored replays"
python3 tests/web/wasm_replays.py "$web/sim/pellimunch-sim.js"

echo "== the page in headless Chromium"
(cd tests/web && npm ci --no-audit --no-fund --loglevel=error)
PM_WEB_SITE=$web/site PM_NATIVE_SIM=$native/pellimunch-sim PM_WEB_FIGURES=$web/figures.json \
    node --test tests/web/page.test.mjs
PM_WEB_SITE=$web/site PM_NATIVE_SIM=$native/pellimunch-sim node --test tests/web/records.test.mjs
echo "== the page on phones, tablets and desktops"
PM_WEB_SITE=$web/site PM_NATIVE_SIM=$native/pellimunch-sim PM_WEB_SHOTS=$web/shots \
    node --test tests/web/device.test.mjs

# The world table beside the game, where the native build has the board.
if [ -x "$native/pellimunch-board" ]; then
    echo "== the world table's page and the game with a board, in headless Chromium"
    PM_WEB_SITE=$web/site PM_BOARD=$native/pellimunch-board node --test tests/board/page.test.mjs
    echo "== the daily run and its ghost, with a board, in headless Chromium"
    PM_WEB_SITE=$web/site PM_BOARD=$native/pellimunch-board PM_WEB_FIGURES=$web/figures.json \
        node --test tests/board/daily_page.test.mjs
fi
