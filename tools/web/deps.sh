# What the browser build and its tests need besides the game's own packages:
# emscripten, Chromium, node and npm. Sourced after tools/deps.sh.
# shellcheck shell=bash

PM_WEB_BUILD_PACKAGES=(emscripten python3)
PM_WEB_TEST_PACKAGES=(chromium python3)

# Installs what building needs, and with "test" what the tests need too.
# node and npm may come from another source than Debian's packages (a newer
# node bundles its own npm, and Debian's npm would conflict with it): only a
# missing command is installed.
pm_install_web_packages() {
    pm_install_packages "${PM_WEB_BUILD_PACKAGES[@]}" || return 1
    if [ "${1:-}" = test ]; then
        pm_install_packages "${PM_WEB_TEST_PACKAGES[@]}" || return 1
    fi
    local want=()
    command -v node >/dev/null 2>&1 || want+=(nodejs)
    command -v npm >/dev/null 2>&1 || want+=(npm)
    if [ ${#want[@]} -gt 0 ]; then
        pm_install_packages "${want[@]}" || return 1
    fi
    local major
    major=$(node -p 'process.versions.node.split(".")[0]' 2>/dev/null || echo 0)
    if [ "$major" -lt 18 ]; then
        echo "pellimunch: node 18 or newer is needed for the browser build (found $(node --version 2>/dev/null || echo none))" >&2
        return 1
    fi
}

# This emscripten's optimiser needs node's global modules (acorn) on the path.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
