#!/usr/bin/env bash
# The soak: a game of 200 characters beside the hero (vell make-sample --characters 200).
# 1. The viewer, under its own Xvfb, loads and closes every whole-model skin in turn, 5,000
#    loads in all, each playing the first animation beside it (the measurement switch
#    VELL_MEASURE_SOAK, not the menus). From load 100 to the last (5,000: long enough that a
#    leak of a few hundred bytes a load shows) its resident memory may grow by at most 1 MB:
#    the lowest figure of the 100 loads from load 100 on against the lowest of the last 100,
#    since a single figure swings by megabytes with what the allocator has just handed back;
#    malloc's bytes in use are printed beside it (without the pages the allocator and the GL
#    driver keep). Its open file descriptors never rise above their number then (Qt may
#    close files of its own later); after every close the view's
#    texture store holds as many GL texture names as before the first load.
# 2. vell gltf --each over the 200 characters with --jobs 2: peak resident memory at most
#    twice that of exporting one character the same way.
# Prints the figures and exits 1 when a limit is broken.
# usage: bench/app_soak.sh [BUILD_DIR] [LOADS] [CHARACTERS]
set -euo pipefail

build=${1:-build/bench}
loads=${2:-5000}
characters=${3:-200}
app=$build/app/VellModelBrowser
vell=$build/cli/vell
warmLoads=100
window=100  # loads whose lowest resident figure stands for their stretch
growthLimitKb=1024
work=$(mktemp -d)
xvfb=
pid=
cleanup() {
    [[ -n "$pid" ]] && kill -9 "$pid" 2>/dev/null || true
    [[ -n "$xvfb" ]] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
[[ -n "${KEEP_SOAK:-}" ]] && trap - EXIT && echo "work: $work"

"$vell" make-sample "$work/game" --characters "$characters" >/dev/null
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" &
xvfb=$!
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$work/display")" QT_QPA_PLATFORM=xcb
export XDG_CONFIG_HOME="$work/config"  # no remembered layout of the user's

start=$(date +%s)
VELL_MEASURE_SOAK="$loads,$work/report" "$app" "$work/game" >"$work/app.log" 2>&1 &
pid=$!
until grep -q '^done' "$work/report" 2>/dev/null; do
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "the viewer ended before the soak did:" >&2
        cat "$work/app.log" >&2
        exit 1
    fi
    sleep 1
done
seconds=$(($(date +%s) - start))
kill -9 "$pid"; wait "$pid" 2>/dev/null || true; pid=

failed=0
awk -v warm="$warmLoads" -v window="$window" -v limit="$growthLimitKb" -v seconds="$seconds" '
    /^start/ { skins = $2; textures = $5 + 0; rss0 = $7 + 0; fds0 = $9 }
    # load N frames F shown_textures T textures T rss_kb R fds D
    /^load/ {
        n = $2; loads = n
        if ($4 < 3) still++
        if ($6 > shownMost) shownMost = $6
        if ($8 != textures) strays++
        fds = $12
        if (n == 1) { fds1 = fds; fdsLow = fds; fdsHigh = fds }
        if (fds < fdsLow) fdsLow = fds
        if (fds > fdsHigh) fdsHigh = fds
        if (n == warm) { rssWarm = $10; heapWarm = $14; fdsWarm = fds }
        if (n >= warm && n < warm + window && (floorWarm == "" || $10 < floorWarm)) floorWarm = $10
        last[n % window] = $10
        if (n > warm && fds > fdsWarm) fdGrowth++
        rss = $10; heap = $14
    }
    END {
        if (loads < warm) { rssWarm = rss; heapWarm = heap; fdsWarm = fds }
        if (loads < warm + window) floorWarm = rssWarm
        floorEnd = rss
        for (i in last) if (last[i] < floorEnd) floorEnd = last[i]
        growth = floorEnd - floorWarm
        printf "viewer: %d loads of %d skins in %d s (%.0f ms a load), %d of them showing fewer than 3 frames of the animation\n", loads, skins, seconds, 1000 * seconds / loads, still
        printf "  resident memory: %.1f MB before, %.1f MB after load %d, %.1f MB after load %d (%+.2f MB)\n", rss0 / 1024, rssWarm / 1024, warm, rss / 1024, loads, (rss - rssWarm) / 1024
        printf "  lowest of %d loads: %.1f MB from load %d, %.1f MB to load %d: %+.2f MB (limit %+.0f)\n", window, floorWarm / 1024, warm, floorEnd / 1024, loads, growth / 1024, limit / 1024
        printf "  malloc in use: %.1f MB after load %d, %.1f MB after load %d: %+.2f MB (%.0f bytes a load)\n", heapWarm / 1024, warm, heap / 1024, loads, (heap - heapWarm) / 1024, (loads > warm ? 1024 * (heap - heapWarm) / (loads - warm) : 0)
        printf "  open descriptors: %d before, %d after the first load, %d after load %d (all archives open); %d to %d over the run, above %d after %d loads\n", fds0, fds1, fdsWarm, warm, fdsLow, fdsHigh, fdsWarm, fdGrowth
        printf "  GL texture names: %d before the first load, up to %d while a model showed, other than %d after %d of %d closes\n", textures, shownMost, textures, strays, loads
        exit (growth > limit || fdGrowth > 0 || strays > 0 || still > 0) ? 1 : 0
    }' "$work/report" || failed=1

peak() {  # peak resident KB of a command
    /usr/bin/time -f '%M' -o "$work/peak" "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; return 1; }
    tail -n 1 "$work/peak"
}
one=$(peak "$vell" gltf "$work/game" --each 'chars/crowd/ranger_001' -o "$work/one" --jobs 2)
startEach=$(date +%s%N)
all=$(peak "$vell" gltf "$work/game" --each 'chars/crowd' -o "$work/all" --jobs 2)
eachSeconds=$(awk -v a="$startEach" -v b="$(date +%s%N)" 'BEGIN { print (b - a) / 1e9 }')
written=$(find "$work/all" -name '*.glb' | wc -l)
awk -v one="$one" -v all="$all" -v n="$written" -v s="$eachSeconds" 'BEGIN {
    printf "vell gltf --each --jobs 2: %d models in %.1f s, peak %.1f MB; one character: %.1f MB; ratio %.2f (limit 2)\n", n, s, all / 1024, one / 1024, all / one
    exit all > 2 * one ? 1 : 0 }' || failed=1
exit "$failed"
