#!/usr/bin/env bash
# Pictures per second of `vell frames` (60 frames of the 50,000-vertex textured skinned
# ribbon mesh of frames_bench) beside F3D rendering the same mesh, exported as OBJ by
# `vell obj`, to a picture of the same size (one process per picture, under Xvfb).
# usage: bench/compare_frames.sh [BUILD_DIR] [F3D_RUNS]
set -euo pipefail

# F3D comes from Debian's f3d package (not in scripts/setup: it pulls in VTK), Xvfb from
# xvfb; without them only vell is timed.
build=${1:-build/bench}
runs=${2:-10}
frames=60
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/frames_bench" --write-game "$work/game"
"$build/cli/vell" obj "$work/game" chars/hero/hero.skn -o "$work/obj" >/dev/null
obj=$(ls "$work"/obj/*.obj | head -n 1)
"$build/cli/vell" texture "$work/game" chars/hero/hero.dds -o "$work/hero.png"

now() { date +%s.%N; }
rate() { awk -v n="$1" -v a="$2" -v b="$3" 'BEGIN { printf "%.1f", n / (b - a) }'; }

printf '%-10s %22s %22s\n' size "vell frames (pic/s)" "f3d (pic/s)"
for size in 640x480 960x720; do
    start=$(now)
    "$build/cli/vell" frames "$work/game" chars/hero/hero.skn --ani chars/hero/hero.ani \
        --anim 1 --size "$size" -o "$work/frames-$size" >/dev/null
    vell=$(rate "$frames" "$start" "$(now)")

    if ! command -v f3d >/dev/null || ! command -v xvfb-run >/dev/null; then
        printf '%-10s %22s %22s\n' "$size" "$vell" "(no f3d)"
        continue
    fi
    resolution=${size/x/,}
    start=$(now)
    xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
        for i in $(seq "$1"); do
            f3d --output="$2/f3d-$i.png" --resolution="$3" --texture-base-color="$2/hero.png" \
                "$4" >/dev/null 2>&1
        done' _ "$runs" "$work" "$resolution" "$obj"
    f3d=$(rate "$runs" "$start" "$(now)")
    printf '%-10s %22s %22s\n' "$size" "$vell" "$f3d"
done
