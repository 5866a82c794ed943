#!/usr/bin/env bash
# CPU time of the viewer while it shows something that doesn't change, and the pictures it
# draws while the sample hero walks: the program runs under its own Xvfb with the sample
# game; its CPU time (every thread, llvmpipe's included, Xvfb's not) is read from
# /proc/<pid>/stat over SECONDS. The picture count comes from the program's measurement
# switch (VELL_PICTURE_COUNT), the model from VELL_MEASURE_LOAD.
# usage: bench/app_idle_cpu.sh [BUILD_DIR] [SECONDS] [PROGRAM]
set -euo pipefail

build=${1:-build/bench}
seconds=${2:-10}
app=${3:-$build/app/VellModelBrowser}
warmup=3
work=$(mktemp -d)
xvfb=
cleanup() {
    [[ -n "${pid:-}" ]] && kill -9 "$pid" 2>/dev/null || true
    [[ -n "$xvfb" ]] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

"$build/cli/vell" make-sample "$work/game" >/dev/null
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" &
xvfb=$!
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$work/display")" QT_QPA_PLATFORM=xcb
export XDG_CONFIG_HOME="$work/config"  # no remembered layout of the user's

ticks=$(getconf CLK_TCK)
cpu() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
count() { cat "$work/pictures" 2>/dev/null || echo 0; }

# measure NAME LOAD: CPU seconds over the window and pictures drawn in it.
measure() {
    VELL_PICTURE_COUNT="$work/pictures" VELL_MEASURE_LOAD="$2" "$app" "$work/game" \
        >/dev/null 2>&1 &
    pid=$!
    sleep "$warmup"
    local c0 p0 c1 p1
    c0=$(cpu "$pid"); p0=$(count)
    sleep "$seconds"
    c1=$(cpu "$pid"); p1=$(count)
    kill -9 "$pid"; wait "$pid" 2>/dev/null || true; pid=
    rm -f "$work/pictures"
    awk -v n="$1" -v c="$((c1 - c0))" -v t="$ticks" -v s="$seconds" -v p="$((p1 - p0))" \
        'BEGIN { printf "%-28s %8.2f s CPU in %d s %10d pictures\n", n, c / t, s, p }'
}

measure "empty view" ""
measure "hero shown, nothing playing" "chars/hero/hero.skn"
measure "hero walking (60 frames/s)" "chars/hero/hero.skn,chars/hero/hero.ani,2"
echo "(the walk changes its integer frame 60 times a second: at most $((60 * seconds)) pictures)"
