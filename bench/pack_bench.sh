#!/usr/bin/env bash
# Measures `vell pack` of the sample game's extracted tree (35,000 files) against
# `zip -r -q -6` of the same tree, and against the floor: reading every file and compressing
# its bytes as pack does (the same function, level and workers), writing nothing (pak_tool
# compress). The
# machine may be shared: the three run side by side, alternating, and the ratios are taken
# within the same run (best wall time of N). Also the compressed bytes of each (pack: the
# zlib streams, without the 316-byte records; zip: its entries' compressed bytes) and the
# peak memory of pack.
#   bench/pack_bench.sh BUILD_DIR [RUNS] [JOBS]
set -euo pipefail
build=${1:-build/test}
runs=${2:-5}
jobs=${3:-2}
vell=$build/cli/vell
tool=$build/bench/pak_tool
work=$(mktemp -d /dev/shm/vell-pack-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

timed() {
    local name=$1; shift
    /usr/bin/time -f "%e %U %S %M" -o "$work/one" "$@" >/dev/null 2>&1 || true
    awk -v n="$name" '{printf "%s %d %d %d\n", n, $1 * 1000, ($2 + $3) * 1000, $4}' \
        "$work/one" >>"$work/times"
}

echo "making the sample game and extracting it..."
"$vell" make-sample "$work/game" >/dev/null
"$vell" extract "$work/game" --all -o "$work/files" >/dev/null
du -sh "$work/files" | sed 's/^/on disk: /'
du -sh --apparent-size "$work/files" | sed 's/^/inflated: /'

for _ in $(seq "$runs"); do
    rm -f "$work/mod.pak" "$work/mod.zip"
    timed pack "$vell" pack "$work/files" -o "$work/mod.pak" --jobs "$jobs"
    timed zip sh -c "cd '$work/files' && zip -r -q -6 '$work/mod.zip' ."
    timed floor "$tool" compress "$work/files" 6 "$jobs"
done
awk '
    !($1 in best) || $2 < best[$1] { best[$1] = $2; cpu[$1] = $3 }
    { sum[$1] += $2; n[$1]++; if ($4 > rss[$1]) rss[$1] = $4 }
    END {
        for (t in best) printf "%-6s best %6d ms  mean %6d ms  cpu %6d ms  peak %6d KB\n", \
            t, best[t], sum[t] / n[t], cpu[t], rss[t]
        printf "zip / pack %.2fx (want >= 3), pack / floor %.2fx (want <= 1.2)\n", \
            best["zip"] / best["pack"], best["pack"] / best["floor"]
    }' "$work/times"

"$tool" plan "$work/files" "$jobs" | sed 's/^/walk: /'
files=$(find "$work/files" -type f | wc -l)
archive=$(stat -c %s "$work/mod.pak")
streams=$((archive - 268 - files * 316))
zipped=$(unzip -v "$work/mod.zip" | tail -1 | awk '{print $2}')
largest=$(find "$work/files" -type f -printf '%s\n' | sort -n | tail -1)
echo "streams $streams bytes, zip entries $zipped bytes: $(awk -v a="$streams" -v b="$zipped" \
    'BEGIN { printf "%.3f", a / b }')x (want <= 1.02); largest file $largest bytes"
