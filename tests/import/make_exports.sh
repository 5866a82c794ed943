#!/bin/sh
# The glTF files the import tests start from, written once per ctest run by the real vell:
# NAME is "<skin stem>-<animation stem or bind>-<scale><.glb|.gltf>", as ImportFixture.h
# asks for them.
set -e
vell=$1 game=$2 out=$3
mkdir -p "$out"
export_one() {  # SKIN ANI SCALE EXT
    stem=$(basename "$1" .skn)
    anistem=bind
    [ -n "$2" ] && anistem=$(basename "$2" .ani)
    set -- "$1" "$2" "$3" "$4" "$out/$stem-$anistem-$3$4"
    if [ -n "$2" ]; then
        "$vell" gltf "$game" "$1" --ani "$2" --scale "$3" -o "$5" >/dev/null
    else
        "$vell" gltf "$game" "$1" --scale "$3" -o "$5" >/dev/null
    fi
}
export_one chars/hero/hero.skn "" 0.01 .glb
export_one chars/hero/hero.skn chars/hero/hero.ani 0.01 .glb
export_one chars/hero/hero.skn chars/hero/hero_bow.ani 0.01 .glb
export_one chars/hero/hero.skn "" 1 .glb
export_one chars/hero/hero.skn "" 0.01 .gltf
export_one chars/hero/weapon/hero_sword.skn "" 0.01 .glb
export_one chars/hero/parts/hero_leg.skn chars/hero/hero.ani 0.01 .glb
export_one chars/hero/parts/hero_head.skn "" 0.01 .glb
