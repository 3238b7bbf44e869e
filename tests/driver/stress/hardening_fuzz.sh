#!/usr/bin/env bash
# Builds the fuzzers with clang (libFuzzer, AddressSanitizer, UBSan) in
# BUILD_DIR/fuzz and runs each one for a bounded time on the committed seed
# corpus. A failing input is kept in BUILD_DIR/fuzz/artifacts; copy it into
# fuzz/regressions/<target>/ so the unit tests replay it from then on.
#
#   bash tests/driver/stress/hardening_fuzz.sh BUILD_DIR SOURCE_DIR
#   PELLIMUNCH_FUZZ_SECONDS=600 bash tests/driver/stress/hardening_fuzz.sh ...   (a longer run)
set -u
BUILD_DIR=$(cd "${1:?usage: hardening_fuzz.sh BUILD_DIR SOURCE_DIR}" && pwd)
SOURCE_DIR=$(cd "${2:?usage: hardening_fuzz.sh BUILD_DIR SOURCE_DIR}" && pwd)
SECONDS_EACH=${PELLIMUNCH_FUZZ_SECONDS:-20}
TARGETS=(bmp wav score script)

CXX=$(command -v clang++ || command -v clang++-14 || true)
if [ -z "$CXX" ]; then
    echo "SKIP: clang++ is not installed (apt-get install clang libclang-rt-14-dev), no fuzzing done"
    exit 0
fi

OUT="$BUILD_DIR/fuzz"
mkdir -p "$OUT"

# The libFuzzer runtime comes in a package of its own; without it there is
# nothing to run.
probe="$OUT/probe.cpp"
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' > "$probe"
if ! "$CXX" -fsanitize=fuzzer,address,undefined "$probe" -o "$OUT/probe" > "$OUT/probe.log" 2>&1; then
    echo "SKIP: $CXX cannot build a libFuzzer program (is libclang-rt-14-dev installed?):"
    head -3 "$OUT/probe.log"
    exit 0
fi

if ! cmake -S "$SOURCE_DIR/fuzz" -B "$OUT/build" -DCMAKE_CXX_COMPILER="$CXX" -DCMAKE_BUILD_TYPE= > "$OUT/cmake.log" 2>&1; then
    echo "FAIL: configuring the fuzzers failed:"; tail -20 "$OUT/cmake.log"; exit 1
fi
if ! cmake --build "$OUT/build" -j2 --target "${TARGETS[@]/#/fuzz_}" > "$OUT/build.log" 2>&1; then
    echo "FAIL: building the fuzzers failed:"; grep -E "error" "$OUT/build.log" | head -20; exit 1
fi

mkdir -p "$OUT/artifacts"
passed=0
failed=0
for t in "${TARGETS[@]}"; do
    # New inputs go to a scratch corpus in the build folder; the committed
    # seeds are only read.
    work="$OUT/corpus/$t"
    mkdir -p "$work"
    seeds=("$SOURCE_DIR/fuzz/corpus/$t")
    [ -d "$SOURCE_DIR/fuzz/regressions/$t" ] && seeds+=("$SOURCE_DIR/fuzz/regressions/$t")
    log="$OUT/$t.log"
    "$OUT/build/fuzz_$t" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
        -print_final_stats=1 -artifact_prefix="$OUT/artifacts/$t-" "$work" "${seeds[@]}" > "$log" 2>&1
    rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
    if [ $rc -eq 0 ]; then
        echo "ok: fuzz_$t: ${runs:-?} inputs in ${SECONDS_EACH}s, ${cov:-cov: ?}"
        passed=$((passed + 1))
    else
        echo "FAIL: fuzz_$t exited $rc; the input is in $OUT/artifacts (copy it to fuzz/regressions/$t/):"
        grep -E "ERROR|SUMMARY|fuzz_$t:|Test unit written" "$log" | head -10
        failed=$((failed + 1))
    fi
done

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
