#!/usr/bin/env bash
# Installs what is missing, builds Plover and runs the whole test suite through CTest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PLOVER_BUILD_DIR:-$root/build}

"$root/tools/build.sh"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)"
