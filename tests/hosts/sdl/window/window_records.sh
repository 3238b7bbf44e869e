#!/usr/bin/env bash
# The real game under Xvfb, ended in the ways a desktop ends programs, and
# failing where the player can see it:
#   - SIGHUP runs the shutdown like SIGTERM: status 0, score.dat written;
#   - a record set by a game over is on disk at once, so a lost X connection
#     or a SIGKILL right after it does not lose it;
#   - the save-error box draws the same picture in the C and a UTF-8 locale,
#     with text in it, and SIGTERM still ends the game while it is up;
#   - a broken data file shows its one line in a box too, closed by Enter;
#   - a lost display saves score.dat and last.replay, then exits 1;
#   - score.dat saved by an editor (a byte order mark, a blank first line)
#     keeps its record; one with no number is set aside, and the window says so;
#   - standard error holds nothing but the game's own lines (no sound device
#     here, so no library chatter about it either).
# Usage: window_records.sh BUILD_DIR SOURCE_DIR
set -u

build=${1:?usage: window_records.sh BUILD_DIR SOURCE_DIR}

# shellcheck source=../../../support/xvfb.sh
source "$(dirname "$0")/../../../support/xvfb.sh"
pm_need_tools Xvfb xdotool import convert || exit 1

pm_scratch records
work=$WORK

passed=0
failed=0
fail() {
    failed=$((failed + 1))
    echo "FAIL: $CASE: $*"
    [ -s "$work/game.err" ] && sed 's/^/      stderr: /' "$work/game.err" | head -5
}
pass() { passed=$((passed + 1)); }

pm_start_xvfb "$work" || exit 1
# No sound device is set up on purpose: the game must say so in one line.
unset SDL_AUDIODRIVER

# A fresh program folder per case: the game, its data, score.dat as given.
new_case() {   # NAME [SCORE-BYTES]
    CASE=$1
    prog="$work/prog"
    chmod -R u+rwX "$prog" 2>/dev/null
    rm -rf "$prog"
    pm_copy_game "$build" "$prog"
    [ $# -gt 1 ] && printf -- "$2" > "$prog/score.dat"
    : > "$work/game.err"
}

start() {   # [env assignments...]
    env "$@" "$prog/pellimunch" 2>"$work/game.err" &
    GAME_PID=$!
}

# The game's window once it is up (empty when it never came).
main_window() { timeout 20 xdotool search --sync --onlyvisible --pid "$GAME_PID" 2>/dev/null | head -n1; }

# Waits up to $1 tenths of a second for the game to end; sets STATUS.
finish() {
    STATUS=
    for _ in $(seq "$1"); do
        if ! kill -0 "$GAME_PID" 2>/dev/null; then
            wait "$GAME_PID" 2>/dev/null
            STATUS=$?
            GAME_PID=
            return 0
        fi
        sleep 0.1
    done
    return 1
}

hold() {   # KEY SECONDS
    xdotool keydown "$1"
    sleep "$2"
    xdotool keyup "$1"
}

holds() { cmp -s "$prog/score.dat" <(printf -- "$1"); }
bytes() { od -An -c "$prog/score.dat" 2>/dev/null | tr -s ' \n' ' '; }

# Every line on standard error is the game's own.
only_own_words() {
    if grep -v '^pellimunch: ' "$work/game.err" | grep -q .; then
        fail "lines on standard error that are not the game's: $(grep -v '^pellimunch: ' "$work/game.err" | head -2 | tr '\n' '|')"
        return 1
    fi
}

# From the title: start a run, run right and jump (which eats something
# whatever the seed), give it up with Delete. With a record of 0 in the file,
# the game over raises it to the run's score and hands back to the title.
record_from_a_run() {
    local w
    w=$(main_window)
    [ -n "$w" ] || return 1
    sleep 0.5
    timeout 5 xdotool windowfocus --sync "$w" 2>/dev/null
    hold Shift_L 0.3
    sleep 0.3
    xdotool keydown Right
    sleep 2
    hold space 0.7
    sleep 1
    xdotool keyup Right
    hold Delete 0.3
    sleep 2   # the game over counts 0 up to the score and returns to the title
    echo "$w"
}

# score.dat holds a record above 0, in the game's form.
holds_a_new_record() { LC_ALL=C grep -qaxE ' [1-9][0-9]* '$'\r' "$prog/score.dat" && [ "$(wc -l < "$prog/score.dat")" = 1 ]; }

# --- SIGHUP -----------------------------------------------------------------
new_case "SIGHUP quits like SIGTERM"
start
if [ -z "$(main_window)" ]; then
    fail "no window appeared"
else
    kill -HUP "$GAME_PID"
    if ! finish 100; then
        fail "still running 10 s after SIGHUP"
    elif [ "$STATUS" != 0 ]; then
        fail "exit status $STATUS"
    elif ! holds ' 1000 \r\n'; then
        fail "score.dat holds [$(bytes)]"
    else
        only_own_words && pass
    fi
fi

# --- a record survives whatever ends the game after it ------------------------
for ending in windowkill SIGKILL; do
    new_case "a new record survives $ending" ' 0 \r\n'
    start
    w=$(record_from_a_run)
    if [ -z "$w" ]; then
        fail "no window appeared"
        continue
    fi
    if [ "$ending" = windowkill ]; then xdotool windowkill "$w"; else kill -KILL "$GAME_PID"; fi
    # (bash reports a killed job on stderr; that is no news here)
    finish 100 2>/dev/null || { fail "still running 10 s after $ending"; continue; }
    if holds_a_new_record; then pass; else fail "score.dat holds [$(bytes)], expected the run's record"; fi
done

# --- the save-error box -------------------------------------------------------
# The box's picture in a locale; the game is then ended by SIGTERM.
box_in_locale() {   # LOCALE OUT.png
    new_case "the save-error box in the locale $1" ' 5000 \r\n'
    chmod 444 "$prog/score.dat"
    start LC_ALL="$1" LANG="$1"
    local w box=
    w=$(main_window)
    [ -n "$w" ] || { fail "no window appeared"; return; }
    sleep 0.5
    timeout 5 xdotool windowfocus --sync "$w" 2>/dev/null
    hold Escape 0.3
    # On a busy machine the focus may not have reached the window in time
    # for the Escape: while the game's window is all there is, it is given
    # the focus and the key again every five seconds.
    for i in $(seq 150); do
        box=$(xdotool search --onlyvisible --pid "$GAME_PID" 2>/dev/null | grep -vx "$w" | head -n1)
        [ -z "$box" ] && ! xdotool search --onlyvisible --pid "$GAME_PID" 2>/dev/null | grep -qx "$w" &&
            box=$(xdotool search --onlyvisible --pid "$GAME_PID" 2>/dev/null | head -n1)
        [ -n "$box" ] && break
        if [ $((i % 25)) = 0 ] && xdotool search --onlyvisible --pid "$GAME_PID" 2>/dev/null | grep -qx "$w"; then
            timeout 5 xdotool windowfocus --sync "$w" 2>/dev/null
            hold Escape 0.3
        fi
        sleep 0.2
    done
    [ -n "$box" ] || { fail "no box appeared after the failed save"; return; }
    sleep 0.5
    import -window "$box" "$2" 2>/dev/null || { fail "cannot take a picture of the box"; return; }
    kill -TERM "$GAME_PID"
    if ! finish 50; then
        fail "SIGTERM did not end the game while the box was up"
        return
    fi
    holds ' 5000 \r\n' || { fail "the read-only file changed: [$(bytes)]"; return; }
    grep -q "score.dat: the file is read-only" "$work/game.err" || { fail "no line names the file and the reason"; return; }
    only_own_words && pass
}
box_in_locale C "$work/box-c.png"
box_in_locale C.UTF-8 "$work/box-utf8.png"
if [ -s "$work/box-c.png" ] && [ -s "$work/box-utf8.png" ]; then
    CASE="the save-error box"
    # Text in it: a good share of dark pixels on the light background.
    dark=$(convert "$work/box-c.png" -colorspace gray -threshold 50% -negate -format '%[fx:mean]' info:)
    if ! awk -v d="$dark" 'BEGIN { exit !(d > 0.02) }'; then
        fail "hardly any text in the box ($dark dark)"
    elif [ "$(convert "$work/box-c.png" rgb:- | md5sum)" != "$(convert "$work/box-utf8.png" rgb:- | md5sum)" ]; then
        fail "the box looks different in the C and the UTF-8 locale"
    else
        pass
    fi
fi

# --- a start-up failure in a box --------------------------------------------------
new_case "a broken data file is shown in a box"
rm "$prog/bmp/title.bmp"
start
box=$(main_window)
if [ -z "$box" ]; then
    fail "no box appeared (status $(finish 1; echo "$STATUS"))"
else
    sleep 0.5
    kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended with the box up"
    timeout 5 xdotool windowfocus --sync "$box" 2>/dev/null
    xdotool key Return
    if ! finish 100; then
        fail "Enter did not close the box"
    elif [ "$STATUS" != 1 ]; then
        fail "exit status $STATUS, expected 1"
    elif [ "$(wc -l < "$work/game.err")" -lt 1 ] || ! grep -q "bmp/title.bmp: cannot open" "$work/game.err"; then
        fail "no line naming the file"
    else
        only_own_words && pass
    fi
fi

# --- score.dat as an editor left it ----------------------------------------------
# A byte order mark or a blank first line still holds the record; a file with
# no number is kept as score.dat.unreadable, the window says so over the
# title for a few seconds (yellow words in a dark band), and the record
# starts at 1000.
notice_pixels() {   # PNG: how many pixels of the notice's band (rows 426 to 458 of 600) have its yellow
    local w h
    read -r w h <<<"$(identify -format '%w %h' "$1" 2>/dev/null)"
    [ -n "$h" ] || { echo 0; return; }
    convert "$1" -crop "${w}x$((h * 32 / 600))+0+$((h * 426 / 600))" +repage \
        -fuzz 8% -fill black +opaque 'rgb(255,227,66)' -fill white -opaque 'rgb(255,227,66)' \
        -format '%[fx:int(mean*w*h)]' info: 2>/dev/null || echo 0
}
editor_file() {   # NAME BYTES EXPECTED-AFTER KEPT(yes|no)
    new_case "$1" "$2"
    cp "$prog/score.dat" "$work/before.dat"
    start SDL_AUDIODRIVER=dummy
    local w
    w=$(main_window)
    [ -n "$w" ] || { fail "no window appeared"; return; }
    sleep 1
    import -window "$w" "$work/editor.png" 2>/dev/null || { fail "cannot take a picture of the window"; return; }
    kill -TERM "$GAME_PID"
    finish 100 || { fail "still running 10 s after SIGTERM"; return; }
    holds "$3" || { fail "score.dat holds [$(bytes)]"; return; }
    local yellow
    yellow=$(notice_pixels "$work/editor.png")
    if [ "$4" = yes ]; then
        cmp -s "$prog/score.dat.unreadable" "$work/before.dat" || { fail "the file was not kept as score.dat.unreadable"; return; }
        grep -q "it is kept as .*score.dat.unreadable" "$work/game.err" || { fail "no line says where the file went"; return; }
        [ "$yellow" -gt 200 ] || { fail "no notice in the window ($yellow yellow pixels)"; return; }
    else
        [ ! -e "$prog/score.dat.unreadable" ] || { fail "a readable record was set aside"; return; }
        [ "$yellow" -lt 200 ] || { fail "a notice with nothing to tell ($yellow yellow pixels)"; return; }
    fi
    only_own_words && pass
}
editor_file "a byte order mark" '\xEF\xBB\xBF 5000 \r\n' ' 5000 \r\n' no
editor_file "a blank first line" '\r\n 7000\r\n' ' 7000 \r\n' no
editor_file "no number at all" 'best: lots\r\n' ' 1000 \r\n' yes

# --- a lost display ---------------------------------------------------------------
# The X server goes away under the game: it saves what a clean shutdown saves
# (score.dat and last.replay, which the runner replays to its end), says so
# in one line and exits 1. Each case has an X server of its own to lose.
lost_display() {   # NAME SCORE-BYTES EXPECTED-BYTES [run]
    if [ -n "$2" ]; then new_case "$1" "$2"; else new_case "$1"; fi
    [ -n "$XVFB_PID" ] && { kill "$XVFB_PID"; wait "$XVFB_PID" 2>/dev/null; }
    pm_start_xvfb "$work" || { XVFB_PID=; fail "no X server"; return; }
    start SDL_AUDIODRIVER=dummy
    local w
    w=$(main_window)
    [ -n "$w" ] || { fail "no window appeared"; return; }
    sleep 0.5
    if [ $# -gt 3 ]; then
        # A run given up: killed in its game over, before the title is back.
        timeout 5 xdotool windowfocus --sync "$w" 2>/dev/null
        hold Shift_L 0.3
        sleep 0.3
        hold Delete 0.1
    fi
    kill "$XVFB_PID"
    wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=
    finish 100 || { fail "still running 10 s after the X server went"; return; }
    [ "$STATUS" = 1 ] || { fail "exit status $STATUS, expected 1"; return; }
    holds "$3" || { fail "score.dat holds [$(bytes)]"; return; }
    grep -q '^pellimunch: the connection to the display broke' "$work/game.err" || { fail "no line says why"; return; }
    only_own_words || return
    [ -s "$prog/last.replay" ] || { fail "no last.replay"; return; }
    tail -n1 "$prog/last.replay" | grep -q '^end [0-9]* close ' || { fail "last.replay ends with [$(tail -n1 "$prog/last.replay")]"; return; }
    "$build/pellimunch-sim" --replay "$prog/last.replay" --trace none --dir "$build/" >/dev/null 2>"$work/sim.err" ||
        { fail "the runner does not replay last.replay to its end: $(cat "$work/sim.err")"; return; }
    pass
}
lost_display "a lost display on the title" '' ' 1000 \r\n'
lost_display "a lost display in a game over" '-5 \r\n' ' 0 \r\n' run

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
