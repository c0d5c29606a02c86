#!/usr/bin/env bash
# windows_zip_smoke.sh <build dir> <report plugin folder> <target.tif>
# Makes the portable archive, unpacks it into an empty folder, checks its files, and opens the target
# in its plover.exe under Wine (open_in_wine.sh). The archive must be whole: Wine gets no path to
# other DLLs.
set -euo pipefail
build=$1
plugins=$2
target=$3

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cpack -G ZIP --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log"; exit 1; }
zip=$scratch/out/Plover-1.0-win64.zip
[ -f "$zip" ] || { echo "FAIL: no $(basename "$zip")"; ls "$scratch/out"; exit 1; }
echo "Archive: $(basename "$zip"), $(stat -c %s "$zip") bytes"
mkdir "$scratch/unpacked"
(cd "$scratch/unpacked" && cmake -E tar xf "$zip")
app=$scratch/unpacked/Plover-1.0-win64

expected=$(printf '%s\n' plover.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll libtiff.dll zlib1.dll \
    libjpeg-62.dll libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll platforms/qwindows.dll \
    platforms/qoffscreen.dll imageformats/qjpeg.dll styles/qwindowsvistastyle.dll | sort)
actual=$(cd "$app" && find . ! -type d | sed 's|^\./||' | sort)
if [ "$expected" != "$actual" ]; then
    echo "FAIL: the archive's files differ from the expected ones (< expected, > archived):"
    diff <(echo "$expected") <(echo "$actual") || true
    exit 1
fi

WINEPREFIX=$build/wineprefix "$(dirname "$0")/open_in_wine.sh" "$app/plover.exe" "$plugins" "$target"
