#!/usr/bin/env bash
# The daily run in the real window, under Xvfb. First `--daily=DAY`: the
# caption names the day, Shift and Space held from the first frame are not
# given to the game, the session starts its game itself on frame 60, the run
# is given up, the terminal prints the line to share, and the day's attempt
# is kept as daily-DAY.replay: the day's seed, the daily shape, verified by
# the runner. Then `--daily=DAY --ghost` that file, played by nobody: a
# screenshot has the ghost's translucent silhouette where the runner's trace
# of the ghost puts its ball, and the session it records (with the ghost
# beside it) is verified by the runner, which plays it with no ghost at all.
# The frame counts come from the game itself (SIGUSR1), never from sleeping.
# Usage: daily_window_test.sh BUILD_DIR SOURCE_DIR
set -u

build=${1:?usage: daily_window_test.sh BUILD_DIR SOURCE_DIR}
# shellcheck source=../../../support/xvfb.sh
source "$(dirname "$0")/../../../support/xvfb.sh"
pm_need_tools Xvfb xdotool import convert python3 || exit 1

pm_scratch daily
work=$WORK
fail() {
    echo "FAIL: $*"
    for f in "$work"/*.err "$work"/*.out; do [ -s "$f" ] && { echo "--- $f:"; head -20 "$f"; }; done
    exit 1
}

pm_copy_game "$build" "$work/prog"
pm_start_xvfb "$work" || exit 1
export SDL_AUDIODRIVER=dummy
# The settings --window and --mute change stay in the scratch folder.
export XDG_CONFIG_HOME="$work/config"
day=2026-12-08
seed=3673815445   # SplitMix64 of 20261208, worked out apart from the game

# The frames the game has played, as it says on SIGUSR1.
frames() {   # ERRFILE
    local before after
    before=$(grep -c 'frames played' "$1")
    kill -USR1 "$GAME_PID" 2>/dev/null || return 1
    for _ in $(seq 100); do
        after=$(grep -c 'frames played' "$1")
        [ "$after" -gt "$before" ] && break
        sleep 0.05
    done
    grep 'frames played' "$1" | tail -n1 | sed 's/^pellimunch: \([0-9]*\) frames.*/\1/'
}
until_frame() {   # ERRFILE N: waits (up to 60 s) until the game has played N frames
    local n
    for _ in $(seq 600); do
        n=$(frames "$1") || fail "the game is gone"
        [ "${n:-0}" -ge "$2" ] && return 0
        sleep 0.1
    done
    fail "the game did not reach frame $2 (at ${n:-none})"
}
start_game() {   # NAME ARGS...: the window, captioned for the day, focused
    local name=$1
    shift
    "$work/prog/pellimunch" "$@" >"$work/$name.out" 2>"$work/$name.err" &
    GAME_PID=$!
    window=$(timeout 20 xdotool search --sync --name "^Pellimunch - Daily $day\$" 2>/dev/null | head -n1)
    [ -n "$window" ] || fail "no window captioned \"Pellimunch - Daily $day\""
    timeout 5 xdotool windowfocus --sync "$window" 2>/dev/null
}
quit_game() {   # NAME
    xdotool key Escape
    pm_wait_exit "$GAME_PID" 100
    [ "$STATUS" = 0 ] || fail "$1: the game did not quit with status 0 (status ${STATUS:-none})"
    GAME_PID=
}
# The daily shape: the seed, no key on frames 1 to 59, Left Shift alone on 60.
daily_shape() {   # FILE
    python3 - "$1" "$seed" <<'EOF'
import sys
lines = [l.split('#')[0].strip() for l in open(sys.argv[1])]
lines = [l for l in lines if l]
assert lines[1] == 'seed ' + sys.argv[2], lines[1]
frames = []
for l in lines[3:-1]:
    count, keys = l.split(' ', 1)
    frames += [keys] * int(count)
    if len(frames) >= 60:
        break
assert frames[:59] == ['-'] * 59, frames[:59]
assert frames[59] == 'LShift', frames[59]
EOF
}

# ---- 1. The daily run ----------------------------------------------------------------
start_game daily --daily=$day --window --mute
xdotool keydown Shift_L keydown space
until_frame "$work/daily.err" 70
xdotool keyup space keyup Shift_L keydown Right
until_frame "$work/daily.err" 130
xdotool keyup Right
until_frame "$work/daily.err" 400
xdotool keydown Delete
until_frame "$work/daily.err" 410
xdotool keyup Delete
for _ in $(seq 600); do
    grep -q "^Pellimunch daily $day: " "$work/daily.out" && break
    sleep 0.1
done
share=$(grep "^Pellimunch daily $day: " "$work/daily.out")
[ -n "$share" ] || fail "no line to share at the end of the daily run"
echo "shared: $share"
quit_game daily
kept="$work/prog/daily-$day.replay"
[ -s "$kept" ] || fail "no daily-$day.replay beside score.dat"
daily_shape "$kept" || fail "daily-$day.replay does not have the daily shape"
"$build/pellimunch-sim" --replay "$kept" --trace state --dir "$build/" >"$work/ghost.trace" 2>"$work/sim.err" ||
    fail "the runner does not verify daily-$day.replay"
python3 - "$work/ghost.trace" "$share" <<'EOF' || fail "the shared line is not the run the runner plays"
import json, re, sys
states = [json.loads(l)['state'] for l in open(sys.argv[1]) if '"state"' in l]
score = max(s['Score'] for s in states)
level = max(s['Level'] for s in states if s['GameState'] == 1)
m = re.fullmatch(r'Pellimunch daily \S+: ([0-9,]+) \(level (\d+)\)', sys.argv[2])
assert m and int(m[1].replace(',', '')) == score and int(m[2]) == level, (sys.argv[2], score, level)
EOF

# ---- 2. Racing it: the ghost on the screen, the player's session untouched -----------
cp "$kept" "$work/ghost.replay"
# Another day's ghost is refused before any window opens, in one line.
refused=$("$work/prog/pellimunch" --daily=2026-12-09 --ghost "$work/ghost.replay" 2>&1)
status=$?
[ "$status" = 2 ] && [ "$refused" = "pellimunch: $work/ghost.replay: not a daily replay of 2026-12-09" ] ||
    fail "a ghost of another day: status $status, \"$refused\""
# Frames of the ghost's run in which its ball stands still, well away from
# where the idle player's ball stays.
read -r from to gx gy <<<"$(python3 - "$work/ghost.trace" <<'EOF'
import json, sys
rows = [json.loads(l) for l in open(sys.argv[1]) if '"state"' in l]
best, run = None, []
for r in rows:
    s = r['state']
    key = (s['BallX'], s['BallY'])
    if s['GameState'] == 1 and run and run[-1][1] == key:
        run.append((r['frame'], key))
    else:
        run = [(r['frame'], key)] if s['GameState'] == 1 else []
    if len(run) >= 60 and (best is None or len(run) > len(best)):
        best = list(run)
if best:
    print(best[0][0] + 10, best[-1][0] - 10, best[0][1][0], best[0][1][1])
EOF
)"
[ -n "${gx:-}" ] || fail "the ghost's run never stands still for a second"
echo "the ghost's ball stands at ($gx, $gy) from frame $from to $to"
start_game raced --daily=$day --ghost "$work/ghost.replay" --record "$work/raced.replay" --window --mute
until_frame "$work/raced.err" "$from"
import -window root "$work/shot.png" || fail "cannot take a screenshot"
shot_at=$(frames "$work/raced.err")
[ "$shot_at" -le "$to" ] || fail "the screenshot came too late (frame $shot_at, the ghost moves at $to)"
quit_game raced
# The silhouette over the black sky: pixels blended part of the way to the
# ghost's pale blue, inside the ball's box and nowhere near it elsewhere.
ghostly() {   # WxH+X+Y: how many pixels have the ghost's colour over black
    convert "$work/shot.png" -crop "$1" +repage \
        -fx '(abs(r-0.39)<0.06 && abs(g-0.50)<0.06 && abs(b-0.55)<0.06) ? 1 : 0' -format '%[fx:round(mean*w*h)]' info:
}
box=$(python3 -c "print('84x84+%d+%d' % (round($gx) - 42, round($gy) - 42))")
inside=$(ghostly "$box")
elsewhere=$(ghostly 84x84+20+100)
band=$(convert "$work/shot.png" -crop 200x18+0+582 +repage -fx '(b > 0.8 && g > 0.7) ? 1 : 0' -format '%[fx:mean]' info:)
echo "ghostly pixels: $inside in the ghost's box $box, $elsewhere elsewhere; band $band"
[ "$inside" -ge 300 ] || fail "no translucent silhouette where the ghost's ball is"
[ "$elsewhere" -le 10 ] || fail "ghostly pixels where no ghost is"
awk -v b="$band" 'BEGIN { exit !(b > 0.01) }' || fail "no GHOST band at the bottom"
daily_shape "$work/raced.replay" || fail "the raced session does not have the daily shape"
"$build/pellimunch-sim" --replay "$work/raced.replay" --trace none --dir "$build/" >/dev/null 2>"$work/raced-sim.err" ||
    fail "the session recorded beside the ghost does not replay without it"

echo "PASS: $share; the ghost shows at ($gx, $gy) on frame $shot_at; both sessions verify"
