"""The Blender half of the add-on's window test: an artist's session with real key presses.

    blender --factory-startup --enable-event-simulate --python blender_gui.py -- CONFIG.json

In a real window (the test gives it a private X server), keys only: F3 finds "Vell game model"
in the File menu, Return accepts the game folder the file browser opens on, typing narrows
the list of skins to the hero and Return picks it, Return again takes the import dialog's
choices. The steps run from Blender's timer as they do for a user. Then the head goes up
5 cm, F3 finds "Back into the game", and Return packs what the dialog lists under the name it
offers. What happened goes into RESULTS.json in the output folder; a step that fails or
waits too long records it and Blender quits.
"""

import json
import os
import sys
import time
import traceback

import bpy

with open(sys.argv[sys.argv.index("--") + 1], encoding="utf-8") as config_file:
    config = json.load(config_file)
sys.path.insert(0, config["addon_dir"])

import addon_utils  # noqa: E402

HEAD_RAISE_METRES = 0.05
# Generous for a loaded machine: each wait ends as soon as what it waits for is there.
WAIT_SECONDS = 60
TICK = 0.1

results = {}
wm = bpy.context.window_manager


def press(window, key, text=""):
    window.event_simulate(type=key, value="PRESS", unicode=text)
    window.event_simulate(type=key, value="RELEASE")


def type_text(window, text):
    for character in text:
        # The character is what a text field takes; the key only carries it.
        press(window, "A", character)


def armature():
    return next((o for o in bpy.data.objects if o.type == "ARMATURE"), None)


def mod_archive():
    return os.path.join(config["game"], "000_blender.pak")


def wait_for(what, condition):
    """Timer intervals until condition() holds; fails the run after WAIT_SECONDS."""
    start = time.monotonic()
    for _ in range(int(WAIT_SECONDS / TICK)):
        if condition():
            results.setdefault("waits", []).append("%s %.1f s" % (what, time.monotonic() - start))
            return
        yield TICK
    raise TimeoutError("waited %d s for %s" % (WAIT_SECONDS, what))


def find_in_menus(window, text):
    press(window, "F3")
    yield 0.5
    type_text(window, text)
    yield 0.5
    press(window, "RET")


def import_from_the_menu(main):
    yield from find_in_menus(main, "vell game model")
    yield from wait_for("the file browser", lambda: len(wm.windows) > 1)
    results["browser_area"] = wm.windows[-1].screen.areas[0].type
    press(wm.windows[-1], "RET")
    yield from wait_for("the list of skins", lambda: len(wm.windows) == 1 and len(wm.vell_skins))
    results["skins"] = sorted(s.name for s in wm.vell_skins)
    yield 0.5
    type_text(main, "hero/hero.skn")
    yield 0.5
    press(main, "RET")
    yield 0.5
    press(main, "RET")
    yield from wait_for("the imported hero", lambda: armature() is not None)
    found = armature()
    results["imported"] = {
        "skin": found.get("vell_skin"),
        "game": found.get("vell_game_folder"),
        "animations": found.get("vell_animations"),
        "actions": sorted(a.name for a in bpy.data.actions),
    }


def raise_head(found):
    mesh = next(o for o in found.children if o.type == "MESH")
    head = mesh.vertex_groups["Bip01 Head"].index
    for vertex in mesh.data.vertices:
        if any(g.group == head and g.weight > 0.5 for g in vertex.groups):
            vertex.co.z += HEAD_RAISE_METRES


def back_into_the_game(main):
    found = armature()
    raise_head(found)
    bpy.context.view_layer.objects.active = found
    yield 0.5
    yield from find_in_menus(main, "back into the game")
    # The steps run; then the dialog of the files that change waits for its OK.
    yield from wait_for("the files that change", lambda: any(
        getattr(s, "result", None) is not None for s in _staged().values()))
    yield 1.0
    press(main, "RET")
    yield from wait_for("the mod archive", lambda: os.path.exists(mod_archive()))
    yield from wait_for("the staged files cleaned up", lambda: not _staged())
    prefs = bpy.context.preferences.addons["vell_game"].preferences
    results["packed"] = {"archive": os.path.basename(mod_archive()), "remembered": prefs.mod_name}


def _staged():
    from vell_game import operators
    return operators._staged


def session():
    main = wm.windows[0]
    main.event_simulate(type="MOUSEMOVE", value="NOTHING", x=640, y=500)
    yield 0.5
    press(main, "ESC")  # the splash screen of a first start
    yield 0.5
    yield from import_from_the_menu(main)
    yield from back_into_the_game(main)


def finish():
    with open(os.path.join(config["out"], "gui_results.json"), "w", encoding="utf-8") as out:
        json.dump(results, out, indent=1)
    bpy.ops.wm.quit_blender()


steps = session()


def tick():
    try:
        return next(steps)
    except StopIteration:
        finish()
    except Exception:
        results["error"] = traceback.format_exc()
        finish()
    return None


addon_utils.enable("vell_game", default_set=True)
preferences = bpy.context.preferences.addons["vell_game"].preferences
preferences.vell_program = config["vell"]
preferences.game_folder = config["game"]
bpy.app.timers.register(tick, first_interval=0.5)
