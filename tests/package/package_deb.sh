#!/usr/bin/env bash
# The Debian package: packaging/build_deb.sh makes pellimunch_<version>_<arch>.deb
# in a build of its own (BUILD_DIR/deb), with pellimunch-board_<version>_<arch>.deb
# beside it (lintian-clean, hardened, its unit and options in place, the same
# bytes when built again); lintian, appstreamcli and
# desktop-file-validate find nothing to complain about; hardening-check
# finds every protection in the game; its debug symbols are in
# pellimunch-dbgsym_<version>_<arch>.ddeb under its build id; a second build
# in another folder gives the very same bytes; and the game unpacked
# from it into a scratch root runs under Xvfb, finds its data through the
# package's layout, shows the title, quits on Escape with status 0 and keeps
# score.dat in the player's XDG data folder, not under the root's usr/.
# Every tool it needs must be there (test.sh installs them): a missing one fails.
#
#   bash tests/package/package_deb.sh BUILD_DIR SOURCE_DIR
set -u
build=$(cd "${1:?usage: package_deb.sh BUILD_DIR SOURCE_DIR}" && pwd)
source_dir=$(cd "${2:?usage: package_deb.sh BUILD_DIR SOURCE_DIR}" && pwd)

# shellcheck source=../support/xvfb.sh
source "$(dirname "$0")/../support/xvfb.sh"
pm_need_tools cmake cpack dpkg dpkg-deb dpkg-shlibdeps file gzip lintian appstreamcli \
    desktop-file-validate hardening-check readelf Xvfb xdotool import convert || exit 1

pm_scratch deb
work=$WORK

# shellcheck source=../support/check.sh
source "$(dirname "$0")/../support/check.sh"
fatal() {
    echo "FAIL: $*"
    echo "$PASSED passed, $((FAILED + 1)) failed"
    exit 1
}

# --- the package ------------------------------------------------------------
version=$(sed -n 's/^project(Pellimunch VERSION \([0-9][0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
[ -n "$version" ] || fatal "no version in the project() line of CMakeLists.txt"
arch=$(dpkg --print-architecture)

# The time the package is dated by default: the last commit's (outside a
# git checkout, the time of CMakeLists.txt).
epoch=$(git -C "$source_dir" log -1 --format=%ct 2>/dev/null) || epoch=$(stat -c %Y "$source_dir/CMakeLists.txt")
if ! env -u SOURCE_DATE_EPOCH bash "$source_dir/packaging/build_deb.sh" "$build/deb" >"$work/build.log" 2>&1; then
    tail -n 30 "$work/build.log"
    fatal "packaging/build_deb.sh failed"
fi
deb=$(tail -n 1 "$work/build.log")
pm_check "the package is named pellimunch_${version}_${arch}.deb" test "$(basename "$deb")" = "pellimunch_${version}_${arch}.deb"
[ -f "$deb" ] || fatal "no package at $deb"

field() { dpkg-deb -f "$deb" "$1"; }
pm_check "Package: pellimunch" test "$(field Package)" = pellimunch
pm_check "Version is the project's ($version)" test "$(field Version)" = "$version"
pm_check "Architecture: $arch" test "$(field Architecture)" = "$arch"
pm_check "Section: games" test "$(field Section)" = games
depends=$(field Depends)
for dep in fonts-ipafont-gothic libsdl2-2.0-0 libsdl2-ttf-2.0-0 libfontconfig1 libc6; do
    pm_check "Depends names $dep" grep -qE "(^|, )$dep( |,|$)" <<<"$depends"
done
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes, installed size $(field Installed-Size) KiB"
echo "depends: $depends"

# --- what lands where -------------------------------------------------------
root=$work/root
dpkg-deb -x "$deb" "$root" || fatal "dpkg-deb -x failed"
touch "$work/unpacked"
pm_check "every file and folder belongs to root" \
    test -z "$(dpkg-deb -c "$deb" | awk '$2 != "root/root"')"
pm_check "everything under /usr" test "$(ls "$root")" = usr
pm_check "nothing in /usr/bin, /usr/local or /usr/share/pellimunch" \
    test ! -e "$root/usr/bin" -a ! -e "$root/usr/local" -a ! -e "$root/usr/share/pellimunch"
pm_check "the game in /usr/games" test -x "$root/usr/games/pellimunch"
data=$root/usr/share/games/pellimunch
for kind in bmp wav; do
    pm_check "$kind/ in /usr/share/games/pellimunch as the build makes it" diff -r "$build/$kind" "$data/$kind"
done
pm_check "no score.dat is packaged" test -z "$(find "$root" -name 'score.dat')"
pm_check "the menu entry as in the source" cmp -s "$source_dir/packaging/pellimunch.desktop" "$root/usr/share/applications/pellimunch.desktop"
for size in 32 48 64 128; do
    pm_check "icon ${size}x${size}" cmp -s "$build/icons/$size/pellimunch.png" "$root/usr/share/icons/hicolor/${size}x${size}/apps/pellimunch.png"
done
doc=$root/usr/share/doc/pellimunch
pm_check "a machine-readable copyright file" \
    grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$doc/copyright"
pm_check "the changelog is compressed and starts at this version" \
    test "$(gzip -dc "$doc/changelog.gz" | head -n 1)" = "pellimunch ($version) unstable; urgency=medium"
metainfo=$(ls "$root"/usr/share/metainfo/*.metainfo.xml 2>/dev/null)
pm_check "one AppStream metainfo file" test "$(wc -w <<<"$metainfo")" = 1
pm_check "metainfo: launched by the menu entry" grep -q '<launchable type="desktop-id">pellimunch.desktop</launchable>' "$metainfo"
pm_check "metainfo: three screenshots with captions" test "$(grep -c '<caption>[^<]' "$metainfo")" = 3
pm_check "metainfo: a content rating" grep -q '<content_rating type="oars-1.1">' "$metainfo"
pm_check "metainfo: the release is this version" grep -q "<release version=\"$version\"" "$metainfo"

# --- Debian's own checks ----------------------------------------------------
# Clean means no error and no warning; what is meant as it is has its override
# (with its reason) in packaging/.
lintian --fail-on error,warning "$deb" >"$work/lintian.out" 2>&1
status=$?
grep -E '^[EW]: ' "$work/lintian.out" | sed 's/^/      /'
pm_check "lintian: no errors, no warnings" test "$status" = 0 -a -z "$(grep -E '^[EW]: ' "$work/lintian.out")"

appstreamcli validate --no-net "$metainfo" >"$work/appstream.out" 2>&1
status=$?
grep -E '^[EW]: ' "$work/appstream.out" | sed 's/^/      /'
pm_check "appstreamcli validate: no errors, no warnings" test "$status" = 0 -a -z "$(grep -E '^[EW]: ' "$work/appstream.out")"

desktop-file-validate "$root/usr/share/applications/pellimunch.desktop" >"$work/desktop.out" 2>&1
status=$?
sed 's/^/      /' "$work/desktop.out"
pm_check "desktop-file-validate: nothing to say" test "$status" = 0 -a ! -s "$work/desktop.out"

# --- hardened, with its debug symbols apart ----------------------------------
game=$root/usr/games/pellimunch
# Control-flow protection is asked for only where Debian's flags give it
# (dpkg 1.22 and later; Debian 12's dpkg-buildflags has no such feature).
skip=()
DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS | grep -q -- -fcf-protection ||
    skip=(--nocfprotection)
hardening-check "${skip[@]}" "$game" >"$work/hardening.out" 2>&1
status=$?
sed 's/^/      /' "$work/hardening.out"
pm_check "hardening-check ${skip[*]}: every protection Debian's flags give is there" test "$status" = 0
pm_check "  ... the stack protector among them" grep -q 'Stack protected: yes' "$work/hardening.out"
pm_check "the game in the package is stripped" sh -c "file -b '$game' | grep -q ', stripped'"
ddeb=$(sed -n 's/^\(.*pellimunch-dbgsym_.*\.ddeb\)$/\1/p' "$work/build.log" | tail -n 1)
pm_check "the debug symbols are pellimunch-dbgsym_${version}_${arch}.ddeb" \
    test "$(basename "${ddeb:-none}")" = "pellimunch-dbgsym_${version}_${arch}.ddeb" -a -f "${ddeb:-/none}"
if [ -f "${ddeb:-/none}" ]; then
    pm_check "the debug package depends on this very package" \
        test "$(dpkg-deb -f "$ddeb" Depends)" = "pellimunch (= $version)"
    id=$(readelf -n "$game" 2>/dev/null | sed -n 's/.*Build ID: \([0-9a-f]*\).*/\1/p')
    dbg=$work/dbgsym
    dpkg-deb -x "$ddeb" "$dbg"
    symbols=$dbg/usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug
    pm_check "the debug symbols are found by the game's build id ($id)" test -n "$id" -a -f "$symbols"
    pm_check "its md5sums name the installed files" \
        test "$(dpkg-deb --ctrl-tarfile "$ddeb" | tar -xO ./md5sums | awk '{print $2}')" = "${symbols#"$dbg"/}"
    pm_check "they hold the debug information" sh -c "readelf -S '$symbols' 2>/dev/null | grep -q '\.debug_info'"
    pm_check "no build folder is named in them" sh -c "! grep -q -e '$build' -e '$source_dir' '$symbols' '$game'"
fi
stamp=$(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S')
pm_check "every file in the package is dated at the last commit ($stamp)" \
    test "$(dpkg-deb --fsys-tarfile "$deb" | TZ=UTC tar -tv --full-time | awk '{print $4" "$5}' | sort -u)" = "$stamp"
pm_check "the release is dated the day of the last commit" grep -q "date=\"${stamp% *}\"" "$metainfo"

# --- reproducible ------------------------------------------------------------
# The same source built again in another folder gives the very same bytes
# (dated as the first build was, should a commit come in between).
again=$work/elsewhere/deb
if SOURCE_DATE_EPOCH=$epoch JOBS=${JOBS:-2} bash "$source_dir/packaging/build_deb.sh" "$again" >"$work/again.log" 2>&1; then
    pm_check "a build in another folder gives the same .deb" cmp "$deb" "$again/$(basename "$deb")"
    pm_check "and the same .ddeb" cmp "${ddeb:-/none}" "$again/$(basename "${ddeb:-none}")"
else
    tail -n 30 "$work/again.log"
    pm_check "the second build succeeds" false
fi

# --- the world table's package ------------------------------------------------
board_deb=$(sed -n 's/^\(.*pellimunch-board_.*\.deb\)$/\1/p' "$work/build.log" | tail -n 1)
pm_check "the board's package is pellimunch-board_${version}_${arch}.deb" \
    test "$(basename "${board_deb:-none}")" = "pellimunch-board_${version}_${arch}.deb" -a -f "${board_deb:-/none}"
if [ -f "${board_deb:-/none}" ]; then
    lintian --fail-on error,warning "$board_deb" >"$work/lintian-board.out" 2>&1
    status=$?
    grep -E '^[EW]: ' "$work/lintian-board.out" | sed 's/^/      /'
    pm_check "lintian on the board's package: no errors, no warnings" \
        test "$status" = 0 -a -z "$(grep -E '^[EW]: ' "$work/lintian-board.out")"
    board_root=$work/board-root
    dpkg-deb -x "$board_deb" "$board_root"
    for f in usr/bin/pellimunch-board lib/systemd/system/pellimunch-board.service etc/default/pellimunch-board \
        usr/share/man/man8/pellimunch-board.8.gz usr/share/doc/pellimunch-board/copyright; do
        pm_check "the board's package holds /$f" test -f "$board_root/$f"
    done
    pm_check "/etc/default/pellimunch-board is a conffile" \
        test "$(dpkg-deb --ctrl-tarfile "$board_deb" | tar -xO ./conffiles)" = /etc/default/pellimunch-board
    unit=$board_root/lib/systemd/system/pellimunch-board.service
    pm_check "the service runs as a user of its own" grep -qx 'User=pellimunch-board' "$unit"
    pm_check "  ... with its state in /var/lib/pellimunch-board" grep -qx 'StateDirectory=pellimunch-board' "$unit"
    pm_check "  ... and the system read-only" grep -qx 'ProtectSystem=strict' "$unit"
    pm_check "  ... on 127.0.0.1:8080 until configured" \
        grep -q -- '--listen 127.0.0.1 --port 8080' "$board_root/etc/default/pellimunch-board"
    pm_check "the postinst makes the system user" grep -q 'adduser --system' \
        <(dpkg-deb --ctrl-tarfile "$board_deb" | tar -xO ./postinst)
    hardening-check "${skip[@]}" "$board_root/usr/bin/pellimunch-board" >"$work/hardening-board.out" 2>&1
    status=$?
    sed 's/^/      /' "$work/hardening-board.out"
    pm_check "hardening-check on the board: every protection Debian's flags give" test "$status" = 0
    pm_check "the unpacked board answers --help" sh -c "'$board_root/usr/bin/pellimunch-board' --help | grep -q 'hide ID'"
    pm_check "a build in another folder gives the same board package" cmp "$board_deb" "$again/$(basename "$board_deb")"
fi

# --- the unpacked game runs -------------------------------------------------
export HOME=$work/home XDG_DATA_HOME=$work/xdg SDL_AUDIODRIVER=dummy
mkdir -p "$HOME"

# Once the game can say its version, it is the package's.
if "$game" --version >"$work/version.out" 2>&1 </dev/null; then
    pm_check "--version says $version" grep -qw "$version" "$work/version.out"
else
    echo "note: this build has no --version yet"
fi

pm_start_xvfb "$work" || fatal "no X server"

(cd "$work" && exec "$game") 2>"$work/game.err" &
GAME_PID=$!
said() { [ -s "$work/game.err" ] && sed 's/^/      game: /' "$work/game.err"; return 0; }

window=$(timeout 20 xdotool search --sync --name '^Pellimunch$' 2>/dev/null | head -n1)
if [ -z "$window" ]; then
    said
    fatal "no window titled Pellimunch appeared within 20 s"
fi
# The title is up once a fair part of the screen is lit (the ground strip
# alone is a tenth of it); a black screen is not.
lit=0
for _ in $(seq 30); do
    sleep 0.5
    kill -0 "$GAME_PID" 2>/dev/null || break
    import -window root "$work/shot.png" || break
    lit=$(convert "$work/shot.png" -colorspace gray -threshold 3% -format '%[fx:mean]' info:)
    awk -v f="$lit" 'BEGIN { exit !(f >= 0.05) }' && break
done
echo "lit fraction of the screen: $lit"
pm_check "the title shows (the screen is not black)" awk -v f="$lit" 'BEGIN { exit !(f >= 0.05) }' || said

timeout 5 xdotool windowfocus --sync "$window" 2>/dev/null
xdotool keydown Escape
sleep 0.5
xdotool keyup Escape
pm_wait_exit "$GAME_PID" 100
[ -n "$STATUS" ] && GAME_PID=
pm_check "Escape quits within 10 s" test -n "$STATUS" || said
pm_check "with status 0" test "${STATUS:-none}" = 0 || said
pm_check "score.dat in \$XDG_DATA_HOME/pellimunch" cmp -s "$XDG_DATA_HOME/pellimunch/score.dat" <(printf ' 1000 \r\n')
pm_check "nothing written under the unpacked root" test -z "$(find "$root" -newer "$work/unpacked")"

echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
