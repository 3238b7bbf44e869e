#!/usr/bin/env bash
# Builds the Debian packages: pellimunch_<version>_<arch>.deb and its debug
# symbols, pellimunch-dbgsym_<version>_<arch>.ddeb, and the world score
# table's pellimunch-board_<version>_<arch>.deb (packaging/build_board_deb.sh),
# in BUILD_DIR (default build-deb in the source folder), a build of its own
# laid out for the package with Debian's build flags. Installs the Debian
# packages the build needs first. Prints the board's package's path, the
# debug package's, then the game's package's last.
# JOBS sets how many compilers run at once (default: one per processor).
# The build is reproducible: SOURCE_DATE_EPOCH (default: the time of the last
# commit) dates everything in it, and the folders it was built in leave no
# trace, so the same source gives the same bytes wherever it is built.
#
#   packaging/build_deb.sh [BUILD_DIR]
set -euo pipefail

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$source_dir/build-deb}
if [ $# -gt 1 ]; then
    echo "usage: packaging/build_deb.sh [BUILD_DIR]" >&2
    exit 2
fi
# shellcheck source=tools/deps.sh
source "$source_dir/tools/deps.sh"
pm_install_packages "${PM_PACKAGE_PACKAGES[@]}" "${PM_BOARD_PACKAGES[@]}"

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$source_dir" log -1 --format=%ct 2>/dev/null) ||
        SOURCE_DATE_EPOCH=$(stat -c %Y "$source_dir/CMakeLists.txt")
fi
export SOURCE_DATE_EPOCH
# Whatever the caller's locale and mask, the package is the same.
export LC_ALL=C.UTF-8 TZ=UTC
umask 022

mkdir -p "$build"
build=$(cd "$build" && pwd)
cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPELLIMUNCH_PACKAGE=ON -DPELLIMUNCH_TESTS=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-$(nproc 2>/dev/null || echo 2)}" --target pellimunch game_data game_icon pellimunch-board
rm -f "$build"/pellimunch_*.deb "$build"/pellimunch-dbgsym_*.ddeb "$build"/pellimunch-board_*.deb
bash "$source_dir/packaging/build_board_deb.sh" "$build"
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || {
    echo "build_deb: cpack failed; the end of $build/cpack.log:" >&2
    tail -n 20 "$build/cpack.log" >&2
    exit 1
}
# CPack dates the debug package by the clock, not by SOURCE_DATE_EPOCH, and
# names its files in md5sums by their path in the build folder: pack it again
# with dpkg-deb, its sums by the installed path, its files dated like the rest.
ddeb=$(ls "$build"/pellimunch-dbgsym_*.ddeb)
repack=$(mktemp -d)
trap 'rm -rf "$repack"' EXIT
dpkg-deb -R "$ddeb" "$repack/root"
(cd "$repack/root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$repack/root/DEBIAN/md5sums"
find "$repack/root" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
dpkg-deb --root-owner-group -Zgzip -b "$repack/root" "$ddeb" >/dev/null
echo "$ddeb"
deb=$(ls "$build"/pellimunch_*.deb)
echo "$deb"
