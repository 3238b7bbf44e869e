#!/usr/bin/env bash
# Every figure of docs/performance.md in one go:
#
#   bash bench/run_all.sh BUILD_DIR
#
# 1. the frame benchmarks (pellimunch-bench, Google Benchmark);
# 2. the headless runner over 20,000 title frames with --trace none;
# 3. the real game under Xvfb (bench/measure_game.sh), full screen at
#    1280 x 800 with and without a window manager, and at 800 x 600.
set -u
BUILD_DIR=$(cd "${1:?usage: run_all.sh BUILD_DIR}" && pwd)
HERE=$(cd "$(dirname "$0")" && pwd)

echo "== machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg)"

echo "== frame benchmarks"
if [ -x "$BUILD_DIR/pellimunch-bench" ]; then
    "$BUILD_DIR/pellimunch-bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true 2>&1 |
        grep -E "^BM_|^Benchmark"
else
    echo "pellimunch-bench not built (apt-get install libbenchmark-dev, then build again)"
fi

echo "== headless runner: 20000 title frames, --trace none"
TMP=$(mktemp -d /tmp/pm-bench-XXXXXX)
trap 'rm -rf "$TMP"' EXIT
start=$(date +%s%N)
/usr/bin/time -v "$BUILD_DIR/pellimunch-sim" --dir "$BUILD_DIR" --score "$TMP/score.dat" --frames 20000 --trace none \
    > /dev/null 2> "$TMP/time"
end=$(date +%s%N)
user=$(awk -F': ' '/User time/ {print $2}' "$TMP/time")
sys=$(awk -F': ' '/System time/ {print $2}' "$TMP/time")
rss=$(awk -F': ' '/Maximum resident/ {print $2}' "$TMP/time")
awk -v u="$user" -v s="$sys" -v w=$(( (end - start) / 1000000 )) -v r="$rss" 'BEGIN {
    printf "%.0f frames/s of CPU time (%.2f s user + %.2f s system), %.2f s wall, peak memory %.1f MB\n",
        20000 / (u + s), u, s, w / 1000, r / 1024 }'

echo "== the real game under Xvfb, full screen at 1280 x 800, no window manager"
PM_XVFB_SCREEN=1280x800x24 bash "$HERE/measure_game.sh" "$BUILD_DIR" 15
echo "== the real game under Xvfb, full screen at 1280 x 800, openbox"
if command -v openbox > /dev/null; then
    PM_WM=openbox PM_XVFB_SCREEN=1280x800x24 bash "$HERE/measure_game.sh" "$BUILD_DIR" 15
else
    echo "openbox is not installed (apt-get install openbox)"
fi
echo "== the real game under Xvfb, 800 x 600 screen"
PM_XVFB_SCREEN=800x600x24 bash "$HERE/measure_game.sh" "$BUILD_DIR" 15
