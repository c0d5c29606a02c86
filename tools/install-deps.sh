#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Plover needs.
# Packages already present are skipped; sudo is used only when not running as root.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6svg6 qt6-svg-dev qt6-image-formats-plugins
    libgl-dev libvulkan-dev
    libtiff-dev libtiff-tools
    g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
    clang libclang-rt-14-dev
    fonts-dejavu-core
    cups-daemon cups-client cups-ipp-utils libcups2-dev zlib1g-dev dbus
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "All build, run and test dependencies are installed."
    exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
