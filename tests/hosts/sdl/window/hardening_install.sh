#!/usr/bin/env bash
# The installed game: `cmake --install` into a scratch DESTDIR puts the game
# in bin/, its data in share/pellimunch, a menu entry in share/applications
# and icons in share/icons/hicolor; the installed game, started by its name,
# finds its data there and keeps score.dat in the player's data folder.
#
#   bash tests/hosts/sdl/window/hardening_install.sh BUILD_DIR SOURCE_DIR
set -u
BUILD_DIR=$(cd "${1:?usage: hardening_install.sh BUILD_DIR SOURCE_DIR}" && pwd)
PREFIX=/usr/local
TMP=$(mktemp -d /tmp/pm-install-XXXXXX)
XPID=""
cleanup() {
    [ -n "$XPID" ] && kill "$XPID" 2>/dev/null
    rm -rf "$TMP"
}
trap cleanup EXIT

# shellcheck source=../../../support/check.sh
source "$(dirname "$0")/../../../support/check.sh"
skipped=0

ROOT="$TMP/root"
if ! DESTDIR="$ROOT" cmake --install "$BUILD_DIR" --prefix "$PREFIX" > "$TMP/install.log" 2>&1; then
    echo "FAIL: cmake --install failed:"; tail -20 "$TMP/install.log"; exit 1
fi
P="$ROOT$PREFIX"

# --- what lands where -------------------------------------------------------
pm_check "the game in bin/" test -x "$P/bin/pellimunch"
for f in main ground pinkline title scale; do
    pm_check "bmp/$f.bmp installed as built" cmp -s "$BUILD_DIR/bmp/$f.bmp" "$P/share/pellimunch/bmp/$f.bmp"
done
for f in eat fever highjump quake charge land naki hit bomb highscore bonus bell levelup oee; do
    pm_check "wav/$f.wav installed as built" cmp -s "$BUILD_DIR/wav/$f.wav" "$P/share/pellimunch/wav/$f.wav"
done
pm_check "no score.dat is installed" test ! -e "$P/share/pellimunch/score.dat" -a ! -e "$P/bin/score.dat"
pm_check "the man page in share/man/man6" cmp -s "$(dirname "$0")/../../../../packaging/pellimunch.6" "$P/share/man/man6/pellimunch.6"

DESKTOP="$P/share/applications/pellimunch.desktop"
pm_check "the menu entry" test -f "$DESKTOP"
entry() { grep -qx "$1" "$DESKTOP"; }
pm_check "menu entry: [Desktop Entry] first" test "$(grep -v '^#' "$DESKTOP" | grep -v '^$' | head -1)" = "[Desktop Entry]"
for line in "Type=Application" "Name=Pellimunch" "Exec=pellimunch" "Icon=pellimunch" "Terminal=false"; do
    pm_check "menu entry: $line" entry "$line"
done
pm_check "menu entry: Categories hold Game and ArcadeGame" grep -qE '^Categories=(.*;)?Game;(.*;)?ArcadeGame;' "$DESKTOP"
if command -v desktop-file-validate > /dev/null; then
    pm_check "desktop-file-validate accepts the entry" desktop-file-validate "$DESKTOP"
fi

# Each icon a well-formed PNG of its size: signature, header, and (where
# python3 is at hand) every chunk's checksum and the pixel data.
png_ok() {   # FILE SIZE
    local f=$1 size=$2
    [ -f "$f" ] || return 1
    [ "$(head -c 8 "$f" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] || return 1
    [ "$(dd if="$f" bs=1 skip=12 count=4 status=none)" = "IHDR" ] || return 1
    local w h
    w=$(dd if="$f" bs=1 skip=16 count=4 status=none | od -An -tu1 | awk '{print $1*16777216+$2*65536+$3*256+$4}')
    h=$(dd if="$f" bs=1 skip=20 count=4 status=none | od -An -tu1 | awk '{print $1*16777216+$2*65536+$3*256+$4}')
    [ "$w" = "$size" ] && [ "$h" = "$size" ] || return 1
    command -v python3 > /dev/null || return 0
    python3 - "$f" "$size" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], 'rb').read()
size = int(sys.argv[2])
at, idat, seen = 8, b'', []
while at < len(data):
    n, = struct.unpack('>I', data[at:at + 4])
    kind, body = data[at + 4:at + 8], data[at + 8:at + 8 + n]
    crc, = struct.unpack('>I', data[at + 8 + n:at + 12 + n])
    assert zlib.crc32(kind + body) == crc, 'bad checksum'
    seen.append(kind)
    if kind == b'IDAT':
        idat += body
    at += 12 + n
assert seen[0] == b'IHDR' and seen[-1] == b'IEND', 'chunk order'
raw = zlib.decompress(idat)
assert len(raw) == size * (1 + 4 * size), 'pixel data size'
# Some of the icon is the ball, some is transparent around it.
alphas = [raw[r * (1 + 4 * size) + 1 + 4 * x + 3] for r in range(size) for x in range(size)]
assert max(alphas) == 255 and min(alphas) == 0, 'no visible ball'
PY
}
for size in 32 48 64 128; do
    pm_check "icon ${size}x${size}" png_ok "$P/share/icons/hicolor/${size}x${size}/apps/pellimunch.png" "$size"
done

# --- the installed game runs ------------------------------------------------
if ! command -v Xvfb > /dev/null; then
    echo "note: Xvfb is not installed: the installed game is not started (the file checks above still ran)"
    skipped=$((skipped + 1))
else
    for n in $(seq 141 190); do [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { DISP=$n; break; }; done
    Xvfb ":$DISP" -screen 0 800x600x24 -nolisten tcp > "$TMP/xvfb.log" 2>&1 &
    XPID=$!
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$DISP" ] && break; sleep 0.1; done

    # Started by its name, as from a terminal or the menu; quit with SIGTERM
    # like a desktop session ending, which runs the normal shutdown.
    play() {   # HOME XDG_DATA_HOME(or -)
        local home=$1 xdg=$2 pid
        mkdir -p "$home"
        (
            cd "$TMP" || exit 1
            export PATH="$P/bin:$PATH" HOME="$home" DISPLAY=":$DISP" SDL_AUDIODRIVER=dummy
            unset XDG_CONFIG_HOME   # settings under the scratch HOME, not the tester's
            if [ "$xdg" = - ]; then unset XDG_DATA_HOME; else export XDG_DATA_HOME="$xdg"; fi
            exec pellimunch
        ) > "$TMP/game.out" 2> "$TMP/game.err" &
        pid=$!
        # Up and running: still alive after a while.
        sleep 2
        if ! kill -0 "$pid" 2>/dev/null; then
            wait "$pid"
            STATUS=$?
            return
        fi
        kill -TERM "$pid"
        wait "$pid"
        STATUS=$?
    }
    says() { echo "      status $STATUS, stderr: $(head -3 "$TMP/game.err")"; }

    play "$TMP/home1" -
    pm_check "the installed game starts and quits cleanly" test "$STATUS" = 0 || says
    pm_check "score.dat in ~/.local/share/pellimunch" \
        cmp -s "$TMP/home1/.local/share/pellimunch/score.dat" <(printf ' 1000 \r\n')
    pm_check "nothing written beside the installed game" test ! -e "$P/bin/score.dat"

    play "$TMP/home2" "$TMP/xdg"
    pm_check "the installed game starts with XDG_DATA_HOME set" test "$STATUS" = 0 || says
    pm_check "score.dat in \$XDG_DATA_HOME/pellimunch" cmp -s "$TMP/xdg/pellimunch/score.dat" <(printf ' 1000 \r\n')

    # The record the player keeps there is read back, and kept.
    mkdir -p "$TMP/xdg/pellimunch"
    printf ' 4321 \r\n' > "$TMP/xdg/pellimunch/score.dat"
    play "$TMP/home2" "$TMP/xdg"
    pm_check "a kept record survives a run" cmp -s "$TMP/xdg/pellimunch/score.dat" <(printf ' 4321 \r\n')

    # A broken installation names the installed file it misses.
    mv "$P/share/pellimunch/bmp/title.bmp" "$TMP/title.bmp"
    play "$TMP/home3" -
    pm_check "a missing installed bitmap ends the game with status 1" test "$STATUS" = 1 || says
    pm_check "the message names the installed file" grep -q "share/pellimunch/bmp/title.bmp" "$TMP/game.err" || says
    mv "$TMP/title.bmp" "$P/share/pellimunch/bmp/title.bmp"
fi

echo "$PASSED passed, $FAILED failed, $skipped skipped"
[ $FAILED -eq 0 ]
