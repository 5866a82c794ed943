"""The Blender half of the blender tests: one Blender process does every step and writes what
it found as JSON, which blender_test.py checks (a Blender start costs seconds).

    blender -b --factory-startup --python blender_checks.py -- CONFIG.json

CONFIG names the add-on's folder, the vell to run, the game folder (written into by the
packs), the FBX to read back and the output folder; RESULTS.json goes into the output folder.
A step that throws records its error and the next goes on.
"""

import json
import math
import os
import sys
import traceback

import bpy

with open(sys.argv[sys.argv.index("--") + 1], encoding="utf-8") as config_file:
    config = json.load(config_file)
sys.path.insert(0, config["addon_dir"])

import addon_utils  # noqa: E402
from vell_game import gltf_io  # noqa: E402  (the add-on's one module of settings)

results = {}
HERO = "chars/hero/hero.skn"
SWORD = "chars/hero/weapon/hero_sword.skn"
ANIMATIONS = "chars/hero/hero.ani"


def step(function):
    try:
        results[function.__name__] = function()
    except Exception:
        results[function.__name__] = {"error": traceback.format_exc()}
    return function


def armature_of_scene():
    return next(o for o in bpy.data.objects if o.type == "ARMATURE")


def off_whole_frames(action):
    return max((abs(k.co[0] - round(k.co[0])) for f in action.fcurves
                for k in f.keyframe_points), default=0.0)


def linked_image(material, socket):
    """The image feeding a socket of the material's shader, through any nodes between."""
    bsdf = next(n for n in material.node_tree.nodes if n.type == "BSDF_PRINCIPLED")
    pending = [link.from_node for link in bsdf.inputs[socket].links]
    while pending:
        node = pending.pop()
        if node.type == "TEX_IMAGE" and node.image is not None:
            return list(node.image.size)
        pending.extend(link.from_node for i in node.inputs for link in i.links)
    return None


@step
def fbx_read_back():
    gltf_io.empty_scene()
    bpy.ops.import_scene.fbx(filepath=config["fbx"])
    armature = armature_of_scene()
    meshes = [o for o in bpy.data.objects if o.type == "MESH"]
    return {
        "bones": [b.name for b in armature.data.bones],
        "skinned": [o.name for o in meshes
                    if any(m.type == "ARMATURE" and m.object == armature for m in o.modifiers)
                    and len(o.vertex_groups) > 0],
        "actions": sorted(a.name.rpartition("|")[2] for a in bpy.data.actions),
        "images": sorted({(i.name.partition(".")[0], i.size[0]) for i in bpy.data.images
                          if i.packed_file is not None and i.size[0] > 0}),
    }


@step
def addon_import():
    bpy.ops.wm.read_factory_settings(use_empty=True)
    addon_utils.enable("vell_game", default_set=True)
    prefs = bpy.context.preferences.addons["vell_game"].preferences
    prefs.vell_program = config["vell"]
    prefs.game_folder = config["game"]
    outcome = bpy.ops.import_scene.vell_game_skin(
        skin=HERO, animations=[{"name": ANIMATIONS, "use": True}], attachment=SWORD)
    armature = armature_of_scene()
    hero = next(o for o in armature.children if o.type == "MESH" and gltf_io.FOREIGN not in o)
    corners = [hero.matrix_world @ v.co for v in hero.data.vertices]
    return {
        "outcome": sorted(outcome),
        "height": max(c.z for c in corners) - min(c.z for c in corners),
        "bones": len(armature.data.bones),
        "actions": sorted(a.name for a in bpy.data.actions),
        "off_whole_frames": max(off_whole_frames(a) for a in bpy.data.actions),
        "fps": bpy.context.scene.render.fps / bpy.context.scene.render.fps_base,
        "base_color": {m.name: linked_image(m, "Base Color") for m in bpy.data.materials},
        "glow": {m.name: linked_image(m, "Emission") for m in bpy.data.materials},
        "recorded": {k: armature[k] for k in ("vell_game_folder", "vell_skin")},
    }


def back_into_game(name):
    armature = armature_of_scene()
    bpy.context.view_layer.objects.active = armature
    return sorted(bpy.ops.export_scene.vell_game(mod_name=name))


@step
def unedited():
    gltf_io.export_glb(os.path.join(config["out"], "unedited.glb"), armature_of_scene())
    return {"outcome": back_into_game("000_unedited")}


def move_head_up(mesh, armature, metres):
    head = mesh.vertex_groups["Bip01 Head"].index
    moved = 0
    for vertex in mesh.data.vertices:
        if any(g.group == head and g.weight > 0.5 for g in vertex.groups):
            vertex.co.z += metres
            moved += 1
    return moved


def delete_sub_mesh(mesh, material_name):
    import bmesh

    slot = mesh.material_slots.find(material_name)
    data = bmesh.new()
    data.from_mesh(mesh.data)
    faces = [f for f in data.faces if f.material_index == slot]
    bmesh.ops.delete(data, geom=faces, context="FACES_ONLY")
    loose = [v for v in data.verts if not v.link_faces]
    bmesh.ops.delete(data, geom=loose, context="VERTS")
    data.to_mesh(mesh.data)
    data.free()
    return len(faces)


def paint_red(image_name):
    image = bpy.data.images[image_name]
    width, height = image.size
    image.pixels.foreach_set([1.0, 0.0, 0.0, 1.0] * (width * height))
    image.pack()


def key_pose(armature, action_name, bone, frame, degrees):
    data = armature.animation_data
    keep = data.action
    data.action = bpy.data.actions[action_name]
    pose = armature.pose.bones[bone]
    pose.rotation_mode = "QUATERNION"
    bpy.context.scene.frame_set(frame)
    angle = math.radians(degrees)
    pose.rotation_quaternion = (math.cos(angle / 2), math.sin(angle / 2), 0.0, 0.0)
    pose.keyframe_insert("rotation_quaternion", frame=frame, group=bone)
    data.action = keep


@step
def edited():
    armature = armature_of_scene()
    hero = next(o for o in armature.children if o.type == "MESH" and gltf_io.FOREIGN not in o)
    moved = move_head_up(hero, armature, 0.05)
    deleted = delete_sub_mesh(hero, "hero_boots")
    paint_red("hero_face")
    key_pose(armature, "walk", "Bip01 L UpperArm", 20, 40.0)
    gltf_io.export_glb(os.path.join(config["out"], "edited.glb"), armature)
    return {"moved": moved, "deleted_faces": deleted, "outcome": back_into_game("000_edited")}


@step
def vell_error_reported():
    armature = armature_of_scene()
    armature["vell_skin"] = "chars/hero/none.skn"
    try:
        back_into_game("000_never")
        return {"report": None}
    except RuntimeError as report:  # an operator's error report, as Blender raises it here
        return {"report": str(report)}
    finally:
        armature["vell_skin"] = HERO


@step
def menus():
    def entries(menu):
        return [f.__name__ for f in getattr(menu.draw, "_draw_funcs", [])]

    return {"import": entries(bpy.types.TOPBAR_MT_file_import),
            "export": entries(bpy.types.TOPBAR_MT_file_export)}


with open(os.path.join(config["out"], "results.json"), "w", encoding="utf-8") as out:
    json.dump(results, out, indent=1)
