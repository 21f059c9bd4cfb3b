#!/bin/sh
# Starts and stops the one Wine session (prefix, wineserver, Xvfb) of a test run.
# Usage: wine-session.sh start|stop|prefix WINE_ROOT, or connmgr WINE_ROOT FILE.reg
set -e
cmd=$1
root=$2
mkdir -p "$root"
. "$(dirname "$0")/wine-env.sh"

make_prefix() {
    # flock: tests started in parallel must not create the prefix twice.
    (
        flock 9
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            "$WINE" wineboot -i >"$root/wineboot.log" 2>&1
            "$WINESERVER" -w
        fi
        # The handheld's dialogs ask for its Japanese UI font, which Wine lacks: map it
        # onto the installed IPA font so Japanese labels render. Xvfb runs no window
        # manager, so windows are left unmanaged (else hiding each one waits 2 s for one).
        if ! grep -q 'IPAPGothic' "$WINEPREFIX/user.reg" 2>/dev/null ||
            ! grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
            "$WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' \
                /t REG_SZ /d IPAPGothic /f >>"$root/wineboot.log" 2>&1
            "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
                >>"$root/wineboot.log" 2>&1
            "$WINESERVER" -w
        fi
        # A device profile with another screen (the VGA handheld: 192 DPI) names its logical
        # DPI in $root/dpi; the emulated device reads its screen from it.
        if [ -f "$root/dpi" ]; then
            dpi=$(printf '%08x' "$(cat "$root/dpi")")
            if ! grep -q "\"LogPixels\"=dword:$dpi" "$WINEPREFIX/user.reg" 2>/dev/null; then
                "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
                    /d "$(cat "$root/dpi")" /f >>"$root/wineboot.log" 2>&1
                "$WINE" reg add \
                    'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
                    /v LogPixels /t REG_DWORD /d "$(cat "$root/dpi")" /f >>"$root/wineboot.log" 2>&1
                "$WINESERVER" -w
            fi
        fi
    ) 9>"$root/prefix.lock"
}

# The emulated device's in-process servers (its contacts library) registered in the prefix
# from where this build keeps them; a build without them registers nothing.
register_device_servers() {
    bin="$(dirname "$root")/bin"
    if [ -f "$bin/pimstore.dll" ]; then
        "$WINE" regsvr32 /s pimstore.dll </dev/null >/dev/null 2>&1 || true
    fi
}

case "$cmd" in
prefix)
    make_prefix
    register_device_servers
    ;;
start)
    "$(dirname "$0")/wine-session.sh" stop "$root" || true
    make_prefix
    # Sessions of other build trees may run at the same time, and their display lock files
    # cannot be relied on to exist, so each tree starts looking for a free display at its
    # own number instead of all at :0. Xvfb reports the display on a pipe once it accepts
    # clients.
    first=$(( $(printf '%s' "$root" | cksum | cut -d' ' -f1) % 400 + 100 ))
    while [ -e "/tmp/.X11-unix/X$first" ] || [ -e "/tmp/.X$first-lock" ]; do
        first=$((first + 1))
    done
    fifo="$root/display.fifo"
    rm -f "$fifo" "$root/display"
    mkfifo "$fifo"
    Xvfb ":$first" -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" \
        >"$root/xvfb.log" 2>&1 &
    echo $! >"$root/xvfb.pid"
    read -r n <"$fifo"
    rm -f "$fifo"
    echo "$n" >"$root/display"
    "$WINESERVER" -p </dev/null >/dev/null 2>&1
    # Start the prefix's background processes (services, devices, desktop) now, detached
    # from any test's output, or they would hold a test's output pipe open after it ends.
    "$WINE" wineboot </dev/null >/dev/null 2>&1
    register_device_servers
    # Wine opens the display for a process once; a program that starts before the desktop
    # is ready can show no window at all. Wait until a probe can open one.
    if [ -f "$(dirname "$root")/bin/devicescreen.exe" ]; then
        for attempt in 1 2 3 4 5; do
            "$WINE" devicescreen.exe desktop </dev/null >/dev/null 2>&1 && break
            sleep 1
        done
    fi
    echo "wine session: prefix $WINEPREFIX, display :$n"
    ;;
connmgr)
    # The device's Connection Manager keys from a profile's connmgr.reg (kept in UTF-8;
    # regedit takes UTF-16 with a byte order mark), in place of whatever was there.
    reg=$3
    "$WINE" reg delete 'HKLM\Comm\ConnMgr' /f >/dev/null 2>&1 || true
    { printf '\377\376'; iconv -f UTF-8 -t UTF-16LE "$reg"; } >"$root/connmgr.reg"
    "$WINE" regedit /S "Z:$(printf '%s' "$root/connmgr.reg" | tr / '\\')"
    ;;
stop)
    "$WINESERVER" -k 2>/dev/null || true
    "$WINESERVER" -w 2>/dev/null || true
    if [ -f "$root/xvfb.pid" ]; then
        kill "$(cat "$root/xvfb.pid")" 2>/dev/null || true
        rm -f "$root/xvfb.pid" "$root/display"
    fi
    ;;
*)
    echo "usage: $0 start|stop|prefix WINE_ROOT, or connmgr WINE_ROOT FILE.reg" >&2
    exit 2
    ;;
esac
