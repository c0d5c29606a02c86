#!/usr/bin/env bash
# validate_metadata.sh <entry.desktop> <metainfo.xml>
# Runs each validator that is installed; hints and infos pass, warnings and errors fail.
# Exit 77 (skipped) when neither validator is installed.
set -u
desktop=$1
metainfo=$2
ran=0
failed=0

if command -v desktop-file-validate >/dev/null 2>&1; then
    ran=1
    out=$(desktop-file-validate "$desktop" 2>&1)
    rc=$?
    echo "desktop-file-validate: exit $rc${out:+
$out}"
    if [ $rc -ne 0 ] || grep -qE '(error|warning):' <<<"$out"; then failed=1; fi
else
    echo "desktop-file-validate is not installed (package desktop-file-utils)."
fi

if command -v appstreamcli >/dev/null 2>&1; then
    ran=1
    appstreamcli validate --no-net "$metainfo" || failed=1
else
    echo "appstreamcli is not installed (package appstream)."
fi

if [ $ran -eq 0 ]; then
    echo "SKIPPED: no validator installed; run tools/install-deps.sh."
    exit 77
fi
exit $failed
