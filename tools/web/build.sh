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
# shellcheck source=tools/native_tools.sh
source tools/native_tools.sh
# shellcheck source=tools/web/deps.sh
source tools/web/deps.sh
pm_install_packages "${PM_RUN_PACKAGES[@]}"
pm_install_web_packages

out=${PM_WEB_BUILD_DIR:-build-web}
mkdir -p "$out"
out=$(cd "$out" && pwd)
jobs=2

# The atlas source is replaced only when it changes, so an unchanged font
# does not rebuild the game.
pm_native_tools "$out" game_data title_text_atlas pellimunch-icon

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
mkdir -p "$site/icons"
cp "$out/wasm/pellimunch.js" "$out/wasm/pellimunch.wasm" "$out/wasm/pellimunch.data" "$site/"
cp tools/web/page/* "$site/"
# The page's icons, made from the game's own sprite sheet.
"$native/pellimunch-icon" "$native/bmp/main.bmp" "$out/icons" 32 192 512
for size in 32 192 512; do cp "$out/icons/$size/pellimunch.png" "$site/icons/icon-$size.png"; done
# The one a phone crops to its own shape: the ball inside the safe circle.
"$native/pellimunch-icon" --maskable "$native/bmp/main.bmp" "$out/icons" 512
cp "$out/icons/512/pellimunch-maskable.png" "$site/icons/icon-maskable-512.png"
python3 tools/web/finish_site.py "$site"
