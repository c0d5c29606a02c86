#!/usr/bin/env bash
# windows_zip_smoke.sh <build dir> <report plugin folder> <target.tif>
# Makes the portable archive, unpacks it into an empty folder, checks its files, and starts its
# plover.exe under Wine on the target (copied into a Greek-named folder) on the offscreen platform.
# The report plugin writes what the window shows and closes it; that must be the target's facts,
# as libtiff's tiffinfo reads them. The archive must be whole: Wine gets no path to other DLLs.
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

folder=$scratch/$(printf '\xcf\x83\xcf\x84\xcf\x8c\xcf\x87\xce\xbf\xcf\x82') # Greek "target"
mkdir "$folder"
cp "$target" "$folder/"
cd "$scratch"
WINEPREFIX=$build/wineprefix WINEDEBUG=-all \
    WINEQT_QPA_PLATFORM=offscreen WINEQT_QPA_FONTDIR=Z:/usr/share/fonts/truetype/dejavu \
    WINEQT_PLUGIN_PATH="Z:$plugins" WINEQT_QPA_GENERIC_PLUGINS="plover_window_report:Z:$scratch/shown.txt" \
    timeout 120 wine "$app/plover.exe" "Z:$folder/$(basename "$target")"

width=$(tiffinfo "$target" | sed -n 's/.*Image Width: \([0-9]*\) Image Length: \([0-9]*\).*/\1 x \2/p')
dpi=$(tiffinfo "$target" | sed -n 's/.*Resolution: \([0-9]*\), \([0-9]*\) pixels\/inch.*/\1.00 x \2.00/p')
shown=$(cat "$scratch/shown.txt")
echo "The window showed:"
echo "$shown"
grep -qx "Plover" <<<"$shown" && grep -qx "$(basename "$target")" <<<"$shown" &&
    grep -qx "Pixels: $width" <<<"$shown" && grep -qx "DPI: $dpi" <<<"$shown" ||
    { echo "FAIL: not the facts of $(basename "$target") (Pixels: $width, DPI: $dpi)"; exit 1; }
