#!/usr/bin/env bash
# Builds Plover with AddressSanitizer, UndefinedBehaviorSanitizer and leak checking into
# ./build-sanitize and runs the whole test suite there (the Windows syntax check, which does not
# depend on the sanitizers, runs in the plain pass only). Any sanitizer report fails the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PLOVER_SANITIZE_BUILD_DIR:-$root/build-sanitize}

"$root/tools/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLOVER_SANITIZE=ON
cmake --build "$build" --parallel "$(nproc)"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$root/tools/lsan.supp:print_suppressions=0
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)" --exclude-regex windows_compile_check
# Belt and braces: a report that somehow left its test passing still fails the run.
if grep -qE "ERROR: (Address|Leak)Sanitizer|runtime error:" Testing/Temporary/LastTest.log; then
    echo "A sanitizer report was found in Testing/Temporary/LastTest.log." >&2
    exit 1
fi
