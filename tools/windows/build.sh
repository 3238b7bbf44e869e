#!/usr/bin/env bash
# Builds the Windows version by cross-compiling with MinGW-w64, and packs it:
# build-windows/pellimunch-<version>-windows-x64.zip holding pellimunch.exe,
# pellimunch-sim.exe, bmp\, wav\ and README.txt.
#
# The pictures, sounds, icon and the title's text atlas are made by the
# native tools first (build-windows/native, or the native build named by
# PM_NATIVE_BUILD_DIR, which is then built but not reconfigured); then the
# game is cross-compiled in build-windows/cross. PM_WINDOWS_BUILD_DIR
# chooses another folder than build-windows.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root"
# shellcheck source=tools/deps.sh
source tools/deps.sh
# shellcheck source=tools/native_tools.sh
source tools/native_tools.sh
pm_install_packages "${PM_RUN_PACKAGES[@]}" "${PM_WINDOWS_PACKAGES[@]}"

out=${PM_WINDOWS_BUILD_DIR:-build-windows}
mkdir -p "$out"
out=$(cd "$out" && pwd)
jobs=2

pm_native_tools "$out" game_data game_icon title_text_atlas

echo "== Windows programs in $out/cross"
cmake -S tools/windows -B "$out/cross" -DCMAKE_TOOLCHAIN_FILE="$root/tools/windows/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DPM_NATIVE_DIR="$native" >/dev/null
cmake --build "$out/cross" -j "$jobs"
# Symbols are for the debugger at home, not the download.
for exe in pellimunch pellimunch-sim; do
    x86_64-w64-mingw32-strip -o "$out/cross/$exe.stripped.exe" "$out/cross/$exe.exe"
done

version=$(sed -n 's/^project(Pellimunch VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=pellimunch-$version-windows-x64
stage=$out/stage/$name
rm -rf "$out/stage"
mkdir -p "$stage"
cp "$out/cross/pellimunch.stripped.exe" "$stage/pellimunch.exe"
cp "$out/cross/pellimunch-sim.stripped.exe" "$stage/pellimunch-sim.exe"
cp -r "$native/bmp" "$native/wav" "$stage/"
# Notepad of old wants CR LF.
sed "s/@VERSION@/$version/; s/\$/\r/" tools/windows/README.txt > "$stage/README.txt"
rm -f "$out/$name.zip"
(cd "$out/stage" && TZ=UTC zip -X -q -r -9 "$out/$name.zip" "$name")
echo "== $out/$name.zip: $(stat -c %s "$out/$name.zip") bytes"
