#!/usr/bin/env bash
# Measures vell's archive commands against unzip on the same 35,000 files, and the archive
# manager's peak memory on 1,000,000 entries. The machine may be shared: each pair of tools
# runs side by side, alternating, and the ratio is taken within the same run, for the wall
# time (best of N) and for the CPU time (user + system, of the same best run).
#   bench/compare_archive_tools.sh BUILD_DIR [RUNS]
set -euo pipefail
build=${1:-build/test}
runs=${2:-5}
vell=$build/cli/vell
tool=$build/bench/pak_tool
work=$(mktemp -d /dev/shm/vell-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

# timed NAME command...: appends "NAME wall_ms cpu_ms" to $work/times.
timed() {
    local name=$1; shift
    /usr/bin/time -f "%e %U %S" -o "$work/one" "$@" >/dev/null 2>&1 || true
    awk -v n="$name" '{printf "%s %d %d\n", n, $1 * 1000, ($2 + $3) * 1000}' "$work/one" \
        >>"$work/times"
}
# report A B: the best wall time of each (with its CPU time) and the ratios B / A.
report() {
    awk -v a="$1" -v b="$2" '
        !($1 in best) || $2 < best[$1] { best[$1] = $2; cpu[$1] = $3 }
        END {
            printf "%-12s %6d ms wall %6d ms cpu   %-10s %6d ms wall %6d ms cpu   ", \
                a, best[a], cpu[a], b, best[b], cpu[b]
            printf "ratio %.1fx wall, %.1fx cpu\n", best[b] / best[a], cpu[b] / cpu[a]
        }' "$work/times"
    rm -f "$work/times"
}

echo "making a 35,000-file game folder..."
"$tool" gamelike "$work/game"
"$vell" extract "$work/game" --all -o "$work/files" 2>/dev/null
(cd "$work/files" && zip -qr -6 "$work/game.zip" .)
du -sh --apparent-size "$work/files" | sed 's/^/inflated: /'

for _ in $(seq "$runs"); do
    timed "vell-list" "$vell" list "$work/game"
    timed "unzip-Z1" unzip -Z1 "$work/game.zip"
done
report vell-list unzip-Z1
for _ in $(seq "$runs"); do
    rm -rf "$work/out_vell" "$work/out_unzip"
    timed "vell-extract" "$vell" extract "$work/game" --all -o "$work/out_vell"
    timed "unzip-qo" unzip -qo "$work/game.zip" -d "$work/out_unzip"
done
report vell-extract unzip-qo
# What the extract cannot go below here: inflating, and creating and filling the files.
mkdir "$work/parts"
"$tool" parts "$work/game" "$work/parts"
rm -rf "$work/files" "$work/out_vell" "$work/out_unzip" "$work/game.zip" "$work/parts"

echo "making 1,000,000 entries with 60-byte paths in 8 archives..."
"$tool" million "$work/million"
/usr/bin/time -v "$tool" open "$work/million" 2>"$work/time.txt"
grep -E 'Maximum resident' "$work/time.txt"
