#!/usr/bin/env bash
# The tiers hold: the game library calls nothing of the machine (no file, no
# clock, no environment, no output), nothing outside the game names a field
# of its record, no source includes a tier above its own, and the headless
# runner carries no SDL.
# Usage: tiers_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
src=${2:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}

fail=0
# What the game may take from outside itself: memory, strings, maths and the
# C++ runtime (exceptions, allocation, the sanitizers' hooks). Anything else
# (a file, a clock, a thread, a socket, the environment, output) is refused.
allowed='^(mem(cpy|move|set|cmp|chr)|str(len|cmp|ncmp|chr|rchr)|(__)?(v?snprintf)|'\
'malloc|calloc|realloc|free|operator (new|delete)(\[\])?|'\
'(sin|cos|tan|asin|acos|atan|atan2|sincos|sqrt|cbrt|hypot|pow|exp|exp2|log|log2|log10|floor|ceil|trunc|round|nearbyint|rint|fmod|fabs|ldexp|frexp|modf)f?|'\
'__cxa_[a-z_]+|_Unwind_[A-Za-z_]+|__gxx_personality_v0|__stack_chk_fail|__dso_handle|_GLOBAL_OFFSET_TABLE_|'\
'__(asan|ubsan|sanitizer|lsan)_[A-Za-z0-9_]+|'\
'std::(__throw_[a-z_]+|to_chars|__cxx11::basic_string|basic_string|__detail::|runtime_error|logic_error|exception|bad_alloc|length_error|out_of_range|invalid_argument)|'\
'(typeinfo|vtable|typeinfo name) for (__cxxabiv1::|std::)'\
')'
check_quiet() {   # library [the libraries of the game it links]
    local lib=$1
    shift
    [ -f "$lib" ] || { echo "FAIL: $lib is missing"; fail=1; return; }
    # Every function the library needs from outside itself: what its objects
    # need, less what they define for each other.
    local needed defined bad
    needed=$(nm -u --demangle "$lib" | sed -n 's/^ *U //p' | sed 's/@.*//' | sort -u)
    defined=$(nm --defined-only --demangle "$lib" "$@" | sed -n 's/^[0-9a-f]* [A-Za-z] //p' | sort -u)
    bad=$(comm -23 <(echo "$needed") <(echo "$defined") | grep -vE "$allowed" || true)
    if [ -n "$bad" ]; then
        echo "FAIL: $(basename "$lib") reaches outside the game:"
        echo "$bad" | sed 's/^/    /'
        fail=1
    else
        echo "ok    $(basename "$lib") needs only memory, string, maths and C++ runtime functions"
    fi
}
check_quiet "$build/libpellimunch_game.a" "$build/libpellimunch_canvas.a"
check_quiet "$build/libpellimunch_canvas.a"

sim="$build/pellimunch-sim"
if nm "$sim" 2>/dev/null | grep -qi 'sdl' || ldd "$sim" | grep -qi 'libSDL'; then
    echo "FAIL: pellimunch-sim links SDL:"
    ldd "$sim" | grep -i sdl | sed 's/^/    /' || true
    fail=1
else
    echo "ok    pellimunch-sim carries no SDL"
fi
python3 "$src/tests/support/include_directions.py" "$src" || fail=1
python3 "$src/tests/support/sealed_record.py" "$build" "$src" || fail=1
exit $fail
