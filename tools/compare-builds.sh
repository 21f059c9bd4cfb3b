#!/usr/bin/env bash
# Runs the main job on the sample device with both Windows builds and checks that they
# agree: the same output and the same journal records (compose and sync requests, and the
# objects left at each process end).
# Usage: compare-builds.sh BUILD_A BUILD_B
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
[ $# = 2 ] || { echo "usage: $0 BUILD_A BUILD_B" >&2; exit 2; }
status=0
for dir in "$1" "$2"; do
    if ! "$top/tools/demo.sh" "$dir" >"$dir/demo-output.txt" 2>"$dir/demo-log.txt"; then
        echo "compare-builds: the main job failed on $dir (see $dir/demo-log.txt)" >&2
        status=1
    fi
done
# Process numbers are Wine's to choose; everything else must match.
records() { sed 's/"process": [0-9]*/"process": N/' "$1"; }
for file in demo-output.txt demo/profile/outbox.jsonl demo/profile/live.jsonl; do
    if ! diff -u <(records "$1/$file") <(records "$2/$file") >&2; then
        echo "compare-builds: $file differs between $(basename "$1") and $(basename "$2")" >&2
        status=1
    fi
done
[ "$status" = 0 ] && echo "compare-builds: $(basename "$1") and $(basename "$2") agree" >&2
exit "$status"
