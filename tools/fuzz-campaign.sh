#!/usr/bin/env bash
# A fuzzing campaign: runs the given libFuzzer targets of build/native for SECONDS each,
# two at a time, then merges the inputs that add coverage into the seed corpora
# (fuzz/corpus/<name>/, which the test run replays) and prints a table of the runs.
# Usage: fuzz-campaign.sh SECONDS TARGET_fuzz...
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:?seconds per target}
shift
work="$top/build/fuzz-campaign"
mkdir -p "$work/bin"

run_one() {
    local name=$1 base=${1%_fuzz}
    local dict=() dir="$work/$name"
    mkdir -p "$dir/new" "$dir/artifacts"
    # A copy of the binary, so that rebuilding the tree meanwhile leaves the run alone.
    cp "$top/build/native/fuzz/$name" "$work/bin/$name"
    [ -f "$top/fuzz/$base.dict" ] && dict=(-dict="$top/fuzz/$base.dict")
    nice -n 10 "$work/bin/$name" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$dir/artifacts/" "${dict[@]}" "$dir/new" "$top/fuzz/corpus/$base" \
        >"$dir/log.txt" 2>&1
    echo "$?" >"$dir/status"
    # Only inputs that add coverage to the seeds are kept, each minimised by the merge.
    "$work/bin/$name" -merge=1 "$top/fuzz/corpus/$base" "$dir/new" >"$dir/merge.txt" 2>&1
}

pids=()
for name in "$@"; do
    run_one "$name" &
    pids+=($!)
    if [ ${#pids[@]} -ge 2 ]; then
        wait "${pids[0]}"
        pids=("${pids[@]:1}")
    fi
done
wait

printf '| target | seconds | runs | findings |\n|---|---|---|---|\n'
for name in "$@"; do
    dir="$work/$name"
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log.txt")
    findings=$(find "$dir/artifacts" -type f | wc -l)
    printf '| %s | %s | %s | %s |\n' "$name" "$seconds" "${runs:-?}" "$findings"
done
