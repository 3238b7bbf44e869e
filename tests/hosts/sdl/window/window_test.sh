#!/usr/bin/env bash
# The real game in a real X server: it opens its window, shows the title with
# the ground strip at y 467 over a black background, quits on Escape with exit
# status 0 and writes score.dat. Runs under Xvfb with an 800 x 600 screen.
# Usage: window_test.sh BUILD_DIR SOURCE_DIR
set -u

build=${1:?usage: window_test.sh BUILD_DIR SOURCE_DIR}

# shellcheck source=../../../support/xvfb.sh
source "$(dirname "$0")/../../../support/xvfb.sh"
pm_need_tools Xvfb xdotool import convert || exit 1
for need in "$build/pellimunch" "$build/bmp" "$build/wav"; do
    if [ ! -e "$need" ]; then
        echo "FAIL: $need is missing: build the game and its data first"
        exit 1
    fi
done

pm_scratch window
work=$WORK

fail() {
    echo "FAIL: $*"
    [ -s "$work/game.err" ] && { echo "--- game's stderr:"; cat "$work/game.err"; }
    exit 1
}

# The program folder: the game with its data, and no score.dat yet.
pm_copy_game "$build" "$work/prog"

pm_start_xvfb "$work" || exit 1

# Settings of its own, not the player's.
XDG_CONFIG_HOME="$work/config" SDL_AUDIODRIVER=dummy "$work/prog/pellimunch" 2>"$work/game.err" &
GAME_PID=$!

window=$(timeout 20 xdotool search --sync --name '^Pellimunch$' 2>/dev/null | head -n1)
[ -n "$window" ] || fail "no window titled Pellimunch appeared within 20 s"
# Where a game pixel lands on the screen: the 800 x 600 picture is scaled to
# fit, keeping 4:3, and centred.
placement() {
    read -r screen_w screen_h < <(convert "$work/shot.png" -format '%w %h\n' info:)
    read -r scale off_x off_y < <(awk -v w="$screen_w" -v h="$screen_h" 'BEGIN {
        s = w / 800; if (h / 600 < s) s = h / 600
        printf "%f %d %d\n", s, (w - 800 * s) / 2, (h - 600 * s) / 2 }')
}

# Fraction of non-black pixels in the game rows y0..y1 (exclusive), x0..x1.
lit_fraction() {
    local x0=$1 y0=$2 x1=$3 y1=$4
    local geometry
    geometry=$(awk -v s="$scale" -v ox="$off_x" -v oy="$off_y" -v x0="$x0" -v y0="$y0" -v x1="$x1" -v y1="$y1" \
        'BEGIN { w = int((x1 - x0) * s); h = int((y1 - y0) * s); if (w < 1) w = 1; if (h < 1) h = 1
                 printf "%dx%d+%d+%d\n", w, h, ox + int(x0 * s), oy + int(y0 * s) }')
    convert "$work/shot.png" -crop "$geometry" +repage -colorspace gray -threshold 3% \
        -format '%[fx:mean]\n' info:
}

# Screenshots until the title is up (the window may take a moment to reach
# its full-screen size and show its first frames), for at most 15 s.
ground=0
for _ in $(seq 30); do
    sleep 0.5
    kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended by itself"
    import -window root "$work/shot.png" || fail "cannot take a screenshot"
    placement
    ground=$(lit_fraction 0 467 799 509)
    awk -v g="$ground" 'BEGIN { exit !(g >= 0.5) }' && break
done
sky=$(lit_fraction 0 290 200 310)
sky_right=$(lit_fraction 600 290 800 310)
above_ground=$(lit_fraction 0 425 800 460)
echo "screen ${screen_w}x${screen_h}, scale $scale; lit: ground $ground, y 290-310 left $sky right $sky_right, y 425-460 $above_ground"

awk -v g="$ground" 'BEGIN { exit !(g >= 0.5) }' || fail "the ground strip at y 467 is mostly black ($ground lit)"
# The background is black but for a few drifting specks.
for f in "$sky" "$sky_right" "$above_ground"; do
    awk -v f="$f" 'BEGIN { exit !(f <= 0.05) }' || fail "the background above the ground is not black ($f lit)"
done

# Escape, held long enough for a frame to read it.
timeout 5 xdotool windowfocus --sync "$window" 2>/dev/null
xdotool keydown Escape
sleep 0.5
xdotool keyup Escape

status=
for _ in $(seq 100); do
    if ! kill -0 "$GAME_PID" 2>/dev/null; then
        wait "$GAME_PID"
        status=$?
        GAME_PID=
        break
    fi
    sleep 0.1
done
[ -n "$status" ] || fail "the game did not quit within 10 s of Escape"
[ "$status" -eq 0 ] || fail "the game exited with status $status"

[ -f "$work/prog/score.dat" ] || fail "no score.dat was written"
expected=$(printf ' 1000 \r\n' | od -An -tx1)
actual=$(od -An -tx1 "$work/prog/score.dat")
[ "$actual" = "$expected" ] || fail "score.dat holds [$actual], expected [$expected]"

echo "PASS: window shown, title drawn, Escape quit with status 0, score.dat written"
