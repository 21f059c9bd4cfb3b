#!/usr/bin/env bash
# PelmoraSetting.exe on the emulated device, on your display: installed in
# \Program Files\Pelmora next to the settings file that the extension reads, with the sample
# device's accounts and two Connection Manager destinations. When the program closes, the
# settings file is printed as it stands.
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

# The sample device's message stores are the accounts; its Connection Manager gets two
# destinations with a connection each.
profile="$win32/settings-device/profile"
rm -rf "$profile"
mkdir -p "$(dirname "$profile")"
cp -r "$top/device/profiles/sample" "$profile"
internet='{436EF144-B4FB-4863-A041-8F905A62C572}'
work='{A1182988-0D73-439E-87AD-2A5B369F808B}'
printf '%s|インターネット\r\n%s|会社\r\n' "$internet" "$work" >"$profile/destinations.txt"
connections='HKLM\Comm\ConnMgr\Providers\{7C4B7A38-5FF7-4bc1-80F6-5DA7870BB1AA}\Connections'
add_connection() {
    "$run" "$root" reg add "$connections\\$1" /v Enabled /t REG_DWORD /d 1 /f >/dev/null
    "$run" "$root" reg add "$connections\\$1" /v DestId /t REG_SZ /d "$2" /f >/dev/null
}
add_connection GPRS "$internet"
add_connection 'ダイヤルアップ' "$work"

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
