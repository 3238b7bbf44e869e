#!/usr/bin/env bash
# Builds the Debian package: pellimunch_<version>_<arch>.deb in BUILD_DIR
# (default build-deb in the source folder), a build of its own laid out for
# the package. Installs the Debian packages the build needs first. Prints the
# package's path last.
# JOBS sets how many compilers run at once (default: one per processor).
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
pm_install_packages "${PM_PACKAGE_PACKAGES[@]}"

cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPELLIMUNCH_PACKAGE=ON -DPELLIMUNCH_TESTS=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-$(nproc 2>/dev/null || echo 2)}"
build=$(cd "$build" && pwd)
rm -f "$build"/pellimunch_*.deb
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || {
    echo "build_deb: cpack failed; the end of $build/cpack.log:" >&2
    tail -n 20 "$build/cpack.log" >&2
    exit 1
}
deb=$(ls "$build"/pellimunch_*.deb)
echo "$deb"
