#!/usr/bin/env bash
# Installs what is missing, builds Plover and runs the whole test suite through CTest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PLOVER_BUILD_DIR:-$root/build}

"$root/tools/build.sh"
# What `all` leaves out is built too, so a benchmark that stops compiling fails here; none is run.
cmake --build "$build" --parallel "$(nproc)" --target plover_benchmarks plover_lupdate
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)"
