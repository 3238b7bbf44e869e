#!/usr/bin/env bash
# The real game's cost on this machine: runs BUILD_DIR/pellimunch (a copy,
# with its data, in a scratch folder so no score.dat of yours is touched)
# under Xvfb with the dummy audio driver on the title screen for SECONDS,
# and reports its CPU use, resident memory, frame rate and the time from
# start to the first game frame on the screen.
#
#   bash bench/measure_game.sh BUILD_DIR [SECONDS]
#
# Needs Xvfb and a C compiler (for the small LD_PRELOAD clock in
# bench/shim that notes the first present; it changes nothing in the game).
# PM_XVFB_SCREEN sets the virtual screen (default 1024x768x24); PM_WM=openbox
# runs that window manager first (default: none, as on a kiosk).
set -u
BUILD_DIR=$(cd "${1:?usage: measure_game.sh BUILD_DIR [SECONDS]}" && pwd)
SECONDS_RUN=${2:-20}
HERE=$(cd "$(dirname "$0")" && pwd)
command -v Xvfb > /dev/null || { echo "Xvfb is not installed (apt-get install xvfb)"; exit 1; }
[ -x "$BUILD_DIR/pellimunch" ] || { echo "no $BUILD_DIR/pellimunch"; exit 1; }

TMP=$(mktemp -d /tmp/pm-measure-XXXXXX)
XPID=""
GPID=""
WPID=""
cleanup() {
    [ -n "$GPID" ] && kill "$GPID" 2>/dev/null
    [ -n "$WPID" ] && kill "$WPID" 2>/dev/null
    [ -n "$XPID" ] && kill "$XPID" 2>/dev/null
    rm -rf "$TMP"
}
trap cleanup EXIT

cc -shared -fPIC -O2 -o "$TMP/present_clock.so" "$HERE/shim/present_clock.c" -ldl || exit 1
mkdir -p "$TMP/game"
cp "$BUILD_DIR/pellimunch" "$TMP/game/"
cp -r "$BUILD_DIR/bmp" "$BUILD_DIR/wav" "$TMP/game/"

# A free display number.
for n in $(seq 91 140); do [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { DISP=$n; break; }; done
Xvfb ":$DISP" -screen 0 "${PM_XVFB_SCREEN:-1024x768x24}" -nolisten tcp > "$TMP/xvfb.log" 2>&1 &
XPID=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$DISP" ] && break; sleep 0.1; done
if [ -n "${PM_WM:-}" ]; then
    DISPLAY=":$DISP" "$PM_WM" > "$TMP/wm.log" 2>&1 &
    WPID=$!
    sleep 1
fi

TICK=$(getconf CLK_TCK)
T0=$(date +%s%N)
DISPLAY=":$DISP" SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME="$TMP/config" PM_CLOCK_T0=$T0 PM_CLOCK_OUT="$TMP/clock" \
    LD_PRELOAD="$TMP/present_clock.so" "$TMP/game/pellimunch" > "$TMP/game.log" 2>&1 &
GPID=$!

# Let it settle, then measure over the interval.
sleep 2
kill -0 "$GPID" 2>/dev/null || { echo "the game ended early:"; cat "$TMP/game.log"; exit 1; }
read -r u1 s1 < <(awk '{print $14, $15}' "/proc/$GPID/stat")
w1=$(date +%s%N)
sleep "$SECONDS_RUN"
read -r u2 s2 < <(awk '{print $14, $15}' "/proc/$GPID/stat")
w2=$(date +%s%N)
rss=$(awk '/^VmRSS/ {print $2}' "/proc/$GPID/status")
hwm=$(awk '/^VmHWM/ {print $2}' "/proc/$GPID/status")
threads=$(awk '/^Threads/ {print $2}' "/proc/$GPID/status")

kill -TERM "$GPID"
wait "$GPID"
status=$?
GPID=""

wall=$(( (w2 - w1) / 1000000 ))
cpu_ms=$(( ((u2 - u1) + (s2 - s1)) * 1000 / TICK ))
user_ms=$(( (u2 - u1) * 1000 / TICK ))
sys_ms=$(( (s2 - s1) * 1000 / TICK ))
echo "interval:          ${wall} ms"
echo "CPU:               $(awk "BEGIN {printf \"%.1f\", 100 * $cpu_ms / $wall}") % of one core (user ${user_ms} ms, system ${sys_ms} ms)"
echo "resident memory:   $((rss / 1024)) MB now, $((hwm / 1024)) MB peak (${threads} threads)"
first=$(awk '/^first_frame_ms/ {print $2}' "$TMP/clock")
read -r frames secs < <(awk '/^presents/ {print $2, $4}' "$TMP/clock")
echo "start-up:          ${first} ms to the first game frame on the screen"
echo "frame rate:        $(awk "BEGIN {printf \"%.2f\", $frames / $secs}") frames/s ($frames frames in $secs s)"
echo "exit status:       $status after SIGTERM"
[ -s "$TMP/game.log" ] && { echo "game output:"; cat "$TMP/game.log"; }
exit 0
