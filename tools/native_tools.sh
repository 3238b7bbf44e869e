# shellcheck shell=bash
# The native build whose tools make the pictures, sounds, icon and title
# text atlas that a cross build (the browser's, Windows') packs. Sourced by
# tools/web/build.sh and tools/windows/build.sh, from the repository's root.

# pm_native_tools OUT TARGET...: builds TARGETs in the native build named by
# PM_NATIVE_BUILD_DIR (built, not reconfigured), or else in OUT/native,
# configured here (as ./test.sh builds, whose -O2 gives no false alarms of
# GCC 12 about strings); sets `native` to that build's full path.
pm_native_tools() {
    local out=$1
    shift
    if [ -n "${PM_NATIVE_BUILD_DIR:-}" ]; then
        native=$(cd "$PM_NATIVE_BUILD_DIR" && pwd)
    else
        native=$out/native
        echo "== native tools in $native"
        cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELLIMUNCH_TESTS=OFF >/dev/null
    fi
    cmake --build "$native" -j "${jobs:-2}" --target "$@"
}
