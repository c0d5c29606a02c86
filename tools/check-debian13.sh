#!/usr/bin/env bash
# Builds a Plover source tree and runs its whole test suite on Debian 13 (trixie, Qt 6.8) inside a
# debootstrap chroot, starting from nothing: the tree's own tools/install-deps.sh installs every
# package, then tools/test.sh builds and runs CTest. A developer tool, not part of CI.
#
#   tools/check-debian13.sh [source-dir]      (default: the tree holding this script)
#
# The chroot lives in $PLOVER_DEBIAN13_CHROOT (default ~/.cache/plover/debian13-chroot, honouring
# XDG_CACHE_HOME) and is reused once complete; delete that folder to start over. Each source tree
# gets its own build folder inside the chroot, so a rerun rebuilds only what changed.
# Needs root for debootstrap, chroot and mounts (sudo is used otherwise) and Debian's archive.
set -euo pipefail

mirror=${PLOVER_DEBIAN_MIRROR:-http://deb.debian.org/debian}
suite=trixie
src=$(cd "${1:-$(dirname "$0")/..}" && pwd)
cache=${XDG_CACHE_HOME:-$HOME/.cache}
chroot_dir=${PLOVER_DEBIAN13_CHROOT:-$cache/plover/debian13-chroot}

if [ "$(id -u)" -ne 0 ]; then
    exec sudo env PLOVER_DEBIAN13_CHROOT="$chroot_dir" PLOVER_DEBIAN_MIRROR="$mirror" "$0" "$src"
fi

# Every mount below lives in a private mount namespace, so nothing leaks to the host even if this
# script is killed outright; the trap still unmounts in order on a normal exit.
if [ -z "${PLOVER_IN_PRIVATE_MOUNTS:-}" ]; then
    exec env PLOVER_IN_PRIVATE_MOUNTS=1 PLOVER_DEBIAN13_CHROOT="$chroot_dir" PLOVER_DEBIAN_MIRROR="$mirror" \
        unshare --mount --propagation private --fork --kill-child "$0" "$src"
fi

if ! command -v debootstrap >/dev/null; then
    echo "Installing debootstrap"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap ||
        { apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q debootstrap; }
fi

started=$(date +%s)
if [ ! -e "$chroot_dir/.plover-chroot-complete" ]; then
    partial=$chroot_dir.partial
    # --one-file-system: never descend into anything a crashed run left mounted.
    rm -rf --one-file-system "$partial"
    mkdir -p "$(dirname "$chroot_dir")"
    echo "Making a Debian 13 ($suite) chroot in $chroot_dir from $mirror"
    debootstrap --variant=minbase "$suite" "$partial" "$mirror"
    # No service starts inside the chroot while packages install.
    printf '#!/bin/sh\nexit 101\n' >"$partial/usr/sbin/policy-rc.d"
    chmod 755 "$partial/usr/sbin/policy-rc.d"
    rm -rf --one-file-system "$chroot_dir"
    mv "$partial" "$chroot_dir"
    touch "$chroot_dir/.plover-chroot-complete"
    echo "Chroot made in $(($(date +%s) - started)) s."
else
    echo "Reusing the Debian 13 chroot in $chroot_dir"
fi
cp /etc/resolv.conf "$chroot_dir/etc/resolv.conf"

mounted=()
child=
follower=
cleanup() {
    if [ -n "$child" ] && kill -0 "$child" 2>/dev/null; then
        kill -TERM -- "-$child" 2>/dev/null || true
        wait "$child" 2>/dev/null || true
    fi
    if [ -n "$follower" ]; then
        kill "$follower" 2>/dev/null || true
    fi
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount "${mounted[i]}" || umount --lazy "${mounted[i]}" || true
    done
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

mount_in() { # type-or-bind source target [options]
    local target=$chroot_dir$3
    mkdir -p "$target"
    if [ "$1" = bind ]; then
        mount --bind "$2" "$target"
    else
        mount -t "$1" ${4:+-o "$4"} "$2" "$target"
    fi
    mounted+=("$target")
}
mount_in proc proc /proc
mount_in sysfs sysfs /sys ro
mount_in devpts devpts /dev/pts newinstance,ptmxmode=0666,mode=0620,gid=5
mount_in tmpfs shm /dev/shm mode=1777
mount_in tmpfs tmp /tmp mode=1777
mount_in bind "$src" /src
mount -o remount,bind,ro "$chroot_dir/src"

# One build folder per source tree, named after its path.
build_name=$(printf '%s' "$src" | tr -c 'A-Za-z0-9._-' '_')
build=/root/plover-builds/$build_name
log=$chroot_dir/root/plover-last-run.log

echo "Building and testing $src on Debian 13 (build folder $build inside the chroot)"
: >"$log"
# setsid gives the run its own process group, stopped as a whole by the trap.
setsid chroot "$chroot_dir" /usr/bin/env -i \
    HOME=/root LANG=C.UTF-8 TERM=dumb PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    PLOVER_BUILD_DIR="$build" \
    bash -c 'cd /src && ./tools/test.sh' \
    >"$log" 2>&1 &
child=$!
tail -n +1 -f --pid="$child" "$log" &
follower=$!
status=0
wait "$child" || status=$?
child=
wait "$follower" || true
follower=

qt=$(chroot "$chroot_dir" dpkg-query -W -f="\${Version}" qt6-base-dev 2>/dev/null || echo unknown)
echo
echo "Debian 13, Qt $qt, source $src: $(grep -E 'tests passed|tests failed' "$log" | tail -1 || true)"
echo "Full log: $log; took $(($(date +%s) - started)) s."
if [ "$status" -ne 0 ]; then
    echo "FAILED (exit status $status)"
    exit "$status"
fi
echo "PASSED"
