#!/usr/bin/env bash
# Builds, once per machine, what a Windows build of Plover links against: Qt for x86_64-w64-mingw32
# from Debian's own Qt sources (at the host Qt's version, whose moc/rcc/uic the cross build uses)
# and libtiff with zlib and libjpeg. Installs into
#   ${PLOVER_MINGW_TOOLCHAIN:-${XDG_CACHE_HOME:-~/.cache}/plover/mingw-toolchain-<Qt version>}/win64
# and does nothing once that cache is complete. cmake/mingw-w64-toolchain.cmake points at it.
# Needs root (or sudo) for apt; everything else runs as the calling user.
set -euo pipefail

repo=$(cd "$(dirname "$0")/../.." && pwd)
jobs=2

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi

packages=(
    g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev libz-mingw-w64-dev
    wine wine64 nsis
    dpkg-dev cmake ninja-build perl python3 xz-utils
    qt6-base-dev qt6-base-dev-tools
)

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# Runs a stage once: its output goes to logs/<stage>.log, its duration to the terminal.
stage() {
    local name=$1
    shift
    if [ -f "$work/stamps/$name" ]; then
        echo "== $name: done before"
        return
    fi
    echo "== $name (log: $logs/$name.log)"
    local start=$SECONDS status
    # In a subshell of its own, so that set -e still stops the stage at its first failing command.
    set +e
    (set -e; "$@") >"$logs/$name.log" 2>&1
    status=$?
    set -e
    if [ $status -ne 0 ]; then
        echo "FAILED: $name; the end of its log:"
        tail -n 30 "$logs/$name.log"
        exit 1
    fi
    local took=$((SECONDS - start))
    printf '   took %dm%02ds; installed so far: %s\n' $((took / 60)) $((took % 60)) \
        "$(du -sh "$prefix" | cut -f1)"
    touch "$work/stamps/$name"
}

# The long builds take only otherwise idle CPU: this is a background build done once per machine,
# and the machine's cores belong to the builds and tests of people working on it.
heavy=(nice -n 19)

# apt-get source needs the source indexes, which Debian's default sources do not list. They go
# into a file of their own, copied from the machine's own archive entries, so the system's file is
# left as it was and this addition is easy to find and remove.
enable_sources() {
    if apt-cache showsrc qt6-base 2>/dev/null | grep -q '^Package:'; then
        return
    fi
    local system=/etc/apt/sources.list.d/debian.sources list
    if [ -f "$system" ]; then
        list=/etc/apt/sources.list.d/plover-deb-src.sources
        sed -n '/^Types:/ s/.*/Types: deb-src/p; /^\(URIs\|Suites\|Components\|Signed-By\):/p; /^$/p' \
            "$system" | "${sudo_cmd[@]}" tee "$list" >/dev/null
    else
        list=/etc/apt/sources.list.d/plover-deb-src.list
        sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | "${sudo_cmd[@]}" tee "$list" >/dev/null
    fi
    echo "Added Debian's source indexes as $list"
    "${sudo_cmd[@]}" apt-get update -q
}

# Fetches and unpacks the newest version of source package $1 whose upstream version starts with
# $2 (empty: any), falling back to older ones: a security update's sources may not be mirrored.
fetch() {
    local package=$1 upstream=$2 version
    rm -rf "$work/src/$package"
    mkdir -p "$work/src/$package"
    for version in $(apt-cache showsrc "$package" | sed -n 's/^Version: //p' |
        awk -v u="$upstream" '{ v = $0; sub(/^[0-9]+:/, "", v) } index(v, u) == 1' | sort -Vru); do
        if (cd "$work/src/$package" && apt-get source "$package=$version"); then
            return 0
        fi
    done
    rm -rf "$work/src/$package"
    echo "Could not fetch the source of $package $upstream"
    return 1
}

fetch_sources() {
    # Qt's own version must match the host Qt exactly.
    fetch qt6-base "$qt_version+"
    patch_qtbase
    fetch tiff ""
    fetch libjpeg-turbo ""
    # The SVG icon engine: Debian's mirror of qt6-svg's tarball has been missing here, so its
    # absence is reported at the end rather than failing the whole toolchain.
    fetch qt6-svg "$qt_version-" || true
}

source_dir() {
    find "$work/src/$1" -mindepth 1 -maxdepth 1 -type d | head -n 1
}

# Two fixes to Debian's qtbase for Windows, in tools/windows/patches/ with their reasons.
patch_qtbase() {
    local src
    src=$(source_dir qt6-base)
    local p
    for p in "$repo"/tools/windows/patches/qtbase-*.patch; do
        patch -d "$src" -p1 --forward <"$p"
    done
}

configure_qtbase() {
    local off=(sql network dbus xml printsupport concurrent vulkan direct2d zstd icu qmake)
    local bundled=(zlib png jpeg freetype harfbuzz pcre2)
    off+=(gif ico)
    local features=() f
    for f in "${off[@]}"; do features+=("-DFEATURE_$f=OFF"); done
    for f in "${bundled[@]}"; do features+=("-DFEATURE_system_$f=OFF"); done
    # OpenGL goes off as configure's -no-opengl does it: with FEATURE_opengl=OFF alone, dynamic
    # OpenGL stays on and the windows platform plugin fails to compile.
    "${heavy[@]}" cmake -S "$(source_dir qt6-base)" -B "$work/build/qtbase" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DBUILD_SHARED_LIBS=ON \
        -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_QMAKE_TARGET_MKSPEC=win32-g++ \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
        "${features[@]}" \
        -DINPUT_opengl=no
}

# With those features off, and the GIF and ICO readers too, everything left is what Plover uses:
# Core, Gui, Widgets, Test, Windows' entry point, the windows, offscreen (tests) and minimal
# platforms, the JPEG reader (targets may be JPEG) and the native widget style. When cross
# compiling, Qt's tools come from the host and are not built.
build_qtbase() {
    "${heavy[@]}" cmake --build "$work/build/qtbase" --parallel $jobs
}

install_qtbase() {
    cmake --install "$work/build/qtbase" --strip
}

build_qtsvg() {
    "${heavy[@]}" cmake -S "$(source_dir qt6-svg)" -B "$work/build/qtsvg" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/Qt6/qt.toolchain.cmake" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
    "${heavy[@]}" cmake --build "$work/build/qtsvg" --parallel $jobs
    cmake --install "$work/build/qtsvg" --strip
}

# Without SIMD: its assembler (nasm) is not worth a dependency for decoding the odd JPEG target.
build_libjpeg() {
    "${heavy[@]}" cmake -S "$(source_dir libjpeg-turbo)" -B "$work/build/libjpeg" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF -DENABLE_STATIC=OFF
    "${heavy[@]}" cmake --build "$work/build/libjpeg" --parallel $jobs
    cmake --install "$work/build/libjpeg" --strip
}

# zlib comes from libz-mingw-w64-dev; the libtiff tools and docs are not needed.
build_libtiff() {
    "${heavy[@]}" cmake -S "$(source_dir tiff)" -B "$work/build/libtiff" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF \
        -Djpeg=ON -Dzlib=ON -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF -Djbig=OFF -Dlerc=OFF -Dlibdeflate=OFF \
        -Dcxx=OFF -Dtiff-opengl=OFF
    "${heavy[@]}" cmake --build "$work/build/libtiff" --parallel $jobs
    cmake --install "$work/build/libtiff" --strip
}

# The mingw runtime and zlib DLLs beside Qt's, so one WINEPATH entry (or one folder of an archive)
# holds every DLL a Windows build of Plover loads.
copy_runtime() {
    local dll path
    for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll zlib1.dll; do
        path=$(x86_64-w64-mingw32-g++-posix -print-file-name="$dll")
        if [ ! -f "$path" ]; then
            path=$(find /usr/lib/gcc/x86_64-w64-mingw32 /usr/x86_64-w64-mingw32 -name "$dll" | head -n 1)
        fi
        [ -f "$path" ] || { echo "missing $dll"; return 1; }
        # Unstripped, libstdc++ alone would be 23 MB of the archive.
        x86_64-w64-mingw32-strip --strip-unneeded -o "$prefix/bin/$dll" "$path"
    done
}

# Everything runs from this function, so the script can be edited while a build is under way.
main() {
    local p missing=()
    for p in "${packages[@]}"; do
        installed "$p" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        "${sudo_cmd[@]}" apt-get update -q
        "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
    fi

    qt_version=$(qtpaths6 --query QT_VERSION)
    cache=${PLOVER_MINGW_TOOLCHAIN:-${XDG_CACHE_HOME:-$HOME/.cache}/plover/mingw-toolchain-$qt_version}
    prefix=$cache/win64
    work=$cache/work
    logs=$cache/logs
    marker=$cache/complete

    if [ -f "$marker" ]; then
        echo "The Windows toolchain is complete in $cache ($(cat "$marker"))."
        exit 0
    fi
    mkdir -p "$prefix" "$work/stamps" "$logs"
    toolchain=$cache/mingw-w64-toolchain.cmake
    # A copy in the cache: Qt's installed qt.toolchain.cmake keeps the path of the toolchain file it was
    # built with, and that must outlive the checkout that ran this script.
    cp "$repo/cmake/mingw-w64-toolchain.cmake" "$toolchain"
    export PLOVER_MINGW_TOOLCHAIN=$cache

    local script_start=$SECONDS
    stage sources enable_sources
    stage fetch fetch_sources
    # The small libraries first: a broken setup shows in a minute rather than after Qt's half hour.
    stage libjpeg build_libjpeg
    stage libtiff build_libtiff
    stage runtime copy_runtime
    stage qtbase-configure configure_qtbase
    stage qtbase-build build_qtbase
    stage qtbase-install install_qtbase
    local svg=no
    if [ -n "$(source_dir qt6-svg 2>/dev/null)" ]; then
        stage qtsvg build_qtsvg
        svg=yes
    else
        echo "== qtsvg: skipped, Debian's qt6-svg source could not be fetched (no SVG icon engine)"
    fi

    local took=$((SECONDS - script_start))
    printf 'Built in %dm%02ds; installed %s in %s\n' $((took / 60)) $((took % 60)) \
        "$(du -sh "$prefix" | cut -f1)" "$prefix"
    echo "Qt $qt_version, SVG icon engine: $svg" >"$marker"
    if [ -z "${PLOVER_KEEP_TOOLCHAIN_WORK:-}" ]; then
        rm -rf "$work"
    fi
}

main "$@"
