#!/usr/bin/env bash
# vell diff of the sample game (35,000 files) against its update, against two floors:
# - little changed (make-sample --patch): at most 1.5 times `vell list` of both folders;
# - every file changed (make-sample --patch all): at most 1.2 times inflating both games'
#   files (pak_tool inflate, on every core as diff is).
# Each time is the best of RUNS runs with warm page caches. Exits 1 when a limit is broken.
# usage: bench/diff_bench.sh [BUILD_DIR] [RUNS]
set -euo pipefail

build=${1:-build/bench}
runs=${2:-7}
vell=$build/cli/vell
tool=$build/bench/pak_tool
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$vell" make-sample "$work/old" >/dev/null
"$vell" make-sample --patch "$work/new" >/dev/null
"$vell" make-sample --patch all "$work/all" >/dev/null

# best NAME COMMAND...: the shortest wall time of the command in milliseconds.
best() {
    local shortest=
    for _ in $(seq "$runs"); do
        local start end
        start=$(date +%s%N)
        "$@" >/dev/null || [[ $? -eq 1 ]]  # diff says 1 when the games differ
        end=$(date +%s%N)
        local ms=$(((end - start) / 1000000))
        [[ -z "$shortest" || $ms -lt $shortest ]] && shortest=$ms
    done
    echo "$shortest"
}
listBoth() { "$vell" list "$work/old" && "$vell" list "$work/new"; }

list=$(best listBoth)
little=$(best "$vell" diff "$work/old" "$work/new")
inflate=$(best "$tool" inflate "$work/old" "$work/all")
every=$(best "$vell" diff "$work/old" "$work/all")
awk -v list="$list" -v little="$little" -v inflate="$inflate" -v every="$every" 'BEGIN {
    printf "little changed: vell diff %d ms, vell list of both %d ms: %.2f (limit 1.5)\n", little, list, little / list
    printf "every file changed: vell diff %d ms, inflating both %d ms: %.2f (limit 1.2)\n", every, inflate, every / inflate
    exit (little > 1.5 * list || every > 1.2 * inflate) ? 1 : 0 }'
