#!/usr/bin/env bash
# check_deb.sh <build dir> <desktop id> <version>
# Builds the Debian package from the build tree into a scratch folder, unpacks it into a scratch
# root and checks what a user would get: exactly the expected files, icons of the right sizes, a
# desktop entry that names them, dependencies, and an executable whose libraries all resolve.
set -euo pipefail
build=$1
id=$2
version=$3
arch=$(dpkg --print-architecture)

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log"; exit 1; }
deb=$scratch/out/plover_${version}_${arch}.deb
[ -f "$deb" ] || { echo "FAIL: no $(basename "$deb")"; ls "$scratch/out"; exit 1; }
echo "Package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"

root=$scratch/root
dpkg-deb -x "$deb" "$root"
cd "$root"

failed=0
fail() { echo "FAIL: $*"; failed=1; }

expected=$(printf '%s\n' \
    usr/bin/plover \
    "usr/share/applications/$id.desktop" \
    "usr/share/icons/hicolor/128x128/apps/$id.png" \
    "usr/share/icons/hicolor/256x256/apps/$id.png" \
    "usr/share/icons/hicolor/48x48/apps/$id.png" \
    "usr/share/icons/hicolor/scalable/apps/$id.svg" \
    "usr/share/metainfo/$id.metainfo.xml" | sort)
actual=$(find . ! -type d | sed 's|^\./||' | sort)
if [ "$expected" != "$actual" ]; then
    fail "the package's files differ from the expected ones (< expected, > packaged):"
    diff <(echo "$expected") <(echo "$actual") || true
fi

for size in 48 128 256; do
    png=usr/share/icons/hicolor/${size}x${size}/apps/$id.png
    if [ -f "$png" ] && ! file "$png" | grep -q "PNG image data, $size x $size,"; then
        fail "$png: $(file -b "$png")"
    fi
done

entry=usr/share/applications/$id.desktop
if [ -f "$entry" ]; then
    grep -qx "Icon=$id" "$entry" || fail "$entry does not name the icon $id"
    grep -qx "Exec=plover %F" "$entry" || fail "$entry does not start plover with the files"
fi
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "usr/share/metainfo/$id.metainfo.xml" ||
    fail "the metainfo does not launch $id.desktop"

depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libtiff qt6-svg-plugins; do
    grep -q "$needed" <<<"$depends" || fail "Depends lacks $needed"
done

# The running window names its desktop entry, kept in the binary as the configured UTF-8 text.
# grep reads to the end: with -q it would stop early, and strings' broken pipe would fail the pipeline.
strings -a usr/bin/plover | grep -x "$id" >/dev/null || fail "plover does not give $id as its desktop file name"

if ! ldd usr/bin/plover >"$scratch/ldd.txt" 2>&1 || grep -q "not found" "$scratch/ldd.txt"; then
    fail "plover does not link:"
    cat "$scratch/ldd.txt"
fi

if [ $failed -ne 0 ]; then exit 1; fi
echo "The package holds the expected files and plover links."
