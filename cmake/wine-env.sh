# Sourced with $root set: the environment every Wine process of a run shares.
# The build tree names its Wine architecture in $root/arch (win32 or win64): the i686 build
# runs in a 32-bit prefix, the x86_64 build in a 64-bit one.
export WINEPREFIX="$root/prefix"
WINEARCH=$(cat "$root/arch" 2>/dev/null || echo win32)
export WINEARCH
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d}"
# A Japanese locale makes the ANSI code page 932.
export LANG=ja_JP.UTF-8
export LC_ALL=ja_JP.UTF-8
if [ -f "$root/display" ]; then
    DISPLAY=":$(cat "$root/display")"
    export DISPLAY
fi
if [ "$WINEARCH" = win64 ]; then
    WINE=/usr/lib/wine/wine64
    WINESERVER=/usr/lib/wine/wineserver64
else
    WINE=/usr/lib/wine/wine
    WINESERVER=/usr/lib/wine/wineserver32
fi
[ -x "$WINE" ] || WINE=wine
[ -x "$WINESERVER" ] || WINESERVER=wineserver
# The emulated device's platform libraries (PELMORA_DEVICE_BIN) are found like system ones.
WINEPATH="Z:$(printf '%s' "$(dirname "$root")/bin" | tr / '\\')${WINEPATH:+;$WINEPATH}"
export WINEPATH
