# Sourced by the tests' print systems: writes the configuration of a cupsd private to folder $1, which
# listens only on $1/cupsd.sock and keeps every file of its own under $1; further cups-files.conf
# lines come from standard input.
write_private_cupsd_config() {
    local dir=$1
    cat >"$dir/etc/cupsd.conf" <<CONF
Listen $dir/cupsd.sock
LogLevel warn
WebInterface No
Browsing No
<Location />
  Order allow,deny
  Allow localhost
</Location>
CONF
    {
        cat <<CONF
ServerRoot $dir/etc
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
Printcap $dir/printcap
CONF
        cat
    } >"$dir/etc/cups-files.conf"
}
