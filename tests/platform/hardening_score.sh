#!/usr/bin/env bash
# score.dat as a player's machine may leave it: missing, empty, blank,
# garbage, negative, beyond 32 bits, a folder or a named pipe of that name,
# in a folder not made yet or one that cannot be made, read-only, in a
# read-only folder, on a full disk. Through the headless runner: the record
# is never lowered or lost, a failed save is reported and leaves the old file
# whole, and no temporary file is left behind.
#
#   bash tests/platform/hardening_score.sh BUILD_DIR SOURCE_DIR
set -u
BUILD_DIR=$(cd "${1:?usage: hardening_score.sh BUILD_DIR SOURCE_DIR}" && pwd)
SOURCE_DIR=$(cd "${2:-$(dirname "$0")/../..}" && pwd)
SIM="$BUILD_DIR/pellimunch-sim"
[ -x "$SIM" ] || { echo "FAIL: $SIM not built"; exit 1; }

TMP=$(mktemp -d /tmp/pm-score-XXXXXX)
MOUNTED=""
cleanup() {
    [ -n "$MOUNTED" ] && umount "$MOUNTED" 2>/dev/null
    chmod -R u+rwX "$TMP" 2>/dev/null
    rm -rf "$TMP"
}
trap cleanup EXIT
chmod 755 "$TMP"

# A run that quits from the title, and one that plays seed 1 to a game over
# with a final score of 25 (so a record below 25 is raised) and quits at the
# title afterwards.
QUIT=(--frames 3)
printf '1 LShift\n300 Right+Space\n300 Left+Space\n1 Delete\n600 -\n' > "$TMP/play.txt"
PLAY=(--seed 1 --script "$TMP/play.txt")
# Leaves in the middle of the run, when the score is above the record.
printf '1 LShift\n300 Right+Space\n1 Escape\n' > "$TMP/leave.txt"
LEAVE=(--seed 1 --script "$TMP/leave.txt")

AS_NOBODY=()
if [ "$(id -u)" = 0 ] && command -v setpriv > /dev/null &&
   setpriv --reuid=65534 --regid=65534 --clear-groups "$SIM" --help > /dev/null 2>&1; then
    AS_NOBODY=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi

passed=0
failed=0
skipped=0
n=0

fail() { failed=$((failed + 1)); echo "FAIL: $CASE: $*"; [ -s "$DIR/err" ] && echo "      stderr: $(cat "$DIR/err")"; }

# A fresh folder for each case: $DIR/game/score.dat is the file under test.
new_case() {
    CASE=$1
    n=$((n + 1))
    DIR="$TMP/case$n"
    mkdir -p "$DIR/game"
    chmod 755 "$DIR" "$DIR/game"
    FILE="$DIR/game/score.dat"
}

run() {   # [prefix...] -- args...
    local prefix=()
    while [ "$1" != "--" ]; do prefix+=("$1"); shift; done
    shift
    "${prefix[@]}" "$SIM" --dir "$BUILD_DIR" --score "$FILE" --trace none "$@" > "$DIR/out" 2> "$DIR/err" < /dev/null
    RC=$?
    ERRLINES=$(wc -l < "$DIR/err")
}

bytes() { od -An -c "$1" | tr -s ' \n' ' '; }

# Every check of a case in one place.
expect() {   # STATUS CONTENT|-  (- : the file must be byte-identical to $DIR/before)
    local status=$1 content=$2 ok=1
    if [ "$RC" != "$status" ]; then fail "exit status $RC, expected $status"; ok=0; fi
    if [ "$ERRLINES" -gt 1 ]; then fail "$ERRLINES lines on standard error"; ok=0; fi
    if [ "$content" = "-" ]; then
        if ! cmp -s "$FILE" "$DIR/before"; then fail "score.dat changed: $(bytes "$FILE")"; ok=0; fi
    else
        printf '%s' "$content" > "$DIR/want"
        if ! cmp -s "$FILE" "$DIR/want"; then fail "score.dat holds [$(bytes "$FILE")], expected [$(bytes "$DIR/want")]"; ok=0; fi
    fi
    local stray
    stray=$(ls -A "$(dirname "$FILE")" | grep -v '^score\.dat$' | grep -v '^filler$')
    if [ -n "$stray" ]; then fail "left behind: $stray"; ok=0; fi
    [ $ok = 1 ] && passed=$((passed + 1))
}

put() { printf -- "$1" > "$FILE"; cp "$FILE" "$DIR/before"; }

# --- the file's content ----------------------------------------------------

new_case "missing"
run -- "${QUIT[@]}"
expect 0 $' 1000 \r\n'
[ "$ERRLINES" -eq 0 ] || fail "a missing file is not worth a message"

new_case "missing, then a game raises the record"
run -- "${PLAY[@]}"
expect 0 $' 1000 \r\n'

for c in "empty:" "spaces only:     " "garbage:hello world" "number then text:12abc"; do
    new_case "${c%%:*}"
    put "${c#*:}"
    run -- "${QUIT[@]}"
    # Nothing in the file was a record: the game starts from 1000, says why
    # on one line, and leaves a well-formed file; what the file held (when
    # anything) is kept beside it.
    if [ -s "$DIR/before" ]; then
        cmp -s "$FILE.unreadable" "$DIR/before" || fail "the file was not kept as score.dat.unreadable"
        rm -f "$FILE.unreadable"
    fi
    expect 0 $' 1000 \r\n'
    [ "$ERRLINES" -eq 1 ] || fail "no line says why the file was not used"
done

# Saved by an editor: a byte order mark, a blank first line.
for c in "byte order mark:\xEF\xBB\xBF 5000 \r\n: 5000 " "blank first line:\r\n 7000\r\n: 7000 "; do
    IFS=: read -r name bytes kept <<<"$c"
    new_case "$name"
    put "$bytes"
    run -- "${QUIT[@]}"
    expect 0 "$kept"$'\r\n'
    [ "$ERRLINES" -eq 0 ] || fail "the record was not read"
done

new_case "record kept when beaten by nothing"
put ' 4321 \r\n'
run -- "${PLAY[@]}"
expect 0 -

new_case "record raised at game over"
put ' 0 \r\n'
run -- "${PLAY[@]}"
expect 0 $' 25 \r\n'

# Closed on the game-over screen while the record climbs from 10: the run's
# whole score is kept, not the value the climb had reached.
new_case "record kept whole when the game over is cut short"
put ' 10 \r\n'
run -- --seed 11 --script "$SOURCE_DIR/tests/golden/fevers.keys" --frames 2480
expect 0 $' 21415 \r\n'

new_case "record not raised when the run is left in play"
put ' 0 \r\n'
run -- "${LEAVE[@]}"
expect 0 -

new_case "negative record"
put '-42 \r\n'
run -- "${QUIT[@]}"
# No run scores below 0: the record is read as 0, and kept as 0.
expect 0 $' 0 \r\n'
new_case "negative record raised"
put '-42 \r\n'
run -- "${PLAY[@]}"
expect 0 $' 25 \r\n'

new_case "largest record"
put ' 2147483647 \r\n'
run -- "${PLAY[@]}"
expect 0 -

# A number beyond 32 bits was never written by the game; whatever is done
# with it, the player must not find a lower record afterwards.
new_case "record above 2147483647"
put ' 2147483648 \r\n'
run -- "${PLAY[@]}"
if [ "$RC" -le 1 ] && { cmp -s "$FILE" "$DIR/before" || cmp -s "$FILE" <(printf ' 2147483647 \r\n'); }; then
    passed=$((passed + 1))
else
    fail "status $RC, score.dat holds [$(bytes "$FILE")]: a record beyond 32 bits was lowered"
fi

# --- the file's place -------------------------------------------------------

new_case "a folder named score.dat"
mkdir "$FILE"
touch "$FILE/inside"
run -- "${PLAY[@]}"
if [ "$RC" = 1 ] && [ -d "$FILE" ] && [ -f "$FILE/inside" ] && [ "$ERRLINES" = 1 ] &&
   grep -q "score.dat" "$DIR/err"; then
    passed=$((passed + 1))
else
    fail "status $RC; the folder must stay and the failed save be reported on one line"
fi

new_case "a named pipe named score.dat"
mkfifo "$FILE"
# A hang here is the failure: the run is given ample time, then stopped.
run timeout 20 -- "${PLAY[@]}"
if [ "$RC" = 1 ] && [ -p "$FILE" ] && [ "$ERRLINES" = 1 ] && grep -q "score.dat: not a regular file" "$DIR/err"; then
    passed=$((passed + 1))
else
    fail "status $RC; the pipe must stay and the failed save be reported on one line"
fi

new_case "a folder that is not there yet"
FILE="$DIR/game/new/deeper/score.dat"
run -- "${PLAY[@]}"
if [ "$RC" = 0 ] && cmp -s "$FILE" <(printf ' 1000 \r\n'); then
    passed=$((passed + 1))
else
    fail "status $RC: the save did not make its folder"
fi

new_case "a folder that cannot be made"
touch "$DIR/game/blocker"
FILE="$DIR/game/blocker/sub/score.dat"
run -- "${PLAY[@]}"
if [ "$RC" = 1 ] && [ "$ERRLINES" = 1 ] && grep -q "cannot create the folder $DIR/game/blocker/sub" "$DIR/err"; then
    passed=$((passed + 1))
else
    fail "status $RC: the message must name the folder that cannot be made"
fi

new_case "read-only file"
put ' 0 \r\n'
chmod 444 "$FILE"
run -- "${PLAY[@]}"
expect 1 -
[ "$(stat -c %a "$FILE")" = 444 ] || fail "the file's permissions changed"
grep -q "score.dat" "$DIR/err" || fail "the failure does not name the file"

# A file the player cannot read (but could write) still holds the record:
# a run that could not see it must not replace it with the default.
new_case "unreadable file"
put ' 4321 \r\n'
if [ "$(id -u)" != 0 ]; then
    chmod 200 "$FILE"
    run -- "${QUIT[@]}"
elif [ ${#AS_NOBODY[@]} -gt 0 ]; then
    chown -R 65534:65534 "$DIR/game"
    chmod 200 "$FILE"
    run "${AS_NOBODY[@]}" -- "${QUIT[@]}"
else
    RC=skip
fi
if [ "$RC" = skip ]; then
    echo "note: unreadable-file case skipped (root without setpriv)"
    skipped=$((skipped + 1))
else
    chmod 644 "$FILE"
    if [ "$RC" -le 1 ] && cmp -s "$FILE" "$DIR/before"; then
        passed=$((passed + 1))
    else
        fail "status $RC, score.dat holds [$(bytes "$FILE")]: the unread record was replaced"
    fi
fi

new_case "read-only folder"
put ' 0 \r\n'
chmod 666 "$FILE"
if [ "$(id -u)" != 0 ]; then
    chmod 555 "$DIR/game"
    run -- "${PLAY[@]}"
    expect 1 -
elif [ ${#AS_NOBODY[@]} -gt 0 ]; then
    # Root writes anywhere; the player is someone else.
    chown -R 65534:65534 "$DIR/game"
    chmod 555 "$DIR/game"
    run "${AS_NOBODY[@]}" -- "${PLAY[@]}"
    expect 1 -
else
    echo "note: read-only folder case skipped (root without setpriv)"
    skipped=$((skipped + 1))
fi
chmod 755 "$DIR/game"

new_case "full disk"
if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=16k,mode=755 tmpfs "$DIR/game" 2>/dev/null; then
    MOUNTED="$DIR/game"
    put ' 0 \r\n'
    # Fill every block left; the save then has nowhere to write.
    dd if=/dev/zero of="$DIR/game/filler" bs=1k count=64 status=none 2>/dev/null
    run -- "${PLAY[@]}"
    expect 1 -
    grep -q "score.dat" "$DIR/err" || fail "the failure does not name the file"
    # Room again: the next save goes through.
    rm -f "$DIR/game/filler"
    cp "$FILE" "$DIR/before"
    run -- "${PLAY[@]}"
    expect 0 $' 25 \r\n'
    umount "$DIR/game" && MOUNTED=""
else
    echo "note: full-disk case skipped (needs root to mount a small tmpfs)"
    skipped=$((skipped + 1))
fi

echo "$passed passed, $failed failed, $skipped skipped"
[ $failed -eq 0 ]
