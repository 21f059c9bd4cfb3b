#!/usr/bin/env bash
# PelmoraSetting.exe on the emulated device, on your display: installed in
# \Program Files\Pelmora next to the settings file that the extension reads, with the sample
# device's accounts and Connection Manager. When the program closes, the settings file is
# printed as it stands.
#
# Usage: settings.sh WIN32_BUILD_DIR   (needs a display: DISPLAY)
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
[ $# -eq 1 ] || { sed -n '7p' "$0" >&2; exit 2; }
win32=$(cd "$1" && pwd)
root="$win32/wine"
session="$top/cmake/wine-session.sh"
run="$top/cmake/wine-run.sh"
setting="$win32/setting_app/PelmoraSetting.exe"
[ -f "$setting" ] || { echo "settings: $setting is missing; build first (tools/pelmora build)" >&2; exit 1; }
[ -n "${DISPLAY:-}" ] || { echo "settings: the program needs a display (DISPLAY)" >&2; exit 1; }

say() { printf '== %s\n' "$*" >&2; }
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# The windows go to the user's display, not to a session's Xvfb.
"$session" stop "$root"
"$session" prefix "$root"
trap '"$session" stop "$root"' EXIT

drive_c="$root/prefix/drive_c"
install_dir="$drive_c/Program Files/Pelmora"
mkdir -p "$install_dir"
cp "$setting" "$install_dir/PelmoraSetting.exe"

# The sample device: its message stores are the accounts, its Connection Manager's
# connections (connmgr.reg) the connections.
profile="$win32/settings-device/profile"
rm -rf "$profile"
mkdir -p "$(dirname "$profile")"
cp -r "$top/device/profiles/sample" "$profile"
"$session" connmgr "$root" "$profile/connmgr.reg"

say "opening PelmoraSetting on $DISPLAY: \"OK\" (or Ctrl+Q) saves, \"メニュー\" > \"キャンセル\" (or Ctrl+A) does not"
( cd "$drive_c" && PELMORA_DEVICE_PROFILE=$(winpath "$profile") \
    "$run" "$root" 'C:\Program Files\Pelmora\PelmoraSetting.exe' ) || true

ini="$install_dir/Pelmora.ini"
if [ -f "$ini" ]; then
    say "\\Program Files\\Pelmora\\Pelmora.ini (texts are base64 of their code page 932 bytes):"
    tr -d '\r' <"$ini"
else
    say "no settings file was written"
fi
