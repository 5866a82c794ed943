"""How every Blender script of the project reads and writes the game's models.

The one place for the glTF import and export settings, the frame rate, the numpy fix of
Debian's Blender and the FBX settings: the add-on, `vell fbx` and the tests all import this
module, so a model goes in and out of Blender the same way whoever asks.
"""

import warnings

import bpy

# The game plays (and `vell gltf` keys) animations at this many frames per second: with the
# scene at this rate every key lands on a whole frame.
FRAMES_PER_SECOND = 60

# Bone tips on their local +Y keep each joint's rest rotation exactly as the file has it, so
# the export writes back the same rotations.
IMPORT_SETTINGS = {
    "import_pack_images": True,
    "merge_vertices": False,
    "import_shading": "NORMALS",
    "bone_heuristic": "BLENDER",
    "guess_original_bind_pose": True,
}

# Everything `vell import` reads, and nothing it doesn't: every action as an animation of its
# own over all its frames (not the scene's playback range), sampled at every frame, four
# influences a vertex, the materials' custom properties back as their extras.
EXPORT_SETTINGS = {
    "export_format": "GLB",
    "use_selection": True,
    "export_yup": True,
    "export_apply": False,
    "export_texcoords": True,
    "export_normals": True,
    "export_tangents": False,
    "export_colors": False,
    "export_materials": "EXPORT",
    "export_image_format": "AUTO",
    "export_cameras": False,
    "export_lights": False,
    "export_extras": True,
    "export_skins": True,
    "export_all_influences": False,
    "export_morph": False,
    "export_animations": True,
    "export_frame_range": False,
    "export_frame_step": 1,
    "export_force_sampling": True,
    "export_nla_strips": True,
    "export_anim_single_armature": True,
    "export_reset_pose_bones": True,
    "export_optimize_animation_size": False,
    "export_def_bones": False,
    "export_current_frame": False,
}

# The game's own bones and nothing added (no leaf bones), every action baked at every frame
# with its first and last keys, textures inside the file, +Y up as the glTF was.
FBX_SETTINGS = {
    "use_selection": False,
    "object_types": {"ARMATURE", "MESH", "EMPTY"},
    "use_mesh_modifiers": False,
    "mesh_smooth_type": "OFF",
    "add_leaf_bones": False,
    "primary_bone_axis": "Y",
    "secondary_bone_axis": "X",
    "armature_nodetype": "NULL",
    "bake_anim": True,
    "bake_anim_use_all_bones": True,
    "bake_anim_use_nla_strips": False,
    "bake_anim_use_all_actions": True,
    "bake_anim_force_startend_keying": True,
    "bake_anim_step": 1.0,
    "bake_anim_simplify_factor": 0.0,
    "path_mode": "COPY",
    "embed_textures": True,
    "axis_forward": "-Z",
    "axis_up": "Y",
    "apply_scale_options": "FBX_SCALE_NONE",
}


def fix_numpy():
    """Debian 12's Blender 3.4 imports glTF through `numpy.bool`, which its numpy no longer has."""
    import numpy

    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        if not hasattr(numpy, "bool"):
            numpy.bool = bool


def set_frame_rate(scene):
    scene.render.fps = FRAMES_PER_SECOND
    scene.render.fps_base = 1.0


def name_actions(armature):
    """The importer calls an action "<animation>_<armature>" and pushes each onto an NLA track
    named after the animation: the actions take the tracks' names, the game's."""
    data = armature.animation_data
    if data is None:
        return []
    names = []
    for track in data.nla_tracks:
        for strip in track.strips:
            if strip.action is not None:
                strip.action.name = track.name
                names.append(strip.action.name)
    return names


def import_glb(path, context=None):
    """Imports the file at the game's frame rate; returns the objects it made, armatures first."""
    context = context or bpy.context
    fix_numpy()
    set_frame_rate(context.scene)
    before = set(bpy.data.objects)
    result = bpy.ops.import_scene.gltf(filepath=path, **IMPORT_SETTINGS)
    if "FINISHED" not in result:
        raise RuntimeError("Blender's glTF importer did not read " + path)
    made = [o for o in bpy.data.objects if o not in before]
    for obj in made:
        if obj.type == "ARMATURE":
            name_actions(obj)
    made.sort(key=lambda o: o.type != "ARMATURE")
    return made


# Marks an object that another skin of the game made (the attachment hung on a bone): it is not
# the armature's own skin's and never goes back with it.
FOREIGN = "vell_attachment"


def with_children(obj):
    """The object and everything below it but what another skin made."""
    found = [obj]
    for child in obj.children:
        if FOREIGN not in child:
            found.extend(with_children(child))
    return found


class _PosedMeshesResting:
    """Samples an animation without deforming the meshes at every frame.

    An exporter that samples an action sets every frame of it, and each set deforms every
    skinned mesh again: nine tenths of the time of an export of the sample hero. Neither
    exporter reads the deformed meshes here (they write the mesh data and the skin), so the
    armature modifiers are off while they run and back as they were after.
    """

    def __init__(self, objects):
        self.modifiers = [m for o in objects if o.type == "MESH"
                          for m in o.modifiers if m.type == "ARMATURE" and m.show_viewport]

    def __enter__(self):
        for modifier in self.modifiers:
            modifier.show_viewport = False
        return self

    def __exit__(self, *exc):
        for modifier in self.modifiers:
            modifier.show_viewport = True
        return False


def _select_only(context, objects):
    for obj in context.view_layer.objects:
        obj.select_set(obj in objects)
    if objects:
        context.view_layer.objects.active = objects[0]


def export_glb(path, armature, context=None):
    """Writes the armature and everything below it (its meshes, what was added) as a .glb."""
    context = context or bpy.context
    set_frame_rate(context.scene)
    objects = with_children(armature)
    _select_only(context, objects)
    with _PosedMeshesResting(objects):
        result = bpy.ops.export_scene.gltf(filepath=path, **EXPORT_SETTINGS)
    if "FINISHED" not in result:
        raise RuntimeError("Blender's glTF exporter did not write " + path)


def _name_packed_images():
    """The FBX exporter embeds each file name once: images the glTF importer packed have no
    name, so all but the first would go without their pixels. Each gets its own."""
    extensions = {"PNG": ".png", "JPEG": ".jpg"}
    for image in bpy.data.images:
        if image.packed_file is not None and not image.filepath_raw:
            image.filepath_raw = bpy.path.clean_name(image.name) + extensions.get(
                image.file_format, ".png")


def export_fbx(path, context=None):
    """Writes the whole scene as FBX with the settings above."""
    context = context or bpy.context
    objects = list(context.scene.objects)
    _name_packed_images()
    with _PosedMeshesResting(objects):
        result = bpy.ops.export_scene.fbx(filepath=path, **FBX_SETTINGS)
    if "FINISHED" not in result:
        raise RuntimeError("Blender's FBX exporter did not write " + path)


def empty_scene():
    """A scene without the factory start-up's cube, camera and light."""
    bpy.ops.wm.read_factory_settings(use_empty=True)
    set_frame_rate(bpy.context.scene)
