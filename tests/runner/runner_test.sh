#!/usr/bin/env bash
# The headless runner as tools outside the game use it: its trace format,
# its replay guarantee, its options, its pictures and its exit codes.
# Usage: runner_test.sh BUILD_DIR SOURCE_DIR
set -uo pipefail

BUILD=${1:?usage: runner_test.sh BUILD_DIR SOURCE_DIR}
SIM="$BUILD/pellimunch-sim"
[ -x "$SIM" ] || { echo "no runner at $SIM"; exit 1; }
[ -f "$BUILD/bmp/main.bmp" ] || { echo "no game data in $BUILD/bmp"; exit 1; }

T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }
check() {   # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then pass; else fail "$what"; fi
}

# Every run keeps its high score in the temp folder, never in the build.
sim() { "$SIM" --score "$T/score.dat" "$@"; }

# --- The trace format -------------------------------------------------------
cat >"$T/play.txt" <<'EOF'
# start a run, run right, jump, dash
60 -              # title
1 LShift
30 Right
12 Right+Space
1 Up
40 Left
20 -
EOF
sim --seed 42 --script "$T/play.txt" --trace state,sound,draw >"$T/full.jsonl"
check "full trace run exits 0" test $? -eq 0

cat >"$T/check_trace.py" <<'EOF'
import json, sys

SCALARS = """SpinAngle ChainShine QuitFlag GameState Blink GroundFrame ShineSweep
LastActiveItem BallX BallY BallVX BallVY OnGround Dashing DashCooldown ComboCount BallKind
KindTimer QuakeTimer HighJump SlamTimer KindBoost StaggerTimer Lives GraceTimer BannerTextX
BannerTextY BannerTextSpeed BannerTextPause ShotX ShotY ShotVX Score ShownScore HighScore
ShowHighScore ChainCount LastChainCount ChainBonusTimer ChainBonus FeverPoints FeverThreshold
FeverGaugeTimer FeverGauge Fever Level LevelTimer LevelBannerTimer GameOverTimer LastBaseItem
RivalX RivalY RivalVX RivalBumpVX RivalMaxSpeed RivalVY RivalAccel RivalDizzyTimer RivalFrame
RivalStunTimer RivalAwayTimer""".split()
FLOATS = set("""ChainShine ShineSweep BallX BallY BallVX BallVY BannerTextY BannerTextSpeed
ShotX ShotY ShotVX RivalX RivalY RivalVX RivalBumpVX RivalMaxSpeed RivalVY RivalAccel""".split())
RECTS = "WorkRect MouthRect BodyRect ShotRect RivalRect".split()
LISTS = [("Items", 100, 6), ("Popups", 11, 5), ("Specks", 31, 6), ("Particles", 64, 6)]
ORDER = SCALARS + RECTS + [n for n, _, _ in LISTS] + ["ExtraLifeGiven"]
BOOLS = "QuitFlag Blink OnGround Dashing HighJump KindBoost ShowHighScore Fever".split()
SOUNDS = set("""EatSound FeverSound HighJumpSound QuakeSound ChargeSound LandSound BellSound
NakiSound OeeSound LevelUpSound HitSound BombSound HighScoreSound BonusSound""".split())
SURFACES = set("MainSurface GroundSurface PinkLineSurface TitleSurface ScaleSurface".split())

def fail(msg):
    print("trace check:", msg)
    sys.exit(1)

def is_int(v):
    return isinstance(v, int) and not isinstance(v, bool)

def check_state(n, s):
    if list(s.keys()) != ORDER:
        fail(f"frame {n}: members {list(s.keys())[:5]}... not in the documented order")
    for k in SCALARS:
        v = s[k]
        if k in FLOATS:
            if not (is_int(v) or isinstance(v, float)):
                fail(f"frame {n}: {k} = {v!r} is not a number")
        elif not is_int(v):
            fail(f"frame {n}: {k} = {v!r} is not an integer")
    for k in BOOLS:
        if s[k] not in (-1, 0):
            fail(f"frame {n}: {k} = {s[k]} is not -1 or 0")
    for k in RECTS:
        if not (isinstance(s[k], list) and len(s[k]) == 4 and all(is_int(x) for x in s[k])):
            fail(f"frame {n}: {k} is not [l,t,r,b]")
    for name, count, fields in LISTS:
        v = s[name]
        if len(v) != count or any(len(slot) != fields for slot in v):
            fail(f"frame {n}: {name} is not {count} slots of {fields}")
    if len(s["ExtraLifeGiven"]) != 6 or any(x not in (-1, 0) for x in s["ExtraLifeGiven"]):
        fail(f"frame {n}: ExtraLifeGiven is not 6 Booleans")

def check_sound(n, entries):
    for e in entries:
        ok = (len(e) >= 2 and e[0] in SOUNDS and
              ((e[1] in ("stop", "play") and len(e) == 2) or
               (e[1] in ("freq", "pan") and len(e) == 3 and is_int(e[2]))))
        if not ok:
            fail(f"frame {n}: bad sound entry {e}")

def check_draw(n, entries):
    if not entries or entries[0] != ["fill", [0, 0, 800, 600], [0, 0, 0]]:
        fail(f"frame {n}: the frame does not start with the black fill: {entries[:1]}")
    for e in entries:
        kind = e[0]
        if kind == "fill":
            ok = len(e) == 3 and len(e[1]) == 4 and len(e[2]) == 3
        elif kind in ("opaque", "keyed"):
            ok = len(e) == 5 and e[1] in SURFACES and len(e[2]) == 4 and is_int(e[3]) and is_int(e[4])
        elif kind == "text":
            ok = len(e) == 4 and is_int(e[1]) and is_int(e[2]) and isinstance(e[3], str)
        else:
            ok = False
        if not ok:
            fail(f"frame {n}: bad draw entry {e}")

path, channels, first, last, every, end = sys.argv[1:7]
channels = [] if channels == "none" else channels.split(",")
first, last, every = int(first), int(last), int(every)
with open(path, "rb") as f:
    raw = f.read()
if not raw.endswith(b"\n"):
    fail("the trace does not end with a newline")
lines = [json.loads(line) for line in raw.decode("utf-8").split("\n")[:-1]]
frames = [d["frame"] for d in lines[:-1]]
expected = ([] if not channels else [0] + [n for n in range(max(first, 1), last + 1) if n % every == 0])
if frames != expected:
    fail(f"frame lines {frames[:8]}... expected {expected[:8]}...")
sounds = draws = texts = 0
for d in lines[:-1]:
    keys = ["frame"] + [c for c in ("state", "sound", "draw") if c in channels]
    if list(d.keys()) != keys:
        fail(f"frame {d['frame']}: members {list(d.keys())}, expected {keys}")
    if "state" in d:
        check_state(d["frame"], d["state"])
    if "sound" in d:
        check_sound(d["frame"], d["sound"])
        sounds += len(d["sound"])
    if "draw" in d and d["frame"] > 0:
        check_draw(d["frame"], d["draw"])
        draws += len(d["draw"])
        texts += sum(1 for e in d["draw"] if e[0] == "text")
endline = lines[-1]
if list(endline.keys()) != ["frame", "end", "HighScore"] or not is_int(endline["HighScore"]):
    fail(f"bad end line {endline}")
want_frame, want_end = end.split(":")
if endline["frame"] != int(want_frame) or endline["end"] != want_end:
    fail(f"end line {endline}, expected frame {want_frame} end {want_end}")
if "draw" in channels and (draws == 0 or texts == 0):
    fail("the draw channel recorded no copies or no text")
if "sound" in channels and "state" in channels and sounds == 0:
    fail("the sound channel recorded nothing in a run that lands jumps")
EOF
check "full trace is JSON Lines with every documented member" \
    python3 "$T/check_trace.py" "$T/full.jsonl" state,sound,draw 1 164 1 164:script
check "the title shows the default high score" \
    python3 -c 'import json,sys; sys.exit(json.loads(open(sys.argv[1]).readline())["state"]["HighScore"] != 1000)' "$T/full.jsonl"
check "the shutdown saved the high score in its file format" \
    cmp -s "$T/score.dat" <(printf ' 1000 \r\n')

# --- Replay: same seed and script give the same bytes -------------------------
sim --seed 42 --script "$T/play.txt" --trace state,sound,draw >"$T/again.jsonl"
check "same seed and script replay byte for byte" cmp -s "$T/full.jsonl" "$T/again.jsonl"
sim --seed 43 --script "$T/play.txt" --trace state,sound,draw >"$T/other.jsonl"
check "a different seed gives a different run" bash -c "! cmp -s '$T/full.jsonl' '$T/other.jsonl'"
sim --seed 4294967295 --frames 3 >/dev/null
check "the largest seed is accepted" test $? -eq 0
# Seeds equal modulo 2^24 seed the generator alike.
sim --seed 5 --frames 30 >"$T/s5.jsonl"
sim --seed 16777221 --frames 30 >"$T/s5b.jsonl"
check "seeds are taken modulo 2^24" cmp -s "$T/s5.jsonl" "$T/s5b.jsonl"
# The script from standard input and written to --out.
sim --seed 42 --script - --trace state,sound,draw --out "$T/stdin.jsonl" <"$T/play.txt" >"$T/stdout.txt"
check "--script - and --out give the same trace" cmp -s "$T/full.jsonl" "$T/stdin.jsonl"
check "--out leaves standard output empty" test ! -s "$T/stdout.txt"

# --- --every, --frames and the channels -------------------------------------
sim --seed 42 --script "$T/play.txt" --every 25 >"$T/every.jsonl"
check "--every 25 writes frames 0, 25, 50, ... and the end line" \
    python3 "$T/check_trace.py" "$T/every.jsonl" state 1 164 25 164:script
check "--every lines equal the full run's lines" \
    python3 -c '
import json,sys
full = {json.loads(l)["frame"]: json.loads(l)["state"] for l in open(sys.argv[1]) if "state" in l}
for l in open(sys.argv[2]):
    d = json.loads(l)
    if "state" in d and d["state"] != full[d["frame"]]: sys.exit(1)' "$T/full.jsonl" "$T/every.jsonl"
sim --seed 42 --script "$T/play.txt" --frames 70 --trace sound >"$T/frames.jsonl"
check "--frames cuts the script short" python3 "$T/check_trace.py" "$T/frames.jsonl" sound 1 70 1 70:script
sim --seed 42 --script "$T/play.txt" --frames 300 --trace draw >"$T/longer.jsonl"
check "--frames runs past the script with no keys" \
    python3 "$T/check_trace.py" "$T/longer.jsonl" draw 1 300 1 300:script
sim --frames 50 --trace none >"$T/none.jsonl"
check "--trace none writes the end line only" \
    python3 "$T/check_trace.py" "$T/none.jsonl" none 1 50 1 50:script
sim >"$T/empty.jsonl"
check "no script and no --frames: start-up, then the shutdown" \
    python3 "$T/check_trace.py" "$T/empty.jsonl" state 1 0 1 0:script

# --- How a run ends ----------------------------------------------------------
printf ' 4321 \r\n' >"$T/score.dat"
printf '5 -\n1 Escape\n10 -\n' | sim --script - >"$T/escape.jsonl"
check "Escape ends the run in its frame, without a line for it" \
    python3 "$T/check_trace.py" "$T/escape.jsonl" state 1 5 1 6:escape
check "the high score read at start-up is reported and saved" \
    python3 -c 'import json,sys; sys.exit(json.loads(open(sys.argv[1]).readlines()[-1])["HighScore"] != 4321)' \
    "$T/escape.jsonl"
check "score.dat written back unchanged in value" cmp -s "$T/score.dat" <(printf ' 4321 \r\n')
printf '5 -\n1 LShift\n3 Mouse\n10 -\n' | sim --script - >"$T/mouse.jsonl"
check "a mouse press ends the run at the end of its frame" \
    python3 "$T/check_trace.py" "$T/mouse.jsonl" state 1 7 1 7:mouse
printf '4 Escape+Mouse\n' | sim --script - >"$T/both.jsonl"
check "Escape wins over a mouse press in the same frame" \
    python3 "$T/check_trace.py" "$T/both.jsonl" state 1 0 1 1:escape

# A score file that cannot be written: the run is traced to its end, but the
# lost save is not reported as success.
printf ' 777 \r\n' >"$T/ro.dat"
chmod 444 "$T/ro.dat"
"$SIM" --score "$T/ro.dat" --frames 3 --trace none >"$T/ro.jsonl" 2>"$T/err.txt"
check "a failed save exits 1" test $? -eq 1
check "  ... after the end line" grep -q '"end":"script","HighScore":777' "$T/ro.jsonl"
check "  ... saying so on one line" bash -c "[ \$(wc -l <'$T/err.txt') -eq 1 ] && grep -q ro.dat '$T/err.txt'"
check "  ... and the file keeps its content" cmp -s "$T/ro.dat" <(printf ' 777 \r\n')

# --- Pictures ---------------------------------------------------------------
sim --seed 42 --script "$T/play.txt" --trace none --shot 30:"$T/title.bmp" --shot 100:"$T/play.bmp" >/dev/null
check "--shot runs exit 0" test $? -eq 0
cat >"$T/check_bmp.py" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
if data[:2] != b"BM": sys.exit("not a BMP")
size, offset = struct.unpack_from("<I", data, 2)[0], struct.unpack_from("<I", data, 10)[0]
width, height, planes, bits, compression = struct.unpack_from("<iiHHI", data, 18)
if (width, height, bits, compression) != (800, 600, 24, 0): sys.exit(f"{width}x{height}x{bits}")
if size != len(data) or len(data) != offset + 800 * 3 * 600: sys.exit("wrong length")
pixels = data[offset:]
if len(set(pixels[i:i + 3] for i in range(0, len(pixels), 3 * 97))) < 4:
    sys.exit("the picture is nearly blank")
EOF
check "--shot writes an 800x600 24-bit BMP of the title" python3 "$T/check_bmp.py" "$T/title.bmp"
check "--shot writes an 800x600 24-bit BMP of play" python3 "$T/check_bmp.py" "$T/play.bmp"
check "two shots differ" bash -c "! cmp -s '$T/title.bmp' '$T/play.bmp'"
# With a font installed the title's help text is in the picture: white
# pixels where the help lines are written.
if command -v fc-list >/dev/null && [ -n "$(fc-list :lang=ja 2>/dev/null)" ]; then
    check "the title shot shows the help text" python3 -c '
import struct, sys
data = open(sys.argv[1], "rb").read()
offset = struct.unpack_from("<I", data, 10)[0]
def pixel(x, y):
    at = offset + (599 - y) * 2400 + 3 * x
    return data[at:at + 3]
white = sum(pixel(x, y) == b"\xff\xff\xff" for x in range(100, 300) for y in range(105, 225))
sys.exit(white < 200)' "$T/title.bmp"
fi
sim --frames 5 --trace none --shot 9:"$T/never.bmp" >/dev/null 2>"$T/err.txt"
check "a shot after the last frame is an error" test $? -eq 1
check "  ... naming the file" grep -q never.bmp "$T/err.txt"

# --- Bad arguments and bad scripts --------------------------------------------
expect_fail() {   # expect_fail DESCRIPTION PATTERN ARGS...
    local what=$1 pattern=$2
    shift 2
    sim "$@" </dev/null >"$T/out.txt" 2>"$T/err.txt"
    local rc=$?
    if [ $rc -ne 1 ]; then fail "$what: exit $rc"; return; fi
    if [ "$(wc -l <"$T/err.txt")" -ne 1 ]; then fail "$what: message not one line"; cat "$T/err.txt"; return; fi
    if ! grep -q -- "$pattern" "$T/err.txt"; then fail "$what: message $(cat "$T/err.txt")"; return; fi
    if [ -s "$T/out.txt" ]; then fail "$what: wrote a trace"; return; fi
    pass
}
expect_fail "unknown option" "--bogus" --bogus
expect_fail "seed out of range" "4294967296" --seed 4294967296
expect_fail "negative frames" "--frames" --frames -3
expect_fail "bad channel" "colour" --trace state,colour
expect_fail "zero --every" "--every" --every 0
expect_fail "missing value" "--seed" --seed
expect_fail "missing script file" "$T/nope.txt" --script "$T/nope.txt"
printf '10 -\n# fine\n\n3 Right+Jump\n' >"$T/bad1.txt"
expect_fail "unknown key" "line 4" --script "$T/bad1.txt"
printf '10 -\n0 Right\n' >"$T/bad2.txt"
expect_fail "zero count" "line 2" --script "$T/bad2.txt"
printf '1 -\n-5 Right\n' >"$T/bad3.txt"
expect_fail "negative count" "line 2" --script "$T/bad3.txt"
printf 'Right\n' >"$T/bad4.txt"
expect_fail "missing count" "line 1" --script "$T/bad4.txt"
# Input without end or without lines is refused, and never echoed whole.
expect_fail "endless script" "larger than 8 MiB" --script /dev/zero
head -c 5000000 /dev/zero | tr '\0' 'x' >"$T/long.txt"
expect_fail "a 5 MB line" "longer than 4096 bytes" --script "$T/long.txt"
check "  ... quoted in a short line" test "$(wc -c <"$T/err.txt")" -lt 300
printf '4 Right+\001\033[2J\377\n' >"$T/binary.txt"
expect_fail "raw bytes in a script" 'unknown key "\\x01\\x1B\[2J\\xFF"' --script "$T/binary.txt"

# --- A start-up failure leaves the high score alone ---------------------------
mkdir -p "$T/data"
cp -r "$BUILD/bmp" "$BUILD/wav" "$T/data/"
rm "$T/data/bmp/title.bmp"
printf ' 5555 \r\n' >"$T/keep.dat"
cp "$T/keep.dat" "$T/keep.orig"
"$SIM" --dir "$T/data" --score "$T/keep.dat" --frames 10 >"$T/out.txt" 2>"$T/err.txt"
rc=$?
check "a missing bitmap fails the start-up with exit 1" test $rc -eq 1
check "  ... with one line naming the file" \
    bash -c "[ \$(wc -l <'$T/err.txt') -eq 1 ] && grep -q 'title.bmp' '$T/err.txt'"
check "  ... and the score file byte-identical" cmp -s "$T/keep.dat" "$T/keep.orig"
check "  ... and no trace" test ! -s "$T/out.txt"
cp "$BUILD/bmp/title.bmp" "$T/data/bmp/title.bmp"
"$SIM" --dir "$T/data" --score "$T/keep.dat" --frames 10 >/dev/null
check "with the bitmap back, --dir runs" test $? -eq 0

# --- Hostile replays are refused before they run ------------------------------
# 73 bytes whose one span asks for 4.3 billion frames against an end line of 1.
printf 'pellimunch-replay 1\nseed 1\nhighscore 1000\n4294967295 -\nend 1 escape 1000\n' >"$T/hostile.replay"
timeout 10 "$SIM" --replay "$T/hostile.replay" --trace none --dir "$BUILD/" >"$T/out.txt" 2>"$T/err.txt"
rc=$?
check "a replay whose spans run past its end line is refused with exit 1 (not run: $rc)" test $rc -eq 1
check "  ... with one line naming the file and the span's line" \
    bash -c "[ \$(wc -l <'$T/err.txt') -eq 1 ] && grep -q 'hostile.replay line 4: the spans go on past frame 1' '$T/err.txt'"
# A session claimed longer than a day, in a file of a few megabytes.
{ printf 'pellimunch-replay 1\nseed 1\nhighscore 1000\n'; yes '1 W' | head -n 1000000; echo 'end 1000000000 escape 1000'; } \
    >"$T/long.replay"
timeout 10 "$SIM" --replay "$T/long.replay" --trace none --dir "$BUILD/" >"$T/out.txt" 2>"$T/err.txt"
check "a replay longer than 24 hours is refused at its end line" \
    grep -q 'long.replay line 1000004: the end line claims 1000000000 frames; 5184000 frames (24 hours' "$T/err.txt"

echo "runner_test: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
