#!/usr/bin/env bash
# A session left while paused still verifies: in the real window, Shift,
# a run, P, then Escape; and Shift, the focus taken away, then a close
# (SIGTERM, which the window hears as one). Each time last.replay records
# the way out, the runner replays it to that end (exit 0), and the window
# watching it says it ended as recorded. Runs under Xvfb.
# Usage: paused_quit_window_test.sh BUILD_DIR SOURCE_DIR
set -u

build=${1:?usage: paused_quit_window_test.sh BUILD_DIR SOURCE_DIR}
# shellcheck source=../../../support/xvfb.sh
source "$(dirname "$0")/../../../support/xvfb.sh"
pm_need_tools Xvfb xdotool xwininfo || exit 1

pm_scratch paused-quit
work=$WORK
fail() {
    echo "FAIL: $*"
    for f in "$work"/*.err "$work"/*.out; do [ -s "$f" ] && { echo "--- $f:"; head -20 "$f"; }; done
    exit 1
}
pm_copy_game "$build" "$work/prog"
pm_start_xvfb "$work" || exit 1
export SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME="$work/config"

start() {   # NAME ARGS...
    local name=$1
    shift
    "$work/prog/pellimunch" --window "$@" >"$work/$name.out" 2>"$work/$name.err" &
    GAME_PID=$!
    window=$(timeout 20 xdotool search --sync --name '^Pellimunch$' 2>/dev/null | head -n1)
    [ -n "$window" ] || fail "no window appeared ($name)"
    timeout 5 xdotool windowfocus --sync "$window" 2>/dev/null
    sleep 1
}
finish() {   # WHAT: waits for the exit, which must be status 0
    pm_wait_exit "$GAME_PID" 100
    [ "$STATUS" = 0 ] || fail "$1: exit status ${STATUS:-none (still running)}"
}
hold() { xdotool keydown "$1" sleep "$2" keyup "$1"; }
verify() {   # END: last.replay ends that way, and the runner and the window agree
    local last=$work/prog/last.replay
    tail -n1 "$last" | grep -q "^end [0-9]* $1 " || fail "last.replay ends with [$(tail -n1 "$last")], not $1"
    "$build/pellimunch-sim" --replay "$last" --trace none --dir "$build/" >/dev/null 2>"$work/sim.err" ||
        fail "the runner does not verify a session left while paused ($1)"
    start watch --replay last
    hold f 3
    for _ in $(seq 100); do grep -q 'ended at frame' "$work/watch.out" && break; sleep 0.1; done
    grep -q "ended at frame .* ($1," "$work/watch.out" || fail "watching did not end with $1"
    grep -q 'but the file records' "$work/watch.out" && fail "watching says the replay did not play as recorded"
    xdotool key Escape
    finish "leaving the watched replay"
}

# Shift, a run, P, Escape: the Escape reaches no frame.
start escape
hold Shift_L 0.3
hold Right 0.8
xdotool key p
sleep 0.5
xdotool key Escape
finish "Escape while paused"
verify escape

# Shift, the focus taken away (the game pauses), then a close.
start close
hold Shift_L 0.3
hold Right 0.5
xdotool windowfocus "$(xwininfo -root | awk '/Window id:/ {print $4}')"
sleep 0.5
kill -TERM "$GAME_PID"
finish "a close after a focus loss"
verify close

echo "PASS: left while paused with Escape and with a close after a focus loss, each session verifies in the runner and the window"
