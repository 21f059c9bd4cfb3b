#!/usr/bin/env bash
# The main job on the bundled sample device: Pelmora is installed on the emulated handheld,
# the emulated Inbox replies with "アカウントを指定して返信" to each sample message, and each
# compose request is printed as the compose window receives it.
#
# Usage: demo.sh WIN32_BUILD_DIR [--interactive | --repeat N]
#   (default)      headless: the settings choose the account, so no dialog is needed
#   --interactive  on your display ($DISPLAY): the Inbox's windows, the account choice
#                  dialog and a compose window for each reply
#   --repeat N     headless, and each reply is made N more times in the Inbox's process,
#                  which prints the time per command (warm); the requests are not printed
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
usage() {
    sed -n '6,11p' "$0" >&2
    exit 2
}
[ $# -ge 1 ] || usage
win32=$(cd "$1" && pwd)
shift
interactive=0
repeat=()
while [ $# -gt 0 ]; do
    case "$1" in
    --interactive) interactive=1 ;;
    --repeat)
        [ $# -ge 2 ] || usage
        repeat=(--repeat "$2")
        shift
        ;;
    *) usage ;;
    esac
    shift
done

root="$win32/wine"
session="$top/cmake/wine-session.sh"
run="$top/cmake/wine-run.sh"
dll="$win32/menuext/Pelmora.dll"
setting="$win32/setting_app/PelmoraSetting.exe"
inbox="$win32/bin/inbox.exe"
for f in "$dll" "$inbox"; do
    [ -f "$f" ] || { echo "demo: $f is missing; build first (tools/pelmora build)" >&2; exit 1; }
done

say() { printf '== %s\n' "$*" >&2; }

# Windows path of a build-tree file, through Wine's Z: drive.
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# Text settings are stored as base64 of their bytes in the handheld's code page (932).
b64() { printf '%s' "$1" | iconv -f UTF-8 -t CP932 | base64 -w0; }

# --- The emulated device: its own Wine session for this run. ---
if [ "$interactive" = 1 ]; then
    [ -n "${DISPLAY:-}" ] || { echo "demo: --interactive needs a display (DISPLAY)" >&2; exit 1; }
    # The windows go to the user's display, not to a session's Xvfb.
    "$session" stop "$root"
    "$session" prefix "$root"
else
    say "starting the emulated device (Wine prefix $root)"
    "$session" start "$root" >/dev/null
fi
trap '"$session" stop "$root"' EXIT

drive_c="$root/prefix/drive_c"
install_dir="$drive_c/Program Files/Pelmora"

# Pelmora installed where the handheld keeps it, and registered with the Inbox.
say "installing Pelmora.dll in \\Program Files\\Pelmora and registering it"
mkdir -p "$install_dir"
cp "$dll" "$install_dir/Pelmora.dll"
[ -f "$setting" ] && cp "$setting" "$install_dir/PelmoraSetting.exe"
# Paths without a drive name the device's root, C:.
( cd "$drive_c" && "$run" "$root" regsvr32 /s 'C:\Program Files\Pelmora\Pelmora.dll' )

# The settings the settings program would write: quote with ">", sign as 山田 太郎, and
# (headless) reply from the second account, 携帯メール, without asking.
{
    printf '[Pelmora]\r\n'
    [ "$interactive" = 1 ] || printf 'RESACCOUNTINDEX=1\r\n'
    printf 'PRIOFROM=FALSE\r\nRESALL=FALSE\r\nRESALLCC=FALSE\r\nQUATE=TRUE\r\n'
    printf 'QUATESTRING=%s\r\nSIGNATURE=%s\r\n' "$(b64 '>')" "$(b64 '山田 太郎')"
} >"$install_dir/Pelmora.ini"
if [ "$interactive" = 1 ]; then
    say "settings: quote with \">\", sign as 山田 太郎, ask for the account"
else
    say "settings: reply from the second account (携帯メール), quote with \">\", sign as 山田 太郎"
fi

# A fresh copy of the sample device's messages, so its journal holds this run only.
profile="$win32/demo/profile"
rm -rf "$profile"
mkdir -p "$(dirname "$profile")"
cp -r "$top/device/profiles/sample" "$profile"
rm -f "$profile/outbox.jsonl" "$profile/live.jsonl"
wprofile=$(winpath "$profile")
journal="$profile/outbox.jsonl"

inbox_run() { ( cd "$drive_c" && "$run" "$root" "$inbox" --profile "$wprofile" "$@" ); }

# Prints the journal's compose requests from line FIRST on (1-based), Japanese as text.
print_requests() {
    [ -f "$journal" ] || return 0
    python3 - "$journal" "$1" <<'PY'
import json, sys
path, first = sys.argv[1], int(sys.argv[2])
with open(path, encoding="utf-8") as f:
    lines = f.read().splitlines()[first - 1:]
for line in lines:
    if not line.strip():
        continue
    r = json.loads(line)
    if r.get("call") != "MailComposeMessage":
        continue
    def show(v):
        return "(none)" if v is None else v
    print("  compose request (%s bytes, flags %s):" % (r.get("size"), r.get("flags")))
    for key, label in (("account", "account"), ("to", "to"), ("cc", "cc"), ("bcc", "bcc"),
                       ("subject", "subject"), ("messageClass", "message class")):
        print("    %-14s %s" % (label + ":", show(r.get(key))))
    attachments = r.get("attachments")
    print("    %-14s %s" % ("attachments:", "(none)" if attachments is None else attachments))
    body = r.get("body")
    if body is None:
        print("    body:          (none)")
    else:
        print("    body:")
        for text in body.split("\n"):
            print("      | " + text.replace("\r", "\\r"))
PY
}

journal_lines() { [ -f "$journal" ] && wc -l <"$journal" || echo 0; }

if [ "$interactive" = 1 ]; then
    say "opening the Inbox on $DISPLAY: pick a message, then \"アカウントを指定して返信\" from its menu"
    PELMORA_DEVICE_SHOW_COMPOSE=1 inbox_run --interactive
    echo "Compose requests of this session:"
    print_requests 1
    exit 0
fi

# Headless: every message of every store, replied to through the Inbox's read view.
mapfile -t messages < <(inbox_run --list-messages | tr -d '\r' | sed -n 's/^message //p')
stores=$(inbox_run --list-messages | tr -d '\r' | sed -n 's/^store //p')
failed=0
for entry in "${messages[@]}"; do
    store=${entry%% *}
    rest=${entry#* }
    name=${rest%% *}
    subject=${rest#* }
    store_name=$(printf '%s\n' "$stores" | awk -v s="$store" '$1 == s { $1 = ""; $2 = ""; sub(/^  /, ""); print }')
    echo
    echo "--- $store_name / $name: 「$subject」"
    before=$(journal_lines)
    output=$(inbox_run --view read --store "$store" --message "$name" \
        --item アカウントを指定して返信 "${repeat[@]}" | tr -d '\r')
    status=$(printf '%s\n' "$output" | sed -n 's/^status //p')
    echo "  アカウントを指定して返信 -> status ${status:-none}"
    [ "$status" = 0x00000000 ] || failed=1
    if [ ${#repeat[@]} -gt 0 ]; then
        printf '%s\n' "$output" | sed -n 's/^repeat /  repeated /p'
    else
        print_requests $((before + 1))
    fi
done
echo
if [ "$failed" = 0 ]; then
    echo "Replied to ${#messages[@]} messages; the compose requests above are what the compose window received."
else
    echo "Some replies did not succeed (see the statuses above)." >&2
    exit 1
fi
