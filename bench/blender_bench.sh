#!/usr/bin/env bash
# Measures the two Blender paths against Blender doing the same by hand, side by side and
# alternating (the machine may be shared), best and median wall time of N runs each:
#   vell fbx of the hero (with its three animations) against Blender started in the
#   background on a script that imports the glTF vell gltf writes and exports FBX with the
#   same settings (gltf_io.py): its start-up, import and export alone;
#   the add-on's import of the hero (vell gltf into a temporary file, Blender's glTF importer,
#   the frame rate and the actions' names) against Blender's glTF importer reading that glb,
#   both timed inside one Blender on an empty scene each time.
#   bench/blender_bench.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(realpath "${1:-build/test}")
runs=${2:-5}
vell=$build/cli/vell
addon=$build/share/vellmodelbrowser/blender
work=$(mktemp -d /dev/shm/vell-blender-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$HOME"
hero='chars/hero/hero.skn'
ani='chars/hero/hero.ani'

"$vell" make-sample "$work/game" >/dev/null
"$vell" gltf "$work/game" "$hero" --ani "$ani" -o "$work/hero.glb" >/dev/null

cat >"$work/by_hand.py" <<PY
import sys
sys.path.insert(0, "$addon/vell_game")
import gltf_io
gltf_io.empty_scene()
gltf_io.import_glb("$work/hero.glb")
gltf_io.export_fbx("$work/by_hand.fbx")
PY

wall() {  # milliseconds of one run of the command
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}

: >"$work/fbx"
: >"$work/hand"
for _ in $(seq "$runs"); do
    wall "$vell" fbx "$work/game" "$hero" --ani "$ani" -o "$work/vell.fbx" >>"$work/fbx"
    wall blender -b --factory-startup --python-exit-code 1 --python "$work/by_hand.py" >>"$work/hand"
done

stats() {  # best and median of a file of numbers
    sort -n "$1" | awk '{a[NR] = $1} END {printf "%d %d\n", a[1], a[int((NR + 1) / 2)]}'
}
read -r fbx_best fbx_median < <(stats "$work/fbx")
read -r hand_best hand_median < <(stats "$work/hand")
echo "vell fbx:                 best $fbx_best ms, median $fbx_median ms"
echo "Blender by hand (glb→fbx): best $hand_best ms, median $hand_median ms"
awk -v a="$fbx_best" -v b="$hand_best" -v c="$fbx_median" -v d="$hand_median" \
    'BEGIN {printf "ratio: best %.2f, median %.2f (wanted at most 1.10)\n", a / b, c / d}'

cat >"$work/imports.py" <<PY
import sys, time, statistics
sys.path.insert(0, "$addon")
import addon_utils, bpy
from vell_game import gltf_io
def fresh():
    bpy.ops.wm.read_factory_settings(use_empty=True)
    addon_utils.enable("vell_game", default_set=True)
    prefs = bpy.context.preferences.addons["vell_game"].preferences
    prefs.vell_program = "$vell"
    prefs.game_folder = "$work/game"
def addon():
    bpy.ops.import_scene.vell_game_skin(skin="$hero", animations=[{"name": "$ani", "use": True}])
def by_hand():
    gltf_io.fix_numpy()
    bpy.ops.import_scene.gltf(filepath="$work/hero.glb")
times = {"addon": [], "hand": []}
for _ in range($runs):
    for name, run in (("addon", addon), ("hand", by_hand)):
        fresh()
        start = time.perf_counter()
        run()
        times[name].append(time.perf_counter() - start)
for name, label in (("addon", "the add-on's import"), ("hand", "Blender's glTF import")):
    print("%-22s best %d ms, median %d ms" % (label, min(times[name]) * 1000,
                                              statistics.median(times[name]) * 1000))
print("ratio: best %.2f, median %.2f (wanted at most 1.20)" % (
    min(times["addon"]) / min(times["hand"]),
    statistics.median(times["addon"]) / statistics.median(times["hand"])))
PY
blender -b --factory-startup --python-exit-code 1 --python "$work/imports.py" 2>/dev/null |
    grep -E "^(the add-on|Blender's|ratio)"
