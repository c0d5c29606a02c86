#!/usr/bin/env bash
# open_in_wine.sh <plover.exe> <report plugin folder> <target.tif>
# Starts plover.exe (a Unix or a Windows path) under Wine, in the caller's WINEPREFIX, on a copy of the
# target named in Japanese in a folder named in Greek, on the offscreen platform. The report plugin
# writes what the window shows and closes it; that must be the target's facts, as libtiff's tiffinfo
# reads them.
set -euo pipefail
exe=$1
plugins=$2
target=$3

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
folder=$scratch/$(printf '\xcf\x83\xcf\x84\xcf\x8c\xcf\x87\xce\xbf\xcf\x82') # Greek "target"
name=$(printf '\xe7\x9b\xae\xe6\xa8\x99').tif                                   # Japanese "target"
mkdir "$folder"
cp "$target" "$folder/$name"
cd "$scratch"
WINEDEBUG=-all WINEQT_QPA_PLATFORM=offscreen WINEQT_QPA_FONTDIR=Z:/usr/share/fonts/truetype/dejavu \
    WINEQT_PLUGIN_PATH="Z:$plugins" WINEQT_QPA_GENERIC_PLUGINS="plover_window_report:Z:$scratch/shown.txt" \
    timeout 120 wine "$exe" "Z:$folder/$name"

width=$(tiffinfo "$target" | sed -n 's/.*Image Width: \([0-9]*\) Image Length: \([0-9]*\).*/\1 x \2/p')
dpi=$(tiffinfo "$target" | sed -n 's/.*Resolution: \([0-9]*\), \([0-9]*\) pixels\/inch.*/\1.00 x \2.00/p')
shown=$(cat "$scratch/shown.txt")
echo "The window showed:"
echo "$shown"
grep -qx "Plover" <<<"$shown" && grep -qx "$name" <<<"$shown" &&
    grep -qx "Pixels: $width" <<<"$shown" && grep -qx "DPI: $dpi" <<<"$shown" ||
    { echo "FAIL: not the facts of $name (Pixels: $width, DPI: $dpi)"; exit 1; }
