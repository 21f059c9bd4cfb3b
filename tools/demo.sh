#!/usr/bin/env bash
# The main job on the bundled sample device: Pelmora is installed on the emulated handheld,
# its settings program is worked through its controls on the emulated screen (main page,
# advanced sheet, contacts chooser) and the settings file it writes is printed; then
# the emulated Inbox replies with "アカウントを指定して返信" to each sample message, and each
# compose request is printed as the compose window receives it; then the list view runs
# "接続を指定して送受信" over a connection of the other destination network, and the
# Connection Manager's routing is printed before, during (as the sync saw it) and after.
#
# Usage: demo.sh WIN32_BUILD_DIR [--interactive | --screenshots DIR | --repeat N]
#   (default)      headless: the settings program sets the account, so no dialog is needed
#   --interactive  on your display ($DISPLAY): the Inbox's windows, the account choice
#                  dialog and a compose window for each reply
#   --screenshots DIR  headless, with a PNG of each window a user meets saved in DIR, and
#                  the settings program and account choice dialog on the VGA device (-vga)
#   --repeat N     headless, and each reply is made N more times in the Inbox's process,
#                  which prints the time per command (warm); the requests are not printed
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
usage() {
    sed -n '10,17p' "$0" >&2
    exit 2
}
[ $# -ge 1 ] || usage
win32=$(cd "$1" && pwd)
shift
interactive=0
shots=
repeat=()
while [ $# -gt 0 ]; do
    case "$1" in
    --interactive) interactive=1 ;;
    --screenshots)
        [ $# -ge 2 ] || usage
        mkdir -p "$2"
        shots=$(cd "$2" && pwd)
        shift
        ;;
    --repeat)
        [ $# -ge 2 ] || usage
        repeat=(--repeat "$2")
        shift
        ;;
    *) usage ;;
    esac
    shift
done
[ "$interactive" = 0 ] || [ -z "$shots" ] || usage

root="$win32/wine"
session="$top/cmake/wine-session.sh"
run="$top/cmake/wine-run.sh"
dll="$win32/menuext/Pelmora.dll"
setting="$win32/setting_app/PelmoraSetting.exe"
inbox="$win32/bin/inbox.exe"
screen="$win32/bin/devicescreen.exe"
for f in "$dll" "$setting" "$inbox" "$screen"; do
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
sample="$top/device/profiles/sample"

# The device's Connection Manager configuration, as the sample profile's connmgr.reg has it.
say "importing the sample device's Connection Manager keys (connmgr.reg)"
"$session" connmgr "$root" "$sample/connmgr.reg"

# Pelmora installed where the handheld keeps it, and registered with the Inbox.
say "installing Pelmora.dll in \\Program Files\\Pelmora and registering it"
mkdir -p "$install_dir"
rm -f "$install_dir/Pelmora.routing"
cp "$dll" "$install_dir/Pelmora.dll"
cp "$setting" "$install_dir/PelmoraSetting.exe"
# Paths without a drive name the device's root, C:.
( cd "$drive_c" && "$run" "$root" regsvr32 /s 'C:\Program Files\Pelmora\Pelmora.dll' )

# A fresh copy of the sample device's messages, so its journal holds this run only.
profile="$win32/demo/profile"
rm -rf "$profile"
mkdir -p "$(dirname "$profile")"
cp -r "$sample" "$profile"
rm -f "$profile/outbox.jsonl" "$profile/live.jsonl"
wprofile=$(winpath "$profile")
journal="$profile/outbox.jsonl"
export PELMORA_DEVICE_PROFILE="$wprofile"

screen_run() { ( cd "$drive_c" && "$run" "$root" "$screen" "$@" ); }
shot() { winpath "$shots/$1"; }
# A capture step for DIR/FILE when screenshots are asked for; nothing otherwise.
shot_step() { [ -z "$shots" ] || printf 'capture\n%s\n' "$(shot "$1")"; }

# The INI file, one line a key; text values (base64 of code page 932 bytes) also decoded.
print_ini() {
    python3 - "$1" <<'PY'
import base64, sys
with open(sys.argv[1], "rb") as f:
    data = f.read()
texts = {"CONNECTNAME", "CC", "BCC", "QUATESTRING", "RESTEMPLATE", "SIGNATURE"}
for line in data.split(b"\r\n"):
    if not line:
        continue
    key, _, value = line.decode("ascii").partition("=")
    shown = line.decode("ascii")
    if key in texts:
        decoded = base64.b64decode(value).decode("cp932").replace("\r\n", "\\r\\n")
        shown = "%-34s (%s)" % (shown, decoded)
    print("  " + shown)
PY
}

if [ "$interactive" = 1 ]; then
    # On your display the settings are written for you: quote with ">", sign as 山田 太郎,
    # and ask for the account.
    {
        printf '[Pelmora]\r\nPRIOFROM=FALSE\r\nRESALL=FALSE\r\nRESALLCC=FALSE\r\nQUATE=TRUE\r\n'
        printf 'QUATESTRING=%s\r\nSIGNATURE=%s\r\n' "$(b64 '>')" "$(b64 '山田 太郎')"
    } >"$install_dir/Pelmora.ini"
    say "settings: quote with \">\", sign as 山田 太郎, ask for the account"
else
    # The settings program on the emulated screen, worked through its controls as a user
    # would: send/receive over 社内無線LAN and reply from 携帯メール without asking; in the
    # advanced sheet Cc from the contacts (山田 花子), quote with ">", sign as 山田 太郎.
    say "PelmoraSetting.exe: setting the connection, account, Cc, quoting and signature"
    rm -f "$install_dir/Pelmora.ini"
    pause=0
    [ -z "$shots" ] || pause=1500
    ( cd "$drive_c" && PELMORA_DEVICE_CONTACT_PICK='山田 花子' PELMORA_DEVICE_CONTACT_PAUSE=$pause \
        "$run" "$root" 'C:\Program Files\Pelmora\PelmoraSetting.exe' ) \
        >"$win32/demo/setting.log" 2>&1 &
    setting_pid=$!
    main=PelmoraSetting
    sheet=詳細設定
    mapfile -t steps < <(
        printf '%s\n' wait $main \
            tap-control $main 1000 key tab key down key down key down \
            wait-text $main 1001 社内無線LAN \
            tap-control $main 1002 key tab key down wait-text $main 1003 携帯メール
        shot_step settings-main.png
        printf '%s\n' tap 180 307 wait-menu
        shot_step settings-menu.png
        printf '%s\n' key down key return wait $sheet tap-control $sheet 1011
        [ -z "$shots" ] || printf '%s\n' wait 連絡先の選択
        shot_step contacts-chooser.png
        printf '%s\n' wait-text $sheet 1009 hanako.yamada@example.jp
        shot_step sheet-reply.png
        printf '%s\n' tap 80 284 wait-text $sheet 1004 元の文章を引用 \
            tap-control $sheet 1004 tap-control $sheet 1005 text '>' wait-text $sheet 1005 '>'
        shot_step sheet-quote.png
        printf '%s\n' tap 130 284 tap-control $sheet 1008 text '山田 太郎' \
            wait-text $sheet 1008 '山田 太郎'
        shot_step sheet-signature.png
        printf '%s\n' tap-control $sheet 1 wait-gone $sheet tap 60 307 wait-gone $main
    )
    screen_run "${steps[@]}" || {
        echo "demo: the settings program did not take the settings" >&2
        kill "$setting_pid" 2>/dev/null || true
        exit 1
    }
    wait "$setting_pid" || true
    [ -f "$install_dir/Pelmora.ini" ] || { echo "demo: no settings file was written" >&2; exit 1; }
    echo "Pelmora.ini as PelmoraSetting.exe wrote it:"
    print_ini "$install_dir/Pelmora.ini"
fi

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
    print("  compose request (flags %s):" % r.get("flags"))
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

# The Connection Manager's routing in one line: the destination carrying the HTTP proxy
# entry (with its proxy), then every connection's "Enabled" value. Reads the sync record's
# routing (JSON) or, with --registry, a registry export of HKLM\Comm\ConnMgr.
routing() {
    python3 - "$profile/destinations.txt" "$@" <<'PY'
import json, re, sys
names = {}
with open(sys.argv[1], encoding="utf-8") as f:
    for line in f.read().splitlines():
        if line and not line.startswith("#") and "|" in line:
            guid, desc = line.split("|")[:2]
            names[guid.strip()] = desc
connections, proxies = {}, []
if sys.argv[2] == "--registry":
    with open(sys.argv[3], encoding="utf-16") as f:
        key = None
        for line in f.read().splitlines():
            m = re.match(r"\[(.*)\]$", line)
            if m:
                key = m.group(1)
                continue
            m = re.match(r'"(\w+)"=(?:dword:([0-9a-f]{8})|"(.*)")$', line)
            if not m or key is None:
                continue
            leaf = key.rsplit("\\", 1)[-1]
            if "\\Connections\\" in key and m.group(1) == "Enabled":
                connections[leaf] = int(m.group(2), 16) if m.group(2) else None
            elif leaf.startswith("HTTP-") and m.group(1) == "Proxy":
                proxies.append((leaf[5:], m.group(3)))
else:
    record = json.loads(sys.argv[2])["routing"]
    connections = {c["name"]: c["enabled"] for c in record["connections"]}
    proxies = [(p["destination"], p["proxy"]) for p in record["proxies"]]
carried = ", ".join("%s (%s)" % (names.get(d, d), p) for d, p in proxies) or "none"
enabled = " ".join("%s=%s" % (n, connections[n]) for n in sorted(connections))
print("proxy entry on %s | %s" % (carried, enabled))
PY
}
registry_routing() {
    "$run" "$root" reg export 'HKLM\Comm\ConnMgr' "$(winpath "$root/connmgr-now.reg")" /y \
        >/dev/null 2>&1
    routing --registry "$root/connmgr-now.reg"
}

echo
echo "--- 接続を指定して送受信 in the list view, over 社内無線LAN (CONNECTNAME)"
first_message=${messages[0]#* }
before_routing=$(registry_routing)
before=$(journal_lines)
output=$(inbox_run --view list --store "${messages[0]%% *}" --message "${first_message%% *}" \
    --item 接続を指定して送受信 | tr -d '\r')
status=$(printf '%s\n' "$output" | sed -n 's/^status //p')
echo "  接続を指定して送受信 -> status ${status:-none}"
[ "$status" = 0x00000000 ] || failed=1
# The sync runs after its request returns; the routing it saw is the one it met when it asked
# for its connection.
sync_record=$(tail -n +"$((before + 1))" "$journal" | grep '"SyncConnection"' | tail -1 || true)
echo "routing before: $before_routing"
if [ -n "$sync_record" ]; then
    echo "routing during: $(routing "$sync_record")"
else
    echo "routing during: (no sync)"
    failed=1
fi
echo "routing after:  $(registry_routing)"
[ -f "$install_dir/Pelmora.routing" ] && failed=1

echo
if [ "$failed" = 0 ]; then
    echo "Replied to ${#messages[@]} messages; the compose requests above are what the compose window received."
    echo "Sent and received over 社内無線LAN; the routing is back as it was."
else
    echo "Some commands did not succeed (see the statuses above)." >&2
    exit 1
fi
[ -n "$shots" ] || exit 0

# --- Screenshots: the emulated screen (240 x 320, top left of the session's display) as a
# user meets it, driven by stylus taps and keys through devicescreen.exe. ---
# The Inbox's screen: navigation bar 26 px, header strip 20 px, messages 34 px a line; the
# read view's header is two lines (36 px).
first_message_y=63
read_body_y=150
# The account choice dialog's list starts below the navigation bar, 13 px a line.
second_account_y=46
ok_x=222
ok_y=13

say "screenshots of the Inbox (携帯メール) into $shots"
# Without an account in the settings, the reply asks for one with the choice dialog.
grep -v '^RESACCOUNTINDEX=' "$install_dir/Pelmora.ini" >"$install_dir/Pelmora.ini.new"
mv "$install_dir/Pelmora.ini.new" "$install_dir/Pelmora.ini"
inbox_run --interactive --store 1 </dev/null >"$win32/demo/inbox-interactive.log" 2>&1 &
inbox_pid=$!
screen_run wait PelmoraDeviceScreen \
    capture "$(shot inbox-list.png)" \
    hold 120 $first_message_y wait-menu capture "$(shot inbox-list-menu.png)" key escape \
    double-tap 120 $first_message_y sleep 500 capture "$(shot inbox-read.png)" \
    hold 120 $read_body_y wait-menu capture "$(shot inbox-read-menu.png)" \
    key down key return wait アカウントの選択 capture "$(shot account-choice.png)" \
    double-tap 40 $second_account_y wait-gone アカウントの選択 \
    tap $ok_x $ok_y sleep 300 tap $ok_x $ok_y wait-gone PelmoraDeviceScreen 5000 ||
    { echo "demo: the screenshot script did not finish" >&2; kill "$inbox_pid" 2>/dev/null || true; }
wait "$inbox_pid" || true

# --- The same program on the VGA handheld (480 x 640 at 192 DPI), a Wine session of its own
# whose prefix has that DPI: the settings program's main page, each sheet page and the
# account choice dialog, every size in the taps below doubled. ---
vga="$win32/wine-vga"
say "screenshots on the VGA device (480 x 640, 192 DPI, Wine prefix $vga) into $shots"
"$session" start "$vga" >/dev/null
trap '"$session" stop "$root"; "$session" stop "$vga"' EXIT
vga_c="$vga/prefix/drive_c"
"$session" connmgr "$vga" "$sample/connmgr.reg"
mkdir -p "$vga_c/Program Files/Pelmora"
cp "$dll" "$setting" "$install_dir/Pelmora.ini" "$vga_c/Program Files/Pelmora/"
vga_run() { ( cd "$vga_c" && "$run" "$vga" "$@" ); }
vga_run regsvr32 /s 'C:\Program Files\Pelmora\Pelmora.dll'
vga_run 'C:\Program Files\Pelmora\PelmoraSetting.exe' >"$win32/demo/setting-vga.log" 2>&1 &
setting_pid=$!
vga_run "$screen" wait $main capture "$(shot settings-main-vga.png)" \
    tap 360 614 wait-menu key down key return wait $sheet \
    capture "$(shot sheet-reply-vga.png)" \
    tap 90 570 wait-text $sheet 1004 元の文章を引用 capture "$(shot sheet-quote-vga.png)" \
    tap 150 570 tap-control $sheet 1008 capture "$(shot sheet-signature-vga.png)" \
    tap-control $sheet 2 wait-gone $sheet tap 120 614 wait-gone $main ||
    { echo "demo: the VGA settings script did not finish" >&2; kill "$setting_pid" 2>/dev/null || true; }
wait "$setting_pid" || true
# The reply asks for the account (none is set): the choice dialog on the VGA screen.
vga_run "$inbox" --profile "$wprofile" --view read --store "${messages[0]%% *}" \
    --message "${first_message%% *}" --item アカウントを指定して返信 \
    >"$win32/demo/inbox-vga.log" 2>&1 &
inbox_pid=$!
vga_run "$screen" wait アカウントの選択 capture "$(shot account-choice-vga.png)" \
    double-tap 80 $((second_account_y * 2)) wait-gone アカウントの選択 ||
    { echo "demo: the VGA choice dialog script did not finish" >&2; kill "$inbox_pid" 2>/dev/null || true; }
wait "$inbox_pid" || true
for f in settings-main settings-menu contacts-chooser sheet-reply sheet-quote sheet-signature \
    inbox-list inbox-list-menu inbox-read inbox-read-menu account-choice settings-main-vga \
    sheet-reply-vga sheet-quote-vga sheet-signature-vga account-choice-vga; do
    [ -f "$shots/$f.png" ] && echo "  $shots/$f.png"
done
