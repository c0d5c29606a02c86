#!/usr/bin/env bash
# Starts (setup) or stops (cleanup) a private print system for the tests: a cupsd with its own
# configuration and socket, an ippeveprinter behind the queue "plover-test", and two driver queues,
# "plover-driver" (our own PPD) and "plover-gutenprint" (Gutenprint's PPD for an Epson inkjet), whose
# last filter stores the CUPS raster it gets in <dir>/captured; all inside a fresh temporary directory. The directory is reachable through the link <link>; processes are stopped by
# the ids recorded there.
#   cups_fixture.sh setup|cleanup <link>
set -euo pipefail
. "$(dirname "$0")/../support/private_cupsd.sh"
mode=$1
link=$2

stop() {
    local dir=$1
    if [ -f "$dir/pids" ]; then
        while read -r pid; do
            kill "$pid" 2>/dev/null || true
        done <"$dir/pids"
        while read -r pid; do
            for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        done <"$dir/pids"
    fi
    rm -rf "$dir"
}

if [ "$mode" = cleanup ]; then
    [ -L "$link" ] && stop "$(readlink "$link")"
    rm -f "$link"
    exit 0
fi

[ -L "$link" ] && stop "$(readlink "$link")"
rm -f "$link"
dir=$(mktemp -d /tmp/plover-cups.XXXXXX)
chmod 755 "$dir"
trap 'stop "$dir"; rm -f "$link"' ERR
mkdir -p "$dir"/{etc/ppd,spool/tmp,cache,state,log,printer,filter,captured}
chmod 755 "$dir"/*
# The driver queues' filters run as lp when cupsd runs as root.
chmod 777 "$dir/captured"
here=$(cd "$(dirname "$0")" && pwd)

write_private_cupsd_config "$dir" <<CONF
FileDevice Yes
CONF

# The driver queues' last filter, in place of the driver's: keeps the raster and the filter's
# arguments (job id, user, title, copies, options) as <job>.ras and <job>.args, each written under
# another name first; the arguments come last, so a reader that sees them sees the whole raster.
cat >"$dir/filter/capture" <<SCRIPT
#!/bin/sh
umask 022
out=$dir/captured/\$1
cat "\${6:--}" >"\$out.ras.part" && mv "\$out.ras.part" "\$out.ras" || exit 1
printf '%s\\n' "\$1" "\$2" "\$3" "\$4" "\$5" >"\$out.args.part" && mv "\$out.args.part" "\$out.args"
SCRIPT
chmod 755 "$dir/filter/capture"

# ippeveprinter needs a system bus to start, though it registers nothing on it (-r off).
cat >"$dir/etc/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$dir/bus.sock</listen>
  <policy context="default">
    <allow user="*"/><allow own="*"/><allow send_destination="*"/><allow receive_sender="*"/>
  </policy>
</busconfig>
CONF
dbus-daemon --config-file="$dir/etc/bus.conf" --nofork </dev/null >"$dir/log/bus_log" 2>&1 &
echo $! >>"$dir/pids"
for _ in $(seq 50); do [ -S "$dir/bus.sock" ] && break; sleep 0.1; done

# The printer: PWG raster at 600, 720 and 1440 dpi, keeping every document it receives, with the job's
# attributes written beside it by record_job.sh.
for _ in 1 2 3 4 5 6 7 8; do
    port=$((20000 + RANDOM % 30000))
    DBUS_SYSTEM_BUS_ADDRESS=unix:path=$dir/bus.sock ippeveprinter -n localhost -p "$port" -r off -k -d "$dir/printer" -a "$here/cups_printer.conf" \
        -c "$here/record_job.sh" "Plover Test Printer" </dev/null >"$dir/log/printer_log" 2>&1 &
    printer=$!
    for _ in $(seq 50); do
        kill -0 "$printer" 2>/dev/null || break
        ipptool -q "ipp://localhost:$port/ipp/print" get-printer-attributes.test 2>/dev/null && break
        sleep 0.1
    done
    kill -0 "$printer" 2>/dev/null && break
done
echo "$printer" >>"$dir/pids"

DBUS_SYSTEM_BUS_ADDRESS=unix:path=$dir/no-bus cupsd -f -c "$dir/etc/cupsd.conf" -s "$dir/etc/cups-files.conf" </dev/null >"$dir/log/cupsd_log" 2>&1 &
echo $! >>"$dir/pids"
for _ in $(seq 100); do [ -S "$dir/cupsd.sock" ] && break; sleep 0.1; done

export CUPS_SERVER=$dir/cupsd.sock
lpadmin -p plover-test -E -v "ipp://localhost:$port/ipp/print" -m everywhere
# lpadmin returns before the scheduler has made the queue's PPD from the printer's answers.
for _ in $(seq 100); do [ -s "$dir/etc/ppd/plover-test.ppd" ] && break; sleep 0.1; done
[ -s "$dir/etc/ppd/plover-test.ppd" ]
lpadmin -d plover-test
sed "s|@CAPTURE@|$dir/filter/capture|" "$here/plover_driver.ppd" >"$dir/plover-driver.ppd"
lpadmin -p plover-driver -E -v file:///dev/null -P "$dir/plover-driver.ppd"
# Gutenprint's own PPD, unchanged but for its raster filter.
/usr/lib/cups/driver/gutenprint.5.3 cat gutenprint.5.3://escp2-p800/expert |
    sed "s|^\*cupsFilter:.*application/vnd.cups-raster .*|*cupsFilter: \"application/vnd.cups-raster 100 $dir/filter/capture\"|" \
        >"$dir/plover-gutenprint.ppd"
grep -q "^\*cupsFilter: \"application/vnd.cups-raster 100 $dir/filter/capture\"" "$dir/plover-gutenprint.ppd"
lpadmin -p plover-gutenprint -E -v file:///dev/null -P "$dir/plover-gutenprint.ppd"
ln -s "$dir" "$link"
echo "private print system in $dir: queue plover-test -> ipp://localhost:$port/ipp/print, driver queues plover-driver and plover-gutenprint"
