#!/usr/bin/env bash
# Measures vell's archive commands against unzip on the same 35,000 files, and the archive
# manager's peak memory on 1,000,000 entries.
#   bench/compare_archive_tools.sh BUILD_DIR
set -euo pipefail
build=${1:-build/test}
vell=$build/cli/vell
tool=$build/bench/pak_tool
work=$(mktemp -d /dev/shm/vell-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

ms() { date +%s%N; }
best_of() {  # best_of N command...: the fastest of N runs, in milliseconds
    local n=$1 best=999999999; shift
    for _ in $(seq "$n"); do
        local t0; t0=$(ms); "$@" >/dev/null 2>&1 || true; local t1; t1=$(ms)
        local d=$(( (t1 - t0) / 1000000 )); [ "$d" -lt "$best" ] && best=$d
    done
    echo "$best"
}

echo "making a 35,000-file game folder..."
"$tool" gamelike "$work/game"
"$vell" extract "$work/game" --all -o "$work/files" 2>/dev/null
(cd "$work/files" && zip -qr -6 "$work/game.zip" .)
du -sh --apparent-size "$work/files" | sed 's/^/inflated: /'

printf 'vell list      %5d ms    unzip -Z1  %5d ms\n' \
    "$(best_of 5 "$vell" list "$work/game")" "$(best_of 5 unzip -Z1 "$work/game.zip")"
printf 'vell extract   %5d ms    unzip -qo  %5d ms\n' \
    "$(best_of 3 "$vell" extract "$work/game" --all -o "$work/out_vell")" \
    "$(best_of 3 unzip -qo "$work/game.zip" -d "$work/out_unzip")"
rm -rf "$work/files" "$work/out_vell" "$work/out_unzip" "$work/game.zip"

echo "making 1,000,000 entries with 60-byte paths in 8 archives..."
"$tool" million "$work/million"
/usr/bin/time -v "$tool" open "$work/million" 2>"$work/time.txt"
grep -E 'Maximum resident' "$work/time.txt"
