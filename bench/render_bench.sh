#!/usr/bin/env bash
# vell render of the sample hero's walk (40 frames, 480 × 480) as GIF, WebP, MP4 and WebM
# beside vell frames writing the same 40 pictures as BMP: seconds per run (best and median of
# RUNS), the ratio of each best to the frames' best, and each file's size.
# usage: bench/render_bench.sh [BUILD_DIR] [RUNS]
set -euo pipefail

build=${1:-build/test}
runs=${2:-5}
vell=$build/cli/vell
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$vell" make-sample "$work/game" >/dev/null
walk=(--ani 'chars/hero/hero.ani' --anim 2 --size 480x480)

# Seconds of each run of the command, one a line.
times() {
    for _ in $(seq "$runs"); do
        local start end
        start=$(date +%s.%N)
        "$@" >/dev/null
        end=$(date +%s.%N)
        awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }'
    done
}
best() { sort -n | head -n 1; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

frames=$(times "$vell" frames "$work/game" chars/hero/hero.skn "${walk[@]}" -o "$work/bmp")
frames_best=$(best <<<"$frames")
printf '%-8s %8s %8s %8s %10s\n' output best median ratio bytes
printf '%-8s %8s %8s %8s %10s\n' bmp "$frames_best" "$(median <<<"$frames")" 1.00 \
    "$(du -cb "$work"/bmp/*.bmp | tail -n 1 | cut -f1)"
for format in gif webp mp4 webm; do
    file=$work/walk.$format
    run=$(times "$vell" render "$work/game" chars/hero/hero.skn "${walk[@]}" -o "$file")
    run_best=$(best <<<"$run")
    printf '%-8s %8s %8s %8s %10s\n' "$format" "$run_best" "$(median <<<"$run")" \
        "$(awk -v a="$run_best" -v b="$frames_best" 'BEGIN { printf "%.2f", a / b }')" \
        "$(stat -c %s "$file")"
done
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
