#!/usr/bin/env bash
# Fuzzes loadTargetImage with files of one format for a number of seconds:
#   tools/fuzz.sh <tif|png|jpg> <seconds>
# Builds the libFuzzer target with clang into ./build-fuzz (PLOVER_FUZZ_BUILD_DIR overrides),
# seeds the corpus with the small files of the hostile corpus and keeps going after a finding;
# findings land in build-fuzz/fuzz-findings/<format>/ as crash-*, oom-*, timeout-*, leak-* or
# slow-unit-* (over 3 s, against a goal of well under a second outside the sanitizers).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
format=${1:-}
seconds=${2:-}
case "$format" in
    tif) pattern='*.tif' ;;
    png) pattern='*.png' ;;
    jpg) pattern='*.jpg' ;;
    *) echo "usage: $0 <tif|png|jpg> <seconds>" >&2; exit 2 ;;
esac
[[ "$seconds" =~ ^[0-9]+$ ]] || { echo "usage: $0 <tif|png|jpg> <seconds>" >&2; exit 2; }

build=${PLOVER_FUZZ_BUILD_DIR:-$root/build-fuzz}
mkdir -p "$build"
# Formats are fuzzed side by side, one per core; only one of them builds at a time.
(
    flock 9
    if [ ! -f "$build/CMakeCache.txt" ]; then
        # The tests stay configured for the hostile corpus, the seeds; only the two targets are built.
        CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DPLOVER_FUZZ=ON
    fi
    cmake --build "$build" --target plover_fuzz_load plover_hostile_corpus
) 9>"$build/.fuzz-build.lock"

corpus=$build/fuzz-corpus/$format
findings=$build/fuzz-findings/$format
mkdir -p "$corpus" "$findings"
# Small regular files only: the corpus also holds directories, sockets and lying giants.
find "$build/hostile-corpus" -maxdepth 1 -type f -iname "$pattern" -size -16k -readable \
    -exec cp -n {} "$corpus/" \; 2>/dev/null || true

export PLOVER_FUZZ_SUFFIX=$format
# Huge allocations must come back as null so that the loader can refuse them, as on a real system.
export ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1
export LSAN_OPTIONS=suppressions=$root/tools/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_LOGGING_RULES='*=false'
cd "$findings"
exec "$build/bin/plover_fuzz_load" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
    -report_slow_units=3 -fork=1 -ignore_crashes=1 -ignore_ooms=1 -ignore_timeouts=1 -max_len=65536 \
    -artifact_prefix="$findings/" "$corpus"
