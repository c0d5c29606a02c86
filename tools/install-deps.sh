#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Plover needs, on Debian 12 and 13.
# Packages already present are skipped; sudo is used only when not running as root. Where releases
# differ, apt is asked what exists instead of naming a release.
set -euo pipefail

# Needed on every release.
packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6svg6 qt6-svg-dev qt6-image-formats-plugins
    qt6-l10n-tools qt6-tools-dev # lupdate and its CMake package, for the translation source
    libgl-dev libvulkan-dev
    libtiff-dev libtiff-tools
    g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
    clang
    fonts-dejavu-core
    desktop-file-utils appstream dpkg-dev file
    cups-daemon cups-client cups-ipp-utils libcups2-dev zlib1g-dev dbus
    ghostscript cups-filters printer-driver-gutenprint
)

# Installed where the release has them.
if_available=(
    qt6-svg-plugins # the SVG icon engine, split out of libqt6svg6 after Debian 12
)

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# Prints the packages of $@ that the release has, in one apt query (each costs about a second).
available() {
    apt-cache policy "$@" 2>/dev/null | awk '/^[^ ]/ { name = $1 } /Candidate: [^(]/ { sub(":$", "", name); print name }'
}

# clang's sanitizer and libFuzzer runtimes are packaged per major version, so follow the version
# that the release's clang depends on.
clang_runtime() {
    local depends
    if installed clang; then
        depends=$(dpkg-query -W -f='${Depends}' clang)
    else
        depends=$(apt-cache show --no-all-versions clang 2>/dev/null | sed -n 's/^Depends: //p')
    fi
    grep -oE '(^|, )clang-[0-9]+' <<<"$depends" | head -n 1 | sed -E 's/^(, )?clang-/libclang-rt-/; s/$/-dev/'
}

missing_packages() {
    local p optional=()
    for p in "${packages[@]}" $(clang_runtime); do
        installed "$p" || echo "$p"
    done
    for p in "${if_available[@]}"; do
        installed "$p" || optional+=("$p")
    done
    if [ ${#optional[@]} -gt 0 ]; then
        available "${optional[@]}"
    fi
}

apt_lists_present() {
    compgen -G '/var/lib/apt/lists/*Packages*' >/dev/null
}

mapfile -t missing < <(missing_packages)
if [ ${#missing[@]} -eq 0 ] && apt_lists_present; then
    echo "All build, run and test dependencies are installed."
    exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi

export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
# Ask again: only fresh lists tell which packages this release has.
mapfile -t missing < <(missing_packages)
if [ ${#missing[@]} -eq 0 ]; then
    echo "All build, run and test dependencies are installed."
    exit 0
fi
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
