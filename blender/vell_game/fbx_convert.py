"""What `vell fbx` runs in Blender: glTF files in, FBX files out.

    blender -b --factory-startup --python-exit-code 1 --python fbx_convert.py -- RESULTS

Reads a line "IN.glb<TAB>OUT.fbx" at a time from standard input (so Blender starts while
vell is still writing the glTF) and appends "ok<TAB>OUT" or "error<TAB>OUT<TAB>why" to
RESULTS for each, until standard input ends.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import gltf_io  # noqa: E402  (found beside this script)


def convert(source, target):
    gltf_io.empty_scene()
    gltf_io.import_glb(source)
    gltf_io.export_fbx(target)


def main():
    results_path = sys.argv[sys.argv.index("--") + 1]
    with open(results_path, "a", encoding="utf-8") as results:
        for line in sys.stdin:
            source, sep, target = line.rstrip("\n").partition("\t")
            if not sep:
                continue
            try:
                convert(source, target)
                results.write("ok\t%s\n" % target)
            except Exception as failure:  # every failure is this file's, reported to vell
                why = " ".join(str(failure).split()) or type(failure).__name__
                results.write("error\t%s\t%s\n" % (target, why))
            results.flush()


main()
