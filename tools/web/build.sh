#!/usr/bin/env bash
# Builds the browser version: one folder of static files, build-web/site/,
# that any static web server can serve (tools/web/serve.sh does, locally).
#
# The pictures, sounds and the title's text atlas are made by the native
# tools first (build-web/native, or the native build named by
# PM_NATIVE_BUILD_DIR, which is then built but not reconfigured); then the
# game is compiled to WebAssembly with emscripten in build-web/wasm.
# PM_WEB_BUILD_DIR chooses another folder than build-web.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root"
# shellcheck source=tools/deps.sh
source tools/deps.sh
# shellcheck source=tools/web/deps.sh
source tools/web/deps.sh
pm_install_packages "${PM_RUN_PACKAGES[@]}"
pm_install_web_packages

out=${PM_WEB_BUILD_DIR:-build-web}
mkdir -p "$out"
out=$(cd "$out" && pwd)
jobs=2

if [ -n "${PM_NATIVE_BUILD_DIR:-}" ]; then
    native=$(cd "$PM_NATIVE_BUILD_DIR" && pwd)
else
    native=$out/native
    echo "== native tools in $native"
    cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=Release -DPELLIMUNCH_TESTS=OFF >/dev/null
fi
# The atlas source is replaced only when it changes, so an unchanged font
# does not rebuild the game.
cmake --build "$native" -j "$jobs" --target game_data title_text_atlas

echo "== WebAssembly in $out/wasm"
emcmake cmake -S tools/web -B "$out/wasm" -DCMAKE_BUILD_TYPE=Release -DPM_NATIVE_DIR="$native" >/dev/null
cmake --build "$out/wasm" -j "$jobs"

# The runner for node, with the data it reads beside it as on the desktop.
sim=$out/sim
rm -rf "$sim"
mkdir -p "$sim"
cp "$out/wasm/pellimunch-sim.js" "$out/wasm/pellimunch-sim.wasm" "$sim/"
cp -r "$native/bmp" "$native/wav" "$sim/"

site=$out/site
rm -rf "$site"
mkdir -p "$site"
cp "$out/wasm/pellimunch.js" "$out/wasm/pellimunch.wasm" "$out/wasm/pellimunch.data" "$site/"
cp tools/web/page/index.html tools/web/page/page.js tools/web/page/page.css "$site/"

raw=$(du -cb "$site"/* | tail -1 | cut -f1)
gz=0
for f in "$site"/*; do gz=$((gz + $(gzip -9c "$f" | wc -c))); done
echo "== $site: $raw bytes, $gz bytes gzipped"
