#!/usr/bin/env bash
# Measures `vell import` of the sample hero's glb against `vell gltf` that wrote it, in the
# same run: the unedited file (which writes nothing), and the file as another tool leaves it
# after an edit: every primitive's vertices in another order and the head moved up 5 cm
# (the import must then match vertices by value); and, when Blender is installed, the file
# Blender's glTF exporter writes after the add-on's import and the same move of the head
# (Blender splits and merges vertices, renames, and writes every key of every animation).
# The runs alternate, so a shared machine
# loads them alike; the ratios are of the best wall times of N, the typical (median) too.
#   bench/import_bench.sh BUILD_DIR [RUNS]
set -euo pipefail
build=${1:-build/test}
runs=${2:-7}
vell=$build/cli/vell
work=$(mktemp -d /dev/shm/vell-import-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
skin=chars/hero/hero.skn
ani=chars/hero/hero.ani

"$vell" make-sample "$work/game" >/dev/null
"$vell" gltf "$work/game" "$skin" --ani "$ani" -o "$work/hero.glb" >/dev/null
python3 - "$work/hero.glb" "$work/edited.glb" <<'PY'
import json, struct, sys
data = open(sys.argv[1], "rb").read()
n = struct.unpack_from("<I", data, 12)[0]
doc = json.loads(data[20:20 + n])
bin_ = bytearray(data[28 + n:])
def span(i):
    a = doc["accessors"][i]; v = doc["bufferViews"][a["bufferView"]]
    return v.get("byteOffset", 0) + a.get("byteOffset", 0), a["count"], v["byteLength"] // a["count"]
for prim in doc["meshes"][0]["primitives"]:
    count = doc["accessors"][prim["attributes"]["POSITION"]]["count"]
    for acc in prim["attributes"].values():
        off, cnt, size = span(acc)
        items = [bytes(bin_[off + k * size: off + (k + 1) * size]) for k in range(cnt)]
        bin_[off:off + cnt * size] = b"".join(reversed(items))
    off, cnt, size = span(prim["indices"])
    fmt = "<H" if size == 2 else "<I"
    for k in range(cnt):
        (i,) = struct.unpack_from(fmt, bin_, off + k * size)
        struct.pack_into(fmt, bin_, off + k * size, count - 1 - i)
    if prim["extras"]["name"] == "head":
        off, cnt, size = span(prim["attributes"]["POSITION"])
        for k in range(cnt):
            x, y, z = struct.unpack_from("<3f", bin_, off + 12 * k)
            struct.pack_into("<3f", bin_, off + 12 * k, x, y + 0.05, z)
text = json.dumps(doc).encode(); text += b" " * (-len(text) % 4)
out = struct.pack("<III", 0x46546C67, 2, 28 + len(text) + len(bin_))
out += struct.pack("<II", len(text), 0x4E4F534A) + text + struct.pack("<II", len(bin_), 0x004E4942) + bin_
open(sys.argv[2], "wb").write(out)
PY

blender_glb=
if command -v blender >/dev/null; then
    addon=$(realpath "$build/share/vellmodelbrowser/blender")
    cat >"$work/edit.py" <<PY
import sys
sys.path.insert(0, "$addon/vell_game")
import bpy, gltf_io
gltf_io.empty_scene()
made = gltf_io.import_glb("$work/hero.glb")
armature = next(o for o in made if o.type == "ARMATURE")
for mesh in (o for o in armature.children if o.type == "MESH"):
    head = mesh.vertex_groups.get("Bip01 Head")
    for vertex in mesh.data.vertices if head else ():
        if any(g.group == head.index and g.weight > 0.5 for g in vertex.groups):
            vertex.co.z += 0.05
gltf_io.export_glb("$work/blender.glb", armature)
PY
    HOME=$work blender -b --factory-startup --python-exit-code 1 --python "$work/edit.py" \
        >"$work/blender.log" 2>&1 && blender_glb=$work/blender.glb
fi

timed() {
    local name=$1; shift
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo "$name $(((end - start) / 1000000))" >>"$work/times"
}

for _ in $(seq "$runs"); do
    timed gltf "$vell" gltf "$work/game" "$skin" --ani "$ani" -o "$work/again.glb"
    rm -rf "$work/out"
    timed unedited "$vell" import "$work/game" "$work/hero.glb" --onto "$skin" -o "$work/out"
    rm -rf "$work/out"
    timed edited "$vell" import "$work/game" "$work/edited.glb" --onto "$skin" -o "$work/out"
    if [ -n "$blender_glb" ]; then
        rm -rf "$work/out"
        timed blender "$vell" import "$work/game" "$blender_glb" --onto "$skin" --ani "$ani" \
            -o "$work/out"
    fi
done
"$vell" import "$work/game" "$work/edited.glb" --onto "$skin" -o "$work/out2" | sed 's/^/edited: /'

sort -k1,1 -k2,2n "$work/times" | awk '
{ n[$1]++; v[$1, n[$1]] = $2 }
END {
    for (k in n) {
        best[k] = v[k, 1]; median[k] = v[k, int((n[k] + 1) / 2)]
        printf "%-9s best %5d ms  median %5d ms  (%d runs)\n", k, best[k], median[k], n[k]
    }
    printf "unedited import / gltf: %.2f best, %.2f median (at most 1.5)\n", best["unedited"] / best["gltf"], median["unedited"] / median["gltf"]
    printf "edited import / gltf:   %.2f best, %.2f median (at most 3)\n", best["edited"] / best["gltf"], median["edited"] / median["gltf"]
    if ("blender" in n)
        printf "Blender-edited / gltf:  %.2f best, %.2f median (at most 3)\n", best["blender"] / best["gltf"], median["blender"] / median["gltf"]
}'
[ -n "$blender_glb" ] && "$vell" import "$work/game" "$blender_glb" --onto "$skin" --ani "$ani" \
    -o "$work/out3" | sed 's/^/Blender-edited: /'
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
