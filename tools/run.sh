#!/usr/bin/env bash
# Installs what is missing, builds Plover and opens it on the bundled sample target.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PLOVER_BUILD_DIR:-$root/build}

"$root/tools/build.sh"
exec "$build/bin/plover" "$build/sample/plover-sample-target.tif"
