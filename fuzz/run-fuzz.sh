#!/bin/sh
# Builds the libFuzzer targets with clang-14 and runs each one briefly from its seed corpus.
#   fuzz/run-fuzz.sh [build folder] [seconds per target] [target ...]
# The seed corpus in fuzz/corpus/ is only read; new inputs go to the build folder. An input
# that breaks a target is kept in <build folder>/fuzz-findings/ and the script fails.
set -eu
cd "$(dirname "$0")/.."
BUILD=${1:-build-fuzz}
SECONDS_EACH=${2:-12}
[ $# -ge 2 ] && shift 2 || shift $#
JOBS=${JOBS:-2}

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    CC=clang-14 CXX=clang++-14 cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTUTORBENCH_FUZZ=ON -DTUTORBENCH_UI=OFF -DTUTORBENCH_BENCH=OFF >/dev/null
else
    cmake "$BUILD" >/dev/null # picks up new fuzz_*.cpp files
fi
cmake --build "$BUILD" -j"$JOBS" --target fuzz_targets

TARGETS=${*:-$(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')}
FINDINGS="$BUILD/fuzz-findings"
mkdir -p "$FINDINGS"
# The targets write their files in a private folder under TMPDIR; a memory-backed one
# keeps the many small rewrites (each flushed to disk) from dominating the run.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
    TMPDIR=/dev/shm
    export TMPDIR
fi

passed=0
failed=0
for target in $TARGETS; do
    case "$target" in
    fuzz_settings) max_len=512 ;;
    fuzz_drug_file) max_len=2880 ;;
    fuzz_exam_file) max_len=16200 ;;
    *) max_len=4096 ;;
    esac
    work="$BUILD/fuzz-corpus/$target"
    mkdir -p "$work"
    log="$BUILD/fuzz-$target.log"
    echo "== $target: ${SECONDS_EACH}s"
    if "$BUILD/fuzz/$target" -max_total_time="$SECONDS_EACH" -max_len="$max_len" -timeout=20 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$FINDINGS/$target-" \
        "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
        passed=$((passed + 1))
        grep -E '^stat::number_of_executed_units|^Done' "$log" | tail -2
    else
        failed=$((failed + 1))
        echo "$target FAILED; the input that broke it is in $FINDINGS:"
        tail -40 "$log"
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
