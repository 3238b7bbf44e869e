# Shared pieces of the tests that run the real game under a virtual X
# server. Source it; it defines functions only.
# shellcheck shell=bash

# Starts Xvfb (SCREEN default 800x600x24) with its files in WORKDIR, waits
# until it has picked a free display, exports DISPLAY and sets XVFB_PID.
# Returns 1 with a message when it does not come up.
pm_start_xvfb() {   # WORKDIR [SCREEN]
    local work=$1 screen=${2:-800x600x24}
    # A display file left by an earlier server would be read before the new
    # one has its number (the redirection below happens in the child).
    rm -f "$work/display"
    Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.err" &
    XVFB_PID=$!
    for _ in $(seq 100); do
        [ -s "$work/display" ] && break
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    if [ ! -s "$work/display" ]; then
        echo "FAIL: Xvfb did not start: $(cat "$work/xvfb.err")"
        return 1
    fi
    export DISPLAY=":$(head -n1 "$work/display")"
}

# A program folder of its own: the game and its data, no score.dat.
pm_copy_game() {   # BUILD_DIR DEST
    mkdir -p "$2"
    cp "$1/pellimunch" "$2/"
    cp -r "$1/bmp" "$1/wav" "$2/"
}

# Fails unless every named tool is installed.
pm_need_tools() {   # TOOL...
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || { echo "FAIL: $tool is not installed"; return 1; }
    done
}

# Waits up to TENTHS tenths of a second for process PID to end; sets STATUS
# to its exit status, or leaves it empty when it is still running.
pm_wait_exit() {   # PID TENTHS
    STATUS=
    for _ in $(seq "$2"); do
        if ! kill -0 "$1" 2>/dev/null; then
            wait "$1"
            STATUS=$?
            return 0
        fi
        sleep 0.1
    done
}

# A scratch folder in WORK, removed on exit together with the game
# (GAME_PID) and the X server (XVFB_PID) if they still run.
pm_scratch() {   # NAME
    WORK=$(mktemp -d "/tmp/pellimunch-$1.XXXXXX")
    GAME_PID=
    XVFB_PID=
    trap pm_scratch_cleanup EXIT
}
pm_scratch_cleanup() {
    [ -n "$GAME_PID" ] && kill -KILL "$GAME_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    wait 2>/dev/null
    chmod -R u+rwX "$WORK" 2>/dev/null
    rm -rf "$WORK"
}
