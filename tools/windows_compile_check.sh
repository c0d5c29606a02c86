#!/usr/bin/env bash
# Compiles every product source for Windows in syntax-only mode with mingw-w64, so the
# Windows-only branches (GDI print path, GUI entry point) keep compiling without a Windows machine.
# Exit 77 (skipped) when the cross compiler is not installed.
# windows_compile_check.sh [source dir] [folder of the build's generated headers]
set -u
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
generated=${2:-$root/build/ui/generated} # ui/application_info.h, configured by CMake

cxx=""
for candidate in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-g++; do
    if command -v "$candidate" >/dev/null 2>&1; then
        cxx=$candidate
        break
    fi
done
if [ -z "$cxx" ]; then
    echo "SKIPPED: the mingw-w64 cross compiler (x86_64-w64-mingw32-g++) is not installed; run tools/install-deps.sh."
    exit 77
fi

qt=$(qtpaths6 --query QT_INSTALL_HEADERS 2>/dev/null || echo /usr/include/x86_64-linux-gnu/qt6)
tiffdir=$(dirname "$(find /usr/include -name tiffio.h | head -n 1)")

# libtiff's headers alone, without the host's other headers on the path.
shim=$(mktemp -d)
trap 'rm -rf "$shim"' EXIT
for h in tiff.h tiffio.h tiffvers.h tiffconf.h; do ln -s "$tiffdir/$h" "$shim/$h"; done
# Qt 6.8 on Linux no longer installs its Windows handle declarations; windows.h declares the same.
if [ ! -e "$qt/QtGui/qwindowdefs_win.h" ]; then
    mkdir "$shim/QtGui"
    printf '#pragma once\n#include <windows.h>\n' >"$shim/QtGui/qwindowdefs_win.h"
fi

flags=(-fsyntax-only -std=c++17 -w -DUNICODE -D_UNICODE -DNOMINMAX -DWIN32_LEAN_AND_MEAN
       -I"$root" -I"$generated" -I"$shim" -I"$qt" -I"$qt/QtCore" -I"$qt/QtGui" -I"$qt/QtWidgets" -I"$qt/QtTest")

failed=0
count=0
while IFS= read -r source; do
    count=$((count + 1))
    if ! "$cxx" "${flags[@]}" "$source"; then
        echo "FAILED: $source"
        failed=$((failed + 1))
    fi
done < <(find "$root/app" "$root/ui" "$root/preview" "$root/printing" "$root/layout" "$root/imaging" \
              -name '*.cpp' | sort)

echo "Windows syntax check: $count sources, $failed failed."
[ "$failed" -eq 0 ]
