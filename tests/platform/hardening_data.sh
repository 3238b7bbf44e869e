#!/usr/bin/env bash
# Broken data folders: each of the five bitmaps and fourteen wave files in
# turn is missing, empty, cut short, of the wrong kind, size or format, a
# folder, or unreadable. Every case must end the headless runner at start-up
# with exit status 1 and exactly one line on standard error that names the
# file and the reason, and leave score.dat (and its folder) exactly as it was.
#
#   bash tests/platform/hardening_data.sh BUILD_DIR SOURCE_DIR
set -u
BUILD_DIR=$(cd "${1:?usage: hardening_data.sh BUILD_DIR SOURCE_DIR}" && pwd)
SIM="$BUILD_DIR/pellimunch-sim"
[ -x "$SIM" ] || { echo "FAIL: $SIM not built"; exit 1; }
[ -f "$BUILD_DIR/bmp/main.bmp" ] || { echo "FAIL: no generated data in $BUILD_DIR"; exit 1; }

TMP=$(mktemp -d /tmp/pm-data-XXXXXX)
trap 'chmod -R u+rwX "$TMP" 2>/dev/null; rm -rf "$TMP"' EXIT
chmod 755 "$TMP"
BASE="$TMP/base"
WORK="$TMP/game"
SCORE_DIR="$TMP/keep"
mkdir -p "$BASE" "$SCORE_DIR"
cp -r "$BUILD_DIR/bmp" "$BUILD_DIR/wav" "$BASE/"
cp -r "$BASE" "$WORK"
chmod -R a+rX "$TMP"
printf ' 4321 \r\n' > "$SCORE_DIR/score.dat"
cp "$SCORE_DIR/score.dat" "$TMP/score.expected"

BITMAPS=(main ground pinkline title scale)
WAVES=(eat fever highjump quake charge land naki hit bomb highscore bonus bell levelup oee)

# The unreadable case needs a user that permission bits apply to; root
# reads anything, so it runs the runner as nobody when it can.
AS_USER=()
if [ "$(id -u)" = 0 ]; then
    if command -v setpriv > /dev/null && setpriv --reuid=65534 --regid=65534 --clear-groups "$SIM" --help > /dev/null 2>&1; then
        AS_USER=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    else
        echo "note: running as root without a way to drop privileges: the unreadable-file cases are skipped"
    fi
fi

passed=0
failed=0
skipped=0

patch_byte() {   # FILE OFFSET VALUE
    printf "$(printf '\\%03o' "$3")" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

# Puts the broken form of a file in place. Prints nothing on success; returns
# 2 when the case cannot be made here.
break_file() {   # REL CASE
    local rel=$1 kind=$2 f="$WORK/$1" size
    case $kind in
        missing) rm -f "$f" ;;
        empty) : > "$f" ;;
        truncated) size=$(stat -c %s "$f"); head -c $((size / 2)) "$BASE/$rel" > "$f" ;;
        directory) rm -f "$f"; mkdir "$f" ;;
        unreadable) [ ${#AS_USER[@]} -gt 0 ] || [ "$(id -u)" != 0 ] || return 2; chmod 000 "$f" ;;
        other-kind)   # a file of the other kind under this name
            if [[ $rel == bmp/* ]]; then cp "$BASE/wav/eat.wav" "$f"; else cp "$BASE/bmp/title.bmp" "$f"; fi ;;
        wrong-size)   # a good bitmap of another size
            if [[ $rel == bmp/main.bmp ]]; then cp "$BASE/bmp/scale.bmp" "$f"; else cp "$BASE/bmp/main.bmp" "$f"; fi ;;
        depth16) patch_byte "$f" 28 16 ;;
        wrong-rate)   # a good sound recorded at another rate
            if [[ $rel == wav/bell.wav ]]; then cp "$BASE/wav/eat.wav" "$f"; else cp "$BASE/wav/bell.wav" "$f"; fi ;;
        stereo16) patch_byte "$f" 22 2; patch_byte "$f" 34 16 ;;
    esac
}

restore_file() {
    local rel=$1 f="$WORK/$1"
    chmod -R u+rwX "$f" 2>/dev/null
    rm -rf "$f"
    cp "$BASE/$rel" "$f"
    chmod a+r "$f"
}

reason_for() {   # CASE REL -> the words the message must hold
    case $1 in
        missing) echo "No such file" ;;
        empty|truncated) echo "truncated" ;;
        directory) echo "directory" ;;
        unreadable) echo "Permission denied" ;;
        other-kind) if [[ $2 == bmp/* ]]; then echo "not a BMP"; else echo "not a RIFF/WAVE"; fi ;;
        wrong-size) echo "wrong size" ;;
        depth16) echo "bit depth 16" ;;
        wrong-rate) echo "sample rate" ;;
        stereo16) echo "channels" ;;
    esac
}

run_case() {   # REL CASE
    local rel=$1 kind=$2 name="$1 $2"
    if ! break_file "$rel" "$kind"; then
        skipped=$((skipped + 1))
        restore_file "$rel"
        return
    fi
    local before after err rc lines reason
    before=$(ls -la "$SCORE_DIR" | sed 1d)
    local runner=("$SIM")
    [ "$kind" = unreadable ] && runner=("${AS_USER[@]}" "$SIM")
    "${runner[@]}" --dir "$WORK" --score "$SCORE_DIR/score.dat" --frames 5 --trace none \
        > "$TMP/out" 2> "$TMP/err" < /dev/null
    rc=$?
    after=$(ls -la "$SCORE_DIR" | sed 1d)
    err=$(cat "$TMP/err")
    lines=$(wc -l < "$TMP/err")
    reason=$(reason_for "$kind" "$rel")
    local why=""
    [ $rc -eq 1 ] || why="exit status $rc"
    [ "$lines" -eq 1 ] || why="$why; $lines lines on standard error"
    [[ $err == *"$rel"* ]] || why="$why; the message does not name $rel"
    [[ $err == *"$reason"* ]] || why="$why; the message does not say \"$reason\""
    cmp -s "$SCORE_DIR/score.dat" "$TMP/score.expected" || why="$why; score.dat changed"
    [ "$before" = "$after" ] || why="$why; the score folder changed"
    if [ -z "$why" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL: $name:${why#;}"
        echo "      stderr: $err"
    fi
    restore_file "$rel"
}

# The intact folder starts and ends normally, so every failure below comes
# from the one file broken.
"$SIM" --dir "$WORK" --score "$SCORE_DIR/score.dat" --frames 5 --trace none > /dev/null 2> "$TMP/err"
if [ $? -ne 0 ] || [ -s "$TMP/err" ] || ! cmp -s "$SCORE_DIR/score.dat" "$TMP/score.expected"; then
    echo "FAIL: the intact data folder does not run cleanly: $(cat "$TMP/err")"
    exit 1
fi

for b in "${BITMAPS[@]}"; do
    for kind in missing empty truncated directory unreadable other-kind wrong-size depth16; do
        run_case "bmp/$b.bmp" "$kind"
    done
done
for w in "${WAVES[@]}"; do
    for kind in missing empty truncated directory unreadable other-kind wrong-rate stereo16; do
        run_case "wav/$w.wav" "$kind"
    done
done

[ $skipped -gt 0 ] && echo "note: $skipped cases skipped (no unprivileged user to test unreadable files)"
echo "$passed passed, $failed failed, $skipped skipped"
[ $failed -eq 0 ]
