#!/usr/bin/env bash
# The Windows pass: the mingw-w64 toolchain (built once per machine into its cache by
# tools/windows/build-toolchain.sh, which also installs Wine), Plover built for Windows into
# ./build-win (or $PLOVER_WINDOWS_BUILD_DIR), benchmarks included, and the whole suite run under Wine
# through CTest, in a Wine prefix private to the build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PLOVER_WINDOWS_BUILD_DIR:-$root/build-win}

"$root/tools/install-deps.sh"
"$root/tools/windows/build-toolchain.sh"

start=$SECONDS
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-toolchain.cmake"
cmake --build "$build" --parallel "$(nproc)" --target all plover_benchmarks
echo "Windows build: $((SECONDS - start)) s"

# The build prefix's wineserver outlives its last program by a few seconds; end it (that prefix's only).
trap 'WINEPREFIX="$build/wineprefix" wineserver -k 2>/dev/null || true' EXIT
cd "$build"
ctest --output-on-failure --parallel "$(nproc)"
