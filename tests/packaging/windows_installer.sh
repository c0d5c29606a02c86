#!/usr/bin/env bash
# windows_installer.sh <build dir> <report plugin folder> <target.tif> <windres> <version> <organisation>
# Makes the installer and, in a Wine prefix of its own, once per machine and once per user: installs
# it silently; checks the files (the portable archive's, and the uninstaller), the Start menu
# shortcut, the registry entries and plover.exe's icon and version resource; opens the target through
# the "Open with" command the registry holds (open_in_wine.sh: Greek and Japanese path, the window
# read); adds a print setting as Plover keeps it; uninstalls through the registered uninstall
# command, restarts Wine (which ends the uninstaller's copy of itself in Temp, as a restart of
# Windows does) and checks that the registry and the files are as before. Another program is the
# .png default beforehand and must stay it.
set -euo pipefail
build=$1
plugins=$2
target=$3
windres=$4
version=$5
organization=$6

scratch=$(mktemp -d)
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
trap 'wineserver -k 2>/dev/null || true; rm -rf "$scratch"' EXIT
fail() {
    echo "FAIL: $*"
    exit 1
}

for generator in NSIS ZIP; do
    cpack -G $generator --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
        { cat "$scratch/cpack.log"; exit 1; }
done
setup=$scratch/out/Plover-$version-win64-setup.exe
[ -f "$setup" ] || fail "no $(basename "$setup")"
echo "Installer: $(basename "$setup"), $(stat -c %s "$setup") bytes"
zip_files=$(cmake -E tar tf "$scratch/out/Plover-$version-win64.zip" | sed -n 's|^Plover-[^/]*/\(.*[^/]\)$|\1|p')

# The registry as "hive [key]" and "hive [key]<tab>value" lines, from the hives Wine saves when its
# server ends; Wine's own hardware keys change by themselves and are left out.
registry() {
    wineserver -w
    for hive in HKLM:system HKCU:user; do
        awk -v hive="${hive%:*}" '/^\[/ { key = $0; sub(/ [0-9]+$/, "", key); print hive " " key; next }
            /^(#|$)/ { next } { print hive " " key "\t" $0 }' "$WINEPREFIX/${hive#*:}.reg"
    done | grep -v -e '^HKLM \[System\\\\' -e 'NetworkCards' | sort
}
# The prefix's files but the users' Temp folders, which Windows and Wine keep for every program.
files() { (cd "$WINEPREFIX/drive_c" && find . ! -path './users/*/Temp/*' | sort); }
query() { wine reg query "$1" 2>/dev/null | tr -d '\r'; }
expect() { grep -qxF "    $2    $3    $4" <<<"$(query "$1")" || fail "$1 has no $2 = $4"; }

wineboot -i >/dev/null 2>&1
for mode in AllUsers CurrentUser; do
    root=HKCU
    [ $mode = AllUsers ] && root=HKLM
    echo "== /$mode: $root"
    wine reg add "$root\\Software\\Classes\\.png" /ve /d Viewer.Image /f >/dev/null
    before_registry=$(registry)
    before_files=$(files)

    timeout 120 wine "$setup" /S /$mode
    uninstall=$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Plover
    dir=$(query "$uninstall" | sed -n 's/^    InstallLocation    REG_SZ    //p')
    echo "Installed into $dir"
    [ $mode = AllUsers ] && [ "$dir" != 'C:\Program Files\Plover' ] && fail "not in Program Files"
    unix_dir=$(winepath -u "$dir" 2>/dev/null)
    installed=$(cd "$unix_dir" && find . ! -type d | sed 's|^\./||' | sort)
    [ "$installed" = "$(printf '%s\nUninstall.exe\n' "$zip_files" | sort)" ] ||
        { diff <(echo "$zip_files") <(echo "$installed") || true; fail "not the archive's files"; }

    lnk=$(find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Plover.lnk')
    [ "$(wc -l <<<"$lnk")" = 1 ] && grep -qxF "$dir\\plover.exe" <<<"$(strings "$lnk")" ||
        fail "no Start menu shortcut to plover.exe: $lnk"

    rc=$("$windres" -i "$unix_dir/plover.exe" -O rc)
    for line in '"IDI_ICON1" 14 /\* RT_GROUP_ICON \*/' 'Has 6 elements' "\"CompanyName\", \"$organization\"" \
        '"ProductName", "Plover"' "\"ProductVersion\", \"$version\"" "\"FileVersion\", \"$version\""; do
        grep -q "$line" <<<"$rc" || fail "plover.exe's resources lack $line"
    done

    expect "$uninstall" DisplayName REG_SZ Plover
    expect "$uninstall" DisplayVersion REG_SZ "$version"
    expect "$uninstall" Publisher REG_SZ "$organization"
    expect "$uninstall" DisplayIcon REG_SZ "$dir\\plover.exe,0"
    expect "$uninstall" UninstallString REG_SZ "\"$dir\\Uninstall.exe\" /$mode"
    classes=$root\\Software\\Classes
    command="\"$dir\\plover.exe\" \"%1\""
    expect "$classes\\Applications\\plover.exe\\shell\\open\\command" "(Default)" REG_SZ "$command"
    progid=$organization.Plover.Image
    expect "$classes\\$progid\\shell\\open\\command" "(Default)" REG_SZ "$command"
    for type in .tif .tiff .png .jpg .jpeg; do
        expect "$classes\\$type\\OpenWithProgids" "$progid" REG_NONE ""
        expect "$classes\\Applications\\plover.exe\\SupportedTypes" "$type" REG_SZ ""
    done
    after_registry=$(registry)
    # Wine saves a key without values only while it has no subkeys, so only values can tell a change.
    changed=$(comm -23 <(echo "$before_registry") <(echo "$after_registry") | grep $'\t' || true)
    [ -z "$changed" ] || fail "the installer changed or removed: $changed"
    echo "Registry entries written:"
    comm -13 <(echo "$before_registry") <(echo "$after_registry") | grep $'\t' | sed 's/^/    /'

    "$(dirname "$0")/open_in_wine.sh" "$dir\\plover.exe" "$plugins" "$target"
    # A print setting as Plover keeps it (QSettings), which the uninstaller removes with the rest.
    wine reg add "HKCU\\Software\\$organization\\Plover\\print" /v paper /d A3 /f >/dev/null

    uninstaller=$(query "$uninstall" | sed -n 's/^    UninstallString    REG_SZ    "\([^"]*\)" .*/\1/p')
    timeout 120 wine "$uninstaller" /$mode /S
    wineserver -w
    wineboot -r
    [ "$(registry)" = "$before_registry" ] ||
        fail "the registry differs after uninstalling: $(diff <(echo "$before_registry") <(registry))"
    [ "$(files)" = "$before_files" ] ||
        fail "files differ after uninstalling: $(diff <(echo "$before_files") <(files))"
    echo "Uninstalled: registry and files as before"
done
