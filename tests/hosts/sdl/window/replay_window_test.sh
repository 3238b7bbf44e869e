#!/usr/bin/env bash
# A session played in the real window is recorded, and its replay gives the
# same end in the runner and in the window: start, run, jump, the special
# move, give the run up, the game over sets a new record, back to the title,
# Escape. Then last.replay and best.replay are replayed by the runner, and
# last.replay is watched in the window (fast-forwarded), which must report
# the same end, on screen too: a band saying it is a replay while it runs,
# and a notice of how it ended at its end. Runs under Xvfb. Usage: replay_window_test.sh BUILD_DIR SOURCE_DIR
set -u

build=${1:?usage: replay_window_test.sh BUILD_DIR SOURCE_DIR}
# shellcheck source=../../../support/xvfb.sh
source "$(dirname "$0")/../../../support/xvfb.sh"
pm_need_tools Xvfb xdotool import convert || exit 1

pm_scratch replay
work=$WORK
fail() {
    echo "FAIL: $*"
    for f in "$work"/*.err "$work"/*.out; do [ -s "$f" ] && { echo "--- $f:"; head -20 "$f"; }; done
    exit 1
}

pm_copy_game "$build" "$work/prog"
# A stored record below any score, so the run's game over sets a new one
# whatever the clock's seed brings.
printf ' -1 \r\n' > "$work/prog/score.dat"

pm_start_xvfb "$work" || exit 1
export SDL_AUDIODRIVER=dummy

hold() {   # key seconds
    xdotool keydown "$1"
    sleep "$2"
    xdotool keyup "$1"
}
wait_exit() {   # seconds; sets status
    pm_wait_exit "$GAME_PID" $(($1 * 10))
    status=$STATUS
    [ -n "$status" ] && GAME_PID=
}

# ---- 1. Play and record ------------------------------------------------------
"$work/prog/pellimunch" >"$work/play.out" 2>"$work/play.err" &
GAME_PID=$!
window=$(timeout 20 xdotool search --sync --name '^Pellimunch$' 2>/dev/null | head -n1)
[ -n "$window" ] || fail "no window appeared"
timeout 5 xdotool windowfocus --sync "$window" 2>/dev/null
sleep 1
hold Shift_L 0.3
hold Right 1.0
hold space 0.3
hold Right 0.5
hold Up 0.2
sleep 0.5
hold Delete 0.2
# The game over counts up and hands back to the title.
sleep 6
hold Escape 0.3
wait_exit 10
[ "$status" = 0 ] || fail "the game did not quit with status 0 (status ${status:-none})"
for f in last best; do
    [ -s "$work/prog/$f.replay" ] || fail "no $f.replay beside score.dat"
done
head -3 "$work/prog/last.replay" | grep -q '^pellimunch-replay 1$' || fail "last.replay does not name its format"
recorded=$(tail -n1 "$work/prog/last.replay")
echo "recorded: $recorded; best.replay: $(tail -n1 "$work/prog/best.replay")"
read -r _ rec_frames rec_end rec_score <<<"$recorded"
[ "$rec_end" = escape ] || fail "last.replay should end with escape: $recorded"
grep -q 'LShift' "$work/prog/last.replay" || fail "the Shift press is not in the replay"
grep -q 'Delete' "$work/prog/last.replay" || fail "the Delete press is not in the replay"

# ---- 2. The runner replays both files to their recorded ends --------------------
sim_end=$("$build/pellimunch-sim" --replay "$work/prog/last.replay" --trace none --dir "$build/" 2>"$work/sim.err") ||
    fail "the runner does not replay last.replay to its recorded end"
echo "runner: $sim_end"
[ "$sim_end" = "{\"frame\":$rec_frames,\"end\":\"escape\",\"HighScore\":$rec_score}" ] ||
    fail "the runner's end line $sim_end differs from the recorded end $recorded"
"$build/pellimunch-sim" --replay "$work/prog/best.replay" --trace none --dir "$build/" >/dev/null 2>"$work/best.err" ||
    fail "the runner does not replay best.replay to its recorded end"

# ---- 3. Watched in the window: the same end --------------------------------------
"$work/prog/pellimunch" --replay last >"$work/watch.out" 2>"$work/watch.err" &
GAME_PID=$!
window=$(timeout 20 xdotool search --sync --name '^Pellimunch$' 2>/dev/null | head -n1)
[ -n "$window" ] || fail "no window appeared for the replay"
timeout 5 xdotool windowfocus --sync "$window" 2>/dev/null
# The screen says it is a replay: REPLAY in yellow at the top left.
yellow() {   # WxH+X+Y of the 800 x 600 screen: the share of yellow pixels
    convert "$work/shot.png" -crop "$1" +repage -fx '(r > 0.8 && g > 0.7 && b < 0.5) ? 1 : 0' -format '%[fx:mean]' info:
}
sleep 1
import -window root "$work/shot.png" || fail "cannot take a screenshot"
band=$(yellow 60x18+0+0)
echo "watching: $band of the top left corner is yellow"
awk -v b="$band" 'BEGIN { exit !(b > 0.05) }' || fail "no REPLAY at the top left while watching"
xdotool keydown f
for _ in $(seq 300); do
    grep -q 'ended at frame' "$work/watch.out" && break
    sleep 0.1
done
xdotool keyup f
grep -q 'ended at frame' "$work/watch.out" || fail "the watched replay did not end within 30 s"
kill -0 "$GAME_PID" 2>/dev/null || fail "the window closed at the replay's end instead of holding its last frame"
# The end notice: REPLAY OVER in large yellow letters across the middle, and
# "as recorded" in green under it.
sleep 0.5
import -window root "$work/shot.png" || fail "cannot take a screenshot"
over=$(yellow 400x50+200+210)
green=$(convert "$work/shot.png" -crop 200x20+300+300 +repage -fx '(g > 0.7 && r < 0.5 && b < 0.5) ? 1 : 0' -format '%[fx:mean]' info:)
echo "the end: $over of the title's place is yellow, $green of the verdict's green"
awk -v o="$over" -v g="$green" 'BEGIN { exit !(o > 0.05 && g > 0.01) }' || fail "no end notice saying the replay went as recorded"
hold Escape 0.3
wait_exit 10
[ "$status" = 0 ] || fail "watching did not quit with status 0"
note=$(cat "$work/watch.out")
echo "window: $note"
[ "$note" = "pellimunch: replay $work/prog/last.replay ended at frame $rec_frames (escape, high score $rec_score)" ] ||
    fail "the window's note differs from the recorded end $recorded"
[ "$(od -An -c "$work/prog/score.dat" | tr -d ' ')" = "$(printf ' %s \r\n' "$rec_score" | od -An -c | tr -d ' ')" ] ||
    fail "watching changed score.dat"

echo "PASS: recorded $rec_frames frames; runner and window both end at frame $rec_frames, escape, high score $rec_score"
