#!/usr/bin/env bash
# Two copies of the game playing at once from the same folder, through the
# headless runner: each plays SESSIONS runs one after the other with random
# seeds and random key scripts (so random scores, and the two copies' saves
# fall in every order), all sharing one score.dat. Afterwards the file must
# hold the highest record any run set, and must have been a well-formed
# record after every run; no temporary file may be left.
#
# Also a run that is held in the middle (its trace goes into a pipe nobody
# reads yet) while another saves a higher record: the held one, saving last,
# must keep the higher record.
#
#   bash tests/platform/stress/two_copies.sh BUILD_DIR SOURCE_DIR
#   PM_SESSIONS=200 bash tests/platform/stress/two_copies.sh ...   (the full measurement)
set -u
BUILD_DIR=$(cd "${1:?usage: two_copies.sh BUILD_DIR SOURCE_DIR}" && pwd)
SIM="$BUILD_DIR/pellimunch-sim"
[ -x "$SIM" ] || { echo "FAIL: $SIM not built"; exit 1; }
SESSIONS=${PM_SESSIONS:-50}

TMP=$(mktemp -d /tmp/pm-copies-XXXXXX)
held_pid=
cleanup() {
    [ -n "$held_pid" ] && kill "$held_pid" 2>/dev/null
    rm -rf "$TMP"
}
trap cleanup EXIT
GAME="$TMP/game"
mkdir -p "$GAME"
SCORE="$GAME/score.dat"
failed=0
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }

# --- one copy held while the other saves --------------------------------------
printf ' 100 \r\n' > "$SCORE"
printf '1 LShift\n300 Right+Space\n300 Left+Space\n1 Delete\n600 -\n' > "$TMP/play.txt"
mkfifo "$TMP/held.pipe"
# Every frame's state goes into the pipe: the run stops as soon as the pipe
# is full, long after its start-up read the file.
"$SIM" --dir "$BUILD_DIR" --score "$SCORE" --seed 1 --script "$TMP/play.txt" --trace state \
    --out "$TMP/held.pipe" 2> "$TMP/held.err" &
held_pid=$!
exec 3< "$TMP/held.pipe"   # open the reading end, read nothing yet
head -c 1 <&3 > /dev/null   # the run has started up
printf '1 LShift\n3000 Right+Space\n1 Delete\n1500 -\n' > "$TMP/high.txt"
"$SIM" --dir "$BUILD_DIR" --score "$SCORE" --seed 5 --script "$TMP/high.txt" --trace none > /dev/null 2> "$TMP/high.err"
high=$(tr -d ' \r\n' < "$SCORE")
cat <&3 > /dev/null        # let the held run go on to its end
exec 3<&-
wait "$held_pid"
held_status=$?
held_pid=
after=$(tr -d ' \r\n' < "$SCORE")
if [ "$held_status" != 0 ] || [ -s "$TMP/held.err" ] || [ -s "$TMP/high.err" ]; then
    fail "a run failed: status $held_status, $(cat "$TMP/held.err" "$TMP/high.err")"
elif [ "$high" -le 100 ] 2>/dev/null; then
    fail "the run meant to set a record reached only $high"
elif [ "$after" != "$high" ]; then
    fail "the held run, saving last, left $after where the other saved $high"
else
    echo "held run: the other copy saved $high, the held one (which read 100) kept it"
fi

# --- two copies, many sessions each ---------------------------------------------
# A random script: start a run, move and jump for a random while, give up
# with Delete, wait out the game over. Later sessions may play longer, so
# records keep being set (and raced for) all through, not only at first.
script() {   # FILE SESSION
    {
        echo "1 LShift"
        local spans=$((RANDOM % 6 + 1)) i keys
        for i in $(seq $spans); do
            # R opens every item slot and E fills the fever gauge: far more
            # to eat, so scores spread widely.
            case $((RANDOM % 6)) in
                0) keys=Right+Space ;; 1) keys=Left+Space ;; 2) keys=Right+Up ;; 3) keys=Left ;;
                4) keys=Right+Space+R ;; *) keys=Left+E ;;
            esac
            echo "$((RANDOM % (100 + 5 * $2) + 1)) $keys"
        done
        echo "1 Delete"
        echo "400 -"
    } > "$1"
}

copy() {   # ID
    local id=$1 n
    : > "$TMP/copy$id.log"
    for n in $(seq "$SESSIONS"); do
        script "$TMP/s$id.txt" "$n"
        # The start-up line carries the record read; the end line the one saved.
        if ! "$SIM" --dir "$BUILD_DIR" --score "$SCORE" --seed $((RANDOM * 32768 + RANDOM)) \
            --script "$TMP/s$id.txt" --trace state --every 1000000000 > "$TMP/t$id.jsonl" 2> "$TMP/e$id.txt"; then
            echo "error $(head -c 300 "$TMP/e$id.txt")" >> "$TMP/copy$id.log"
            continue
        fi
        local read saved file
        read=$(head -n1 "$TMP/t$id.jsonl" | grep -o '"HighScore":-\?[0-9]*' | head -n1 | cut -d: -f2)
        saved=$(tail -n1 "$TMP/t$id.jsonl" | grep -o '"HighScore":-\?[0-9]*' | cut -d: -f2)
        file=$(tr -d ' \r\n' < "$SCORE")
        echo "$read $saved $file" >> "$TMP/copy$id.log"
    done
}

printf ' 0 \r\n' > "$SCORE"
start=$(date +%s.%N)
copy 1 &
p1=$!
copy 2 &
p2=$!
wait "$p1" "$p2"
seconds=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')

final=$(tr -d ' \r\n' < "$SCORE")
if grep -h '^error' "$TMP"/copy*.log | head -3 | grep -q .; then
    fail "runs failed: $(grep -h '^error' "$TMP"/copy*.log | head -3)"
fi
# Figures: every run's record read at start-up and saved at the end, and the
# file right after it.
read -r runs records stale max bad < <(cat "$TMP"/copy*.log | grep -v '^error' | awk '
    { runs++; if ($2 > $1) records++; if ($2 < $3) stale++; if ($2 > max || runs == 1) max = $2
      if ($3 !~ /^-?[0-9]+$/) bad++ }
    END { printf "%d %d %d %d %d\n", runs, records, stale, max, bad + 0 }')
echo "two copies x $SESSIONS sessions: $runs runs in $seconds s; $records set a record above what they read;"
echo "  $stale ended with a lower record than the other copy had saved meanwhile; highest record $max, file $final"
[ "$runs" = $((2 * SESSIONS)) ] || fail "only $runs of $((2 * SESSIONS)) runs finished"
[ "$bad" = 0 ] || fail "$bad times the file held no record after a run"
[ "$final" = "$max" ] || fail "the file holds $final, the highest record set was $max"
stray=$(ls -A "$GAME" | grep -vx 'score.dat')
[ -z "$stray" ] || fail "left behind: $stray"

[ "$failed" = 0 ] && echo "PASS"
[ "$failed" = 0 ]
