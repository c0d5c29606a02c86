#!/usr/bin/env bash
# Runs the Windows print job test under Wine against a private print system: a cupsd with one
# PostScript queue, "plover-ps", whose filter hands each job to Ghostscript. Ghostscript rasterises
# the job's pages at the queue's resolution into <dir>/pages/printed/page-<n>.png, where the test reads
# them back.
# The queue is our own PostScript one because Wine's driver emits PostScript: its page reaches
# Ghostscript exactly as Wine wrote it, with no conversion filters of the scheduler in between.
# cupsd is stopped by its process id; the Wine prefix is the test's own, its wineserver stopped
# with `wineserver -k` on that prefix.
#   gdi_print_system.sh <test.exe> <wine prefix> <folder of the DLLs> [test arguments...]
set -euo pipefail
. "$(dirname "$0")/../support/private_cupsd.sh"
exe=$1
export WINEPREFIX=$2
dlls=$3
shift 3
PATH=$PATH:/usr/sbin
for tool in cupsd lpadmin gs; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is missing, so there is no private CUPS queue with Ghostscript behind it" \
            "(tools/install-deps.sh installs cups-daemon, cups-client and ghostscript)"
        exit 77
    fi
done

dpi=300
dir=$(mktemp -d /tmp/plover-gdi-print.XXXXXX)
cupsd_pid=
stop() {
    wineserver -k 2>/dev/null || true
    if [ -n "$cupsd_pid" ]; then
        kill "$cupsd_pid" 2>/dev/null || true
        for _ in $(seq 50); do kill -0 "$cupsd_pid" 2>/dev/null || break; sleep 0.1; done
    fi
    rm -rf "$dir"
}
trap stop EXIT
# When cupsd runs as root its filters run as lp: they need to reach the folder and write the pages.
chmod 755 "$dir"
mkdir -p "$dir"/{etc/ppd,spool/tmp,cache,state,log,filter,pages}
chmod 777 "$dir/pages"

write_private_cupsd_config "$dir" <<CONF
FileDevice Yes
CONF

# The device gets nothing: the filter gives the job to Ghostscript and moves the folder of finished
# PNGs into place in one step, so the test never reads half a job.
cat >"$dir/filter/rasterise" <<SCRIPT
#!/bin/sh
rm -rf $dir/pages/job && mkdir $dir/pages/job \\
    && $(command -v gs) -q -dSAFER -dBATCH -dNOPAUSE -r$dpi -sDEVICE=png16m -sOutputFile=$dir/pages/job/page-%d.png "\${6:--}" \\
    && mv $dir/pages/job $dir/pages/printed
SCRIPT
chmod 755 "$dir/filter/rasterise"

# A4 only, with unequal margins (left 18 pt, right 6 pt, bottom 24 pt, top 36 pt) so that both
# physical offsets matter; Wine turns a landscape sheet onto the page as LandscapeOrientation says.
cat >"$dir/plover-ps.ppd" <<PPD
*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "PLOVERPS.PPD"
*Manufacturer: "Plover"
*Product: "(Plover PostScript Test Printer)"
*ModelName: "Plover PostScript Test Printer"
*ShortNickName: "Plover PostScript Test Printer"
*NickName: "Plover PostScript Test Printer"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: True
*DefaultColorSpace: RGB
*FileSystem: False
*Throughput: "1"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*cupsFilter: "application/postscript 0 $dir/filter/rasterise"
*DefaultResolution: ${dpi}dpi
*OpenUI *PageSize/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595 842]/ImagingBBox null>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion: PickOne
*OrderDependency: 10 AnySetup *PageRegion
*DefaultPageRegion: A4
*PageRegion A4/A4: "<</PageSize[595 842]/ImagingBBox null>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: A4
*ImageableArea A4/A4: "18 24 589 806"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
*DefaultFont: Courier
*Font Courier: Standard "(002.004S)" Standard ROM
PPD

DBUS_SYSTEM_BUS_ADDRESS=unix:path=$dir/no-bus cupsd -f -c "$dir/etc/cupsd.conf" -s "$dir/etc/cups-files.conf" \
    </dev/null >"$dir/log/cupsd_log" 2>&1 &
cupsd_pid=$!
for _ in $(seq 100); do [ -S "$dir/cupsd.sock" ] && break; sleep 0.1; done
# Wine's winspool talks to CUPS through the host's libcups, which reads this variable.
export CUPS_SERVER=$dir/cupsd.sock
lpadmin -p plover-ps -E -v file:///dev/null -P "$dir/plover-ps.ppd"
lpadmin -d plover-ps

# Without a display, Wine's null graphics driver still runs the print dialog's window.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPATH="Z:$dlls"
if [ ! -f "$WINEPREFIX/plover-ready" ]; then
    wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/plover-ready"
fi
# The test reads the pages through the drive Wine maps to /. Wine does not pass the host's QT_
# variables on, but it passes WINEQT_ ones without the prefix: Qt Test then logs to stderr.
export PLOVER_PAGES="Z:$dir/pages" WINEQT_FORCE_STDERR_LOGGING=1
status=0
timeout 240 wine "$exe" "$@" || status=$?
if [ $status -ne 0 ]; then
    echo "--- cupsd error log"
    cat "$dir/log/error_log" 2>/dev/null || true
fi
exit $status
