#!/usr/bin/env bash
# The game's command line, run for real and without a display: --help and
# --version answer on stdout and exit 0 (1 with one line when stdout fails), the version is the one project()
# gives in CMakeLists.txt, every bad command line gets one line on stderr
# and exit status 2, and the man page documents every option --help lists.
# Usage: options_test.sh BUILD_DIR SOURCE_DIR
set -u
build=${1:?usage: options_test.sh BUILD_DIR SOURCE_DIR}
source_dir=${2:?usage: options_test.sh BUILD_DIR SOURCE_DIR}
game="$build/pellimunch"
[ -x "$game" ] || { echo "FAIL: no $game"; exit 1; }
work=$(mktemp -d /tmp/pellimunch-options.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# No display and no settings of the player's: nothing here may start SDL.
run() { env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$work/config" "$game" "$@" >"$work/out" 2>"$work/err"; }

run --help
status=$?
[ "$status" -eq 0 ] || fail "--help exited with $status"
head -n1 "$work/out" | grep -q '^usage: pellimunch ' || fail "--help does not start with the usage line"
[ -s "$work/err" ] && fail "--help wrote to stderr: $(cat "$work/err")"

version=$(sed -n 's/^project(Pellimunch VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
run --version
[ "$(cat "$work/out")" = "pellimunch $version" ] || fail "--version says \"$(cat "$work/out")\", not \"pellimunch $version\""

# A failed write to standard output is a failure: exit 1, one line on stderr.
if [ -w /dev/full ]; then
    for args in --help --version "$build/pellimunch-sim --help"; do
        case $args in
            */*) $args >/dev/full 2>"$work/err" ;;   # the runner
            *) env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$work/config" "$game" "$args" >/dev/full 2>"$work/err" ;;
        esac
        status=$?
        [ "$status" -eq 1 ] || fail "\"$args\" to a full disk exited with $status, not 1"
        [ "$(wc -l <"$work/err")" -eq 1 ] && grep -q "cannot write to standard output" "$work/err" ||
            fail "\"$args\" to a full disk said \"$(cat "$work/err")\""
    done
fi

# Each bad command line: exit 2, nothing on stdout, one line on stderr that
# names what is wrong.
while IFS='|' read -r args says; do
    # shellcheck disable=SC2086  # the arguments are meant to split
    run $args
    status=$?
    [ "$status" -eq 2 ] || fail "\"$args\" exited with $status, not 2"
    [ -s "$work/out" ] && fail "\"$args\" wrote to stdout"
    [ "$(wc -l <"$work/err")" -eq 1 ] || fail "\"$args\" wrote $(wc -l <"$work/err") lines to stderr"
    grep -q "^pellimunch: .*$says" "$work/err" || fail "\"$args\" said \"$(cat "$work/err")\", expected \"$says\""
done <<'CASES'
--bogus|unknown option --bogus
-f|unknown option -f
--scale 0|bad value "0" for --scale
--scale two|bad value "two" for --scale
--volume 101|bad value "101" for --volume
--volume|option --volume needs a value
--mute=1|option --mute takes no value
--window --fullscreen|cannot both be given
score.dat|unexpected argument "score.dat"
CASES
[ -d "$work/config" ] && fail "a bad command line wrote settings"

# The man page documents every option.
run --help
for option in $(grep -o -- '--[a-z]*' "$work/out" | sort -u); do
    grep -q -- "\\\\-\\\\-${option#--}" "$source_dir/packaging/pellimunch.6" || fail "the man page does not document $option"
done

[ "$failures" -eq 0 ] || exit 1
echo "PASS: --help, --version ($version), both failing on a full disk, bad options exit 2 with one line, the man page has every option"
