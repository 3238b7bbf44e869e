#!/usr/bin/env bash
# The game on a real X server as a player meets it, with and without a
# window manager: full screen shows the whole picture (the status line to
# its right end), Alt+Enter gives a window that shows it whole too, P and a
# lost focus pause it (the count of frames played stands still, as SIGUSR1
# reports it), a paused game quits on Escape, a 10 ms tap of Escape quits,
# and the settings are remembered, a broken settings file only warned about.
# Usage: desktop_window_test.sh BUILD_DIR SOURCE_DIR
set -u

build=${1:?usage: desktop_window_test.sh BUILD_DIR SOURCE_DIR}

# shellcheck source=../../../support/xvfb.sh
source "$(dirname "$0")/../../../support/xvfb.sh"
pm_need_tools Xvfb xdotool import convert openbox xwininfo || exit 1
for need in "$build/pellimunch" "$build/bmp" "$build/wav"; do
    [ -e "$need" ] || { echo "FAIL: $need is missing: build the game and its data first"; exit 1; }
done

pm_scratch desktop
work=$WORK
wm_pid=
cleanup() {
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
    pm_scratch_cleanup
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    [ -s "$work/game.err" ] && { echo "--- game's stderr:"; cat "$work/game.err"; }
    exit 1
}

mkdir -p "$work/config"
pm_copy_game "$build" "$work/prog"
export XDG_CONFIG_HOME="$work/config"
settings="$work/config/pellimunch/settings.ini"

# An X server of 1280 x 800 on a free display, optionally with openbox.
start_x() {
    pm_start_xvfb "$work" 1280x800x24 || exit 1
    : >"$work/display"
}
start_wm() {
    openbox --sm-disable >"$work/wm.log" 2>&1 &
    wm_pid=$!
    for _ in $(seq 50); do
        xwininfo -root -children 2>/dev/null | grep -q 'Openbox' && break
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.1
    done
    sleep 0.3
}
stop_x() {
    [ -n "$wm_pid" ] && { kill "$wm_pid" 2>/dev/null; wait "$wm_pid" 2>/dev/null; wm_pid=; }
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=
}

start_game() {
    : >"$work/game.err"
    rm -f "$work/prog/score.dat"
    SDL_AUDIODRIVER=dummy "$work/prog/pellimunch" "$@" 2>"$work/game.err" &
    GAME_PID=$!
    window=$(timeout 20 xdotool search --sync --name '^Pellimunch$' 2>/dev/null | head -n1)
    [ -n "$window" ] || fail "no window titled Pellimunch appeared within 20 s"
    # Until the first frames are up.
    for _ in $(seq 50); do
        [ "$(frames)" -gt 5 ] && break
        sleep 0.1
    done
    timeout 5 xdotool windowfocus --sync "$window" 2>/dev/null
}

# Frames the game has played so far, from its answer to SIGUSR1.
frames() {
    kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended by itself"
    local before
    before=$(grep -c 'frames played' "$work/game.err")
    kill -USR1 "$GAME_PID"
    for _ in $(seq 50); do
        [ "$(grep -c 'frames played' "$work/game.err")" -gt "$before" ] && break
        sleep 0.02
    done
    grep 'frames played' "$work/game.err" | tail -n1 | awk '{print $2}'
}

# The game's exit status once it has gone (within 10 s), or a failure.
wait_exit() {
    pm_wait_exit "$GAME_PID" 100
    local status=$STATUS
    [ -n "$status" ] && GAME_PID=
    [ -n "$status" ] || fail "the game did not quit within 10 s ($1)"
    [ "$status" -eq 0 ] || fail "the game exited with status $status ($1)"
    [ -f "$work/prog/score.dat" ] || fail "no score.dat was written ($1)"
}

geometry() { xdotool getwindowgeometry "$window" | awk '/Geometry/ {print $2}'; }

# Fraction of lit pixels (brighter than THRESHOLD, 3% by default) in the
# game rectangle x0,y0 - x1,y1 of the shot, the 800 x 600 picture being
# scaled to fit it, keeping 4:3, centred.
lit() {
    local x0=$1 y0=$2 x1=$3 y1=$4 threshold=${5:-3%} w h
    read -r w h < <(convert "$work/shot.png" -format '%w %h\n' info:)
    local geometry
    geometry=$(awk -v w="$w" -v h="$h" -v x0="$x0" -v y0="$y0" -v x1="$x1" -v y1="$y1" 'BEGIN {
        s = w / 800; if (h / 600 < s) s = h / 600
        ox = int((w - 800 * s) / 2); oy = int((h - 600 * s) / 2)
        printf "%dx%d+%d+%d\n", (x1 - x0) * s, (y1 - y0) * s, ox + x0 * s, oy + y0 * s }')
    convert "$work/shot.png" -crop "$geometry" +repage -colorspace gray -threshold "$threshold" \
        -format '%[fx:mean]\n' info:
}

# The title's picture is whole: the ground to its right end, and the status
# line's left (LEVEL) and right (the high score's digits) ends.
check_whole() {
    local what=$1 target=$2 ground_end level high
    import -window "$target" "$work/shot.png" || fail "cannot take a screenshot ($what)"
    ground_end=$(lit 760 470 799 505)
    level=$(lit 8 520 140 560)
    high=$(lit 680 530 770 572)
    echo "$what: $(convert "$work/shot.png" -format '%wx%h' info:), lit: ground's end $ground_end, LEVEL $level, high score $high"
    awk -v g="$ground_end" -v l="$level" -v h="$high" 'BEGIN { exit !(g >= 0.5 && l >= 0.05 && h >= 0.05) }' ||
        fail "the picture is not whole ($what)"
}

# Paused: the count stands still over a second.
check_paused() {
    local what=$1 a b
    sleep 0.3
    a=$(frames)
    sleep 1
    b=$(frames)
    echo "$what: $a frames, a second later $b"
    [ "$a" = "$b" ] || fail "frames went on while paused ($what: $a, then $b)"
    grep 'frames played' "$work/game.err" | tail -n1 | grep -q 'paused' || fail "the game does not say it is paused ($what)"
}
check_playing() {
    local what=$1 a b
    a=$(frames)
    sleep 0.5
    b=$(frames)
    [ "$b" -gt "$a" ] || fail "the game does not play ($what: $a, then $b)"
}

# ---- No window manager ------------------------------------------------------
start_x
start_game
[ "$(geometry)" = "1280x800" ] || fail "full screen without a window manager is $(geometry), not 1280x800"
check_whole "full screen, no window manager" root

# P as a tap with no time between press and release. The band across the
# middle goes dark but for the notice's bright letters.
import -window root "$work/shot.png"
band_before=$(lit 100 250 700 340 20%)
xdotool key --window "$window" --delay 0 p
check_paused "P"
import -window root "$work/shot.png"
band=$(lit 100 250 700 340 20%)
letters=$(lit 300 255 500 300 60%)
echo "the band across the middle: $band_before lit before, $band while paused, the notice $letters"
awk -v a="$band_before" -v b="$band" -v l="$letters" 'BEGIN { exit !(b < a / 2 && l > 0.02) }' ||
    fail "no notice over a darkened picture while paused"
xdotool keydown p sleep 0.01 keyup p
check_playing "P again"

# The focus goes to the root window: paused until P.
root=$(xwininfo -root | awk '/Window id:/ {print $4}')
xdotool windowfocus "$root"
check_paused "focus lost"
xdotool windowfocus --sync "$window"
check_paused "focus back, nothing pressed"
xdotool key p
check_playing "P after the focus came back"

# Alt+Enter: a window of 800 x 600 with the picture whole, and back.
xdotool key alt+Return
sleep 1
[ "$(geometry)" = "800x600" ] || fail "Alt+Enter without a window manager gave $(geometry), not 800x600"
check_whole "window, no window manager" "$window"
grep -q '^fullscreen = no' "$settings" || fail "the window was not remembered"
xdotool key alt+Return
sleep 1
[ "$(geometry)" = "1280x800" ] || fail "the second Alt+Enter gave $(geometry), not 1280x800"
check_whole "full screen again" root
check_playing "after Alt+Enter twice"

# A 10 ms tap of Escape quits.
xdotool windowfocus --sync "$window"
xdotool keydown Escape sleep 0.01 keyup Escape
wait_exit "a 10 ms tap of Escape"
echo "a 10 ms tap of Escape quit"

# ---- Openbox ----------------------------------------------------------------
start_wm
start_game
[ "$(geometry)" = "1280x800" ] || fail "full screen under openbox is $(geometry), not 1280x800"
check_whole "full screen, openbox" root
xdotool key alt+Return
sleep 1
[ "$(geometry)" = "800x600" ] || fail "Alt+Enter under openbox gave $(geometry), not 800x600"
check_whole "window, openbox" "$window"
check_playing "after Alt+Enter under openbox"

# Minimised: paused; shown again it waits for P. Openbox, still busy with
# the change of size, now and then drops the request without iconifying the
# window: it is asked again until the window manager says it is iconic, so a
# game that plays on is the game's fault, not the request's. Should openbox
# never iconify it, the minimised case is said to be untested this run (the
# unit test SdlHostRig.AHiddenWindowPausesWhateverTheFocusDoes still holds
# the host to it) rather than blamed on the game.
iconic() { xprop -id "$window" WM_STATE 2>/dev/null | grep -q 'window state: Iconic'; }
for _ in 1 2 3 4 5; do
    xdotool windowminimize --sync "$window"
    sleep 1
    iconic && break
done
if iconic; then
    check_paused "minimised"
    xdotool windowactivate --sync "$window" 2>/dev/null
    sleep 0.3
    check_paused "shown again"
    xdotool key p
    check_playing "P after being shown again"
else
    echo "NOTE: openbox never iconified the window this run; the minimised case went untested"
    xdotool windowactivate --sync "$window" 2>/dev/null
    sleep 0.3
    # Whatever the game made of the request, it plays on after P when paused.
    a=$(frames); sleep 0.5; b=$(frames)
    [ "$a" = "$b" ] && xdotool key p
    check_playing "after the dropped request"
fi

# A paused game quits on Escape with the usual save.
xdotool key p
check_paused "P under openbox"
xdotool key Escape
wait_exit "Escape while paused"
echo "Escape quit the paused game"
stop_x

# ---- Settings -----------------------------------------------------------------
start_x
rm -f "$settings"
start_game --window --volume 40 --mute
[ "$(geometry)" = "800x600" ] || fail "--window gave $(geometry)"
kill -TERM "$GAME_PID"
wait_exit "SIGTERM"
expected=$(printf '%s\n' '[window]' 'fullscreen = no' 'scale = 1' '[sound]' 'volume = 40' 'mute = yes')
[ "$(grep -v '^#' "$settings")" = "$expected" ] || fail "settings.ini holds $(cat "$settings")"

printf '[window]\nfullscreen = no\nscale = huge\n' >"$settings"
start_game
[ "$(geometry)" = "800x600" ] || fail "the good line of a broken settings file was not kept ($(geometry))"
warnings=$(grep -c 'settings.ini' "$work/game.err")
[ "$warnings" -eq 1 ] || fail "expected one warning naming settings.ini, got $warnings"
grep -q 'settings.ini: line 3: bad value "huge" for scale' "$work/game.err" || fail "the warning does not say where"
xdotool key Escape
wait_exit "Escape after a broken settings file"
stop_x

echo "PASS: whole picture with and without a window manager, Alt+Enter, pause by key and focus, quits while paused and on a 10 ms tap, settings remembered and a broken file warned about"
