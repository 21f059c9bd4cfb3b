# Sourced with $root set: the environment every Wine process of a run shares.
export WINEPREFIX="$root/prefix"
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
# A Japanese locale makes the ANSI code page 932.
export LANG=ja_JP.UTF-8
export LC_ALL=ja_JP.UTF-8
if [ -f "$root/display" ]; then
    DISPLAY=":$(cat "$root/display")"
    export DISPLAY
fi
WINE=/usr/lib/wine/wine
[ -x "$WINE" ] || WINE=wine
WINESERVER=/usr/lib/wine/wineserver32
[ -x "$WINESERVER" ] || WINESERVER=wineserver
# The emulated device's platform libraries (PELMORA_DEVICE_BIN) are found like system ones.
WINEPATH="Z:$(printf '%s' "$(dirname "$root")/bin" | tr / '\\')${WINEPATH:+;$WINEPATH}"
export WINEPATH
