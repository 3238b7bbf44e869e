# Installs the Debian packages the game needs to build, run and be tested.
# Sourced by run.sh and test.sh; defines pm_install_packages and the lists.
# shellcheck shell=bash

# Building and running the game.
PM_RUN_PACKAGES=(
    build-essential cmake pkg-config
    libsdl2-dev libsdl2-ttf-dev libfontconfig1-dev fontconfig fonts-ipafont-gothic
)
# Making the Debian package (packaging/build_deb.sh): dpkg-shlibdeps and the
# file type probe cpack needs to list the libraries the game links.
PM_PACKAGE_PACKAGES=(
    "${PM_RUN_PACKAGES[@]}"
    dpkg-dev file
)
# The Windows version (tools/windows/build.sh): the MinGW-w64 cross
# compiler, its tools (windres, strip, objdump), the zip; and Wine to test it.
PM_WINDOWS_PACKAGES=(
    g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64 zip python3
)
PM_WINDOWS_TEST_PACKAGES=(
    "${PM_WINDOWS_PACKAGES[@]}"
    wine wine64 xvfb xauth xdotool x11-utils imagemagick unzip
)
# Everything the test suite uses besides: unit tests, benchmarks, the real
# window under a virtual X server with and without a window manager, picture
# tools, scripts, the sanitizers, Debian's own checks of the package
# (hardening-check comes with devscripts, a few small Perl packages without
# its recommendations).
PM_TEST_PACKAGES=(
    "${PM_RUN_PACKAGES[@]}"
    libgtest-dev googletest libbenchmark-dev
    xvfb xauth xdotool x11-apps x11-utils openbox imagemagick python3
    clang libclang-rt-14-dev
    dpkg-dev file lintian appstream desktop-file-utils devscripts
)
# The world score table's server (src/board) and its tests: the HTTP, JSON,
# SQLite, PostgreSQL, SHA-256 and Unicode libraries it is built from, a
# PostgreSQL server for the tests to start, and wrk for the load figures.
PM_BOARD_PACKAGES=(
    libcpp-httplib-dev nlohmann-json3-dev libsqlite3-dev libpqxx-dev nettle-dev libicu-dev libcli11-dev
    postgresql sqlite3 wrk
)

# Prints the packages of the arguments that are not installed.
pm_missing_packages() {
    local p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            echo "$p"
        fi
    done
}

# Installs whichever of the given packages are missing: with apt-get as root,
# through sudo otherwise. Says which packages to install when it cannot.
pm_install_packages() {
    if ! command -v dpkg-query >/dev/null 2>&1 || ! command -v apt-get >/dev/null 2>&1; then
        echo "pellimunch: no apt-get here; make sure these Debian packages (or their equivalents) are installed:" >&2
        echo "  $*" >&2
        return 0   # let the build itself tell what is missing
    fi
    local missing
    missing=$(pm_missing_packages "$@" | tr '\n' ' ')
    missing=${missing% }
    [ -z "$missing" ] && return 0

    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null 2>&1; then
            echo "pellimunch: missing packages: $missing" >&2
            echo "pellimunch: not root and no sudo; install them with: apt-get install $missing" >&2
            return 1
        fi
        sudo=(sudo)
    fi
    echo "pellimunch: installing $missing" >&2
    # shellcheck disable=SC2086  # the list is meant to split into words
    if ! "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 update -q ||
        ! "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -q --no-install-recommends $missing; then
        echo "pellimunch: could not install: $missing" >&2
        echo "pellimunch: install them by hand (apt-get install $missing) and run this again" >&2
        return 1
    fi
    missing=$(pm_missing_packages "$@" | tr '\n' ' ')
    if [ -n "${missing% }" ]; then
        echo "pellimunch: still missing after the install: $missing" >&2
        return 1
    fi
}
