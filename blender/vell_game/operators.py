"""The add-on's operators: choose the game, pick a skin, import it; send an edit back."""

import os
import shutil
import tempfile

import bpy

from . import gltf_io, vell_cli
from .stepped import SteppedOperator

# Enum items made by a callback must outlive it (Blender keeps only pointers to the strings).
_items_alive = {}
# Every archive path of a game folder, read once per folder by `vell list`.
_paths_by_game = {}
# Export folders staged by "Back into the game" and what `vell import` said about each.
_staged = {}

# The custom properties an imported armature carries.
PROP_GAME = "vell_game_folder"
PROP_SKIN = "vell_skin"
PROP_SCALE = "vell_scale"
PROP_PARTS = "vell_parts"
PROP_ANIMATIONS = "vell_animations"  # the animation files, one a line


def prefs(context):
    return context.preferences.addons[__package__].preferences


def vell_program(context):
    return vell_cli.find_vell(prefs(context).vell_program)


def game_paths(context, game):
    key = os.path.abspath(game)
    if key not in _paths_by_game:
        _paths_by_game[key] = vell_cli.archive_paths(vell_program(context), game)
    return _paths_by_game[key]


def _keep(key, items):
    _items_alive[key] = items
    return items


class VellSkinItem(bpy.types.PropertyGroup):
    pass  # its name is the skin's archive path


def fill_skin_list(context, game):
    skins = context.window_manager.vell_skins
    skins.clear()
    for path in game_paths(context, game):
        if path.lower().endswith(".skn"):
            skins.add().name = path


# Blender reads an operator's properties from its annotations; made out here, each is a plain
# name there (pyflakes would take the strings of a call in an annotation for type names).
_CHOOSE_DIRECTORY = bpy.props.StringProperty(subtype="DIR_PATH")
_CHOOSE_FILTER_FOLDER = bpy.props.BoolProperty(default=True, options={"HIDDEN"})


class VELL_OT_choose_game(bpy.types.Operator):
    """Choose the game folder (the last one is remembered), then a skin of it"""

    bl_idname = "import_scene.vell_game_folder"
    bl_label = "Choose the game folder"

    directory: _CHOOSE_DIRECTORY
    filter_folder: _CHOOSE_FILTER_FOLDER

    def invoke(self, context, event):
        self.directory = prefs(context).game_folder
        context.window_manager.fileselect_add(self)
        return {"RUNNING_MODAL"}

    def execute(self, context):
        game = bpy.path.abspath(self.directory)
        try:
            fill_skin_list(context, game)
        except vell_cli.VellError as failure:
            self.report({"ERROR"}, str(failure))
            return {"CANCELLED"}
        prefs(context).game_folder = game
        return bpy.ops.import_scene.vell_game("INVOKE_DEFAULT")


def _skin_items(self, context):
    skins = context.window_manager.vell_skins
    return _keep("skins", [(s.name, s.name, "") for s in skins])


_PICK_SKIN = bpy.props.EnumProperty(name="Skin", items=_skin_items)


class VELL_OT_pick_skin(bpy.types.Operator):
    """Pick a skin of the game from a searchable list"""

    bl_idname = "import_scene.vell_game"
    bl_label = "Vell game model"
    bl_property = "skin"

    skin: _PICK_SKIN

    def invoke(self, context, event):
        if not context.window_manager.vell_skins:
            self.report({"ERROR"}, "no skin: choose a game folder first")
            return {"CANCELLED"}
        context.window_manager.invoke_search_popup(self)
        return {"RUNNING_MODAL"}

    def execute(self, context):
        return bpy.ops.import_scene.vell_game_skin("INVOKE_DEFAULT", skin=self.skin)


def _game_of(op, context):
    return op.game_folder or prefs(context).game_folder


class VellFileChoice(bpy.types.PropertyGroup):
    """A file beside the skin (its archive path is the name) and whether it is used."""

    use: bpy.props.BoolProperty(default=False)


def _fill_choices(choices, paths, first_used):
    choices.clear()
    for index, path in enumerate(paths):
        choice = choices.add()
        choice.name = path
        choice.use = first_used and index == 0


def _chosen(choices):
    return [c.name for c in choices if c.use]


_IMPORT_GAME_FOLDER = bpy.props.StringProperty(
    name="Game folder", description="Empty: the one in the add-on's preferences")
_IMPORT_SKIN = bpy.props.StringProperty(name="Skin", description="The skin's path in the archives")
_IMPORT_ANIMATIONS = bpy.props.CollectionProperty(
    type=VellFileChoice, name="Animations",
    description="Animation files beside the skin; the first gives the skeleton")
_IMPORT_ATTACHMENT = bpy.props.StringProperty(
    name="Attachment", description="A skin hung on the hand's bone (a weapon)")
_IMPORT_PARTS = bpy.props.CollectionProperty(
    type=VellFileChoice, name="Parts",
    description="Body parts of the parts folder beside the skin to dress it with")
_IMPORT_SCALE = bpy.props.FloatProperty(
    name="Scale", default=0.01, min=1e-6, soft_max=1.0, precision=4,
    description="Metres per game unit: 0.01 gives metres, 1 keeps the game's units")


class VELL_OT_import_skin(SteppedOperator, bpy.types.Operator):
    """Import a skin of the game with its animations, attachment and parts"""

    bl_idname = "import_scene.vell_game_skin"
    bl_label = "Import Vell game model"
    bl_options = {"REGISTER", "UNDO"}

    game_folder: _IMPORT_GAME_FOLDER
    skin: _IMPORT_SKIN
    animations: _IMPORT_ANIMATIONS
    attachment: _IMPORT_ATTACHMENT
    parts: _IMPORT_PARTS
    scale: _IMPORT_SCALE

    def invoke(self, context, event):
        try:
            paths = game_paths(context, _game_of(self, context))
        except vell_cli.VellError as failure:
            self.report({"ERROR"}, str(failure))
            return {"CANCELLED"}
        _fill_choices(self.animations, vell_cli.beside(paths, self.skin, ".ani"), True)
        _fill_choices(self.parts, vell_cli.beside(paths, self.skin, ".skn", "parts"), False)
        return context.window_manager.invoke_props_dialog(self, width=480)

    def draw(self, context):
        layout = self.layout
        layout.label(text=self.skin)
        for title, choices in (("Animations", self.animations), ("Parts", self.parts)):
            if choices:
                layout.label(text=title + ":")
            for choice in choices:
                layout.prop(choice, "use", text=choice.name.rpartition("/")[2])
        layout.prop_search(self, "attachment", context.window_manager, "vell_skins")
        layout.prop(self, "scale")

    def execute(self, context):
        self._folder = tempfile.mkdtemp(prefix="vell-import-")
        self._glb = os.path.join(self._folder, "model.glb")
        self._made = []
        return self.start_steps(context, [("vell gltf " + self.skin, self._write_gltf),
                                          ("importing " + self.skin, self._import)])

    def _write_gltf(self, context):
        # The parts go after the skin, as the viewer dresses a character.
        skins = [self.skin, *_chosen(self.parts)]
        vell_cli.run(vell_program(context), *vell_cli.gltf_command(
            _game_of(self, context), skins, self._glb, _chosen(self.animations),
            self.attachment, self.scale))

    def _import(self, context):
        self._made = gltf_io.import_glb(self._glb, context)
        record = self._made[0] if self._made else None
        if record is not None:
            record[PROP_GAME] = _game_of(self, context)
            record[PROP_SKIN] = self.skin
            record[PROP_SCALE] = self.scale
            record[PROP_PARTS] = len(_chosen(self.parts))
            record[PROP_ANIMATIONS] = "\n".join(_chosen(self.animations))
        # The attachment hangs on a bone; it is the attachment's skin, not this one.
        for obj in self._made:
            if self.attachment and obj.parent_type == "BONE":
                obj[gltf_io.FOREIGN] = self.attachment

    def steps_done(self, context):
        self.steps_failed()
        self.report({"INFO"}, "Imported %s (%d objects)" % (self.skin, len(self._made)))
        return {"FINISHED"}

    def steps_failed(self):
        shutil.rmtree(self._folder, ignore_errors=True)


def imported_armature(obj):
    """The armature the add-on imported that `obj` belongs to (itself, a parent, or the
    armature deforming it), or None."""
    while obj is not None:
        if PROP_SKIN in obj:
            return obj
        deforming = [m.object for m in getattr(obj, "modifiers", ())
                     if m.type == "ARMATURE" and m.object is not None and PROP_SKIN in m.object]
        if deforming:
            return deforming[0]
        obj = obj.parent
    return None


class Staged:
    """An export folder: the glTF Blender wrote, the files `vell import` wrote from it (mod/),
    and what it said."""

    def __init__(self, armature):
        if armature.get(PROP_PARTS, 0):
            # Their meshes would come back as new sub-meshes of the skin.
            raise vell_cli.VellError(
                "a model dressed with parts can't go back into the game: import %s without "
                "parts, and each part on its own" % armature[PROP_SKIN])
        self.folder = tempfile.mkdtemp(prefix="vell-back-")
        self.game = armature[PROP_GAME]
        self.skin = armature[PROP_SKIN]
        self.scale = armature.get(PROP_SCALE, 0.01)
        self.animations = [a for a in armature.get(PROP_ANIMATIONS, "").split("\n") if a]
        self.glb = os.path.join(self.folder, "edited.glb")
        self.mod = os.path.join(self.folder, "mod")
        self.result = None
        _staged[self.folder] = self

    def changes_nothing(self):
        return self.result.nothing_changed or not self.result.written

    def run_import(self, context):
        self.result = vell_cli.ImportResult(vell_cli.run(vell_program(context), *(
            vell_cli.import_command(self.game, self.glb, self.skin, self.mod, self.scale,
                                    self.animations))))

    def pack(self, context, name):
        return vell_cli.run(vell_program(context), *vell_cli.pack_command(self.mod, self.game, name))


def unstage(folder):
    _staged.pop(folder, None)
    if folder:
        shutil.rmtree(folder, ignore_errors=True)


_BACK_MOD_NAME = bpy.props.StringProperty(
    name="Mod archive", description="Its name in the game folder, without .pak")


class VELL_OT_back_into_game(SteppedOperator, bpy.types.Operator):
    """Send the edited model back into the game: the files that change, packed as a mod"""

    bl_idname = "export_scene.vell_game"
    bl_label = "Back into the game"

    mod_name: _BACK_MOD_NAME

    @classmethod
    def poll(cls, context):
        return imported_armature(context.active_object) is not None

    def invoke(self, context, event):
        return self.execute(context)

    def execute(self, context):
        if context.object is not None and context.object.mode != "OBJECT":
            bpy.ops.object.mode_set(mode="OBJECT")
        self.mod_name = self.mod_name or prefs(context).mod_name
        armature = imported_armature(context.active_object)
        self._staged = None
        try:
            self._staged = Staged(armature)
        except vell_cli.VellError as failure:
            self.report({"ERROR"}, str(failure))
            return {"CANCELLED"}
        staged = self._staged
        return self.start_steps(context, [
            ("exporting glTF", lambda c: gltf_io.export_glb(staged.glb, armature, c)),
            ("vell import onto " + staged.skin, staged.run_import)])

    def steps_done(self, context):
        staged = self._staged
        if staged.changes_nothing():
            self.report({"INFO"}, "Nothing changed: no file goes back into the game")
            unstage(staged.folder)
            return {"FINISHED"}
        if bpy.app.background or context.window is None:
            # A script asked: no one to confirm.
            return pack_staged(self, context, staged, self.mod_name)
        return bpy.ops.export_scene.vell_game_pack(
            "INVOKE_DEFAULT", staged=staged.folder, mod_name=self.mod_name)

    def steps_failed(self):
        unstage(self._staged.folder if self._staged else "")


def pack_staged(op, context, staged, name):
    try:
        lines = staged.pack(context, name)
    except vell_cli.VellError as failure:
        op.report({"ERROR"}, str(failure))
        unstage(staged.folder)
        return {"CANCELLED"}
    for limit in staged.result.limits:
        op.report({"WARNING"}, "limit: " + limit)
    op.report({"INFO"}, lines[-1] if lines else "packed " + name)
    prefs(context).mod_name = name
    _paths_by_game.pop(os.path.abspath(staged.game), None)
    unstage(staged.folder)
    return {"FINISHED"}


_PACK_STAGED = bpy.props.StringProperty(options={"HIDDEN", "SKIP_SAVE"})


class VELL_OT_pack_mod(bpy.types.Operator):
    """The files that change and the limits applied; on OK, packed as a mod of the game"""

    bl_idname = "export_scene.vell_game_pack"
    bl_label = "Pack into the game"

    staged: _PACK_STAGED
    mod_name: _BACK_MOD_NAME

    def invoke(self, context, event):
        if self.staged not in _staged:
            return {"CANCELLED"}
        return context.window_manager.invoke_props_dialog(self, width=520)

    def draw(self, context):
        staged = _staged.get(self.staged)
        layout = self.layout
        if staged is None:
            return
        layout.label(text="Files that change:")
        for path in staged.result.written:
            layout.label(text="    " + path)
        if staged.result.limits:
            layout.label(text="Limits applied:")
            for limit in staged.result.limits:
                layout.label(text="    " + limit)
        layout.prop(self, "mod_name")

    def cancel(self, context):
        unstage(self.staged)

    def execute(self, context):
        staged = _staged.get(self.staged)
        if staged is None:
            return {"CANCELLED"}
        context.window_manager.progress_begin(0, 1)
        if context.workspace is not None:
            context.workspace.status_text_set("Vell: vell pack " + self.mod_name + "...")
        try:
            return pack_staged(self, context, staged, self.mod_name or prefs(context).mod_name)
        finally:
            context.window_manager.progress_end()
            if context.workspace is not None:
                context.workspace.status_text_set(None)


def register_properties():
    """The window manager's list of skins, for the searchable fields."""
    bpy.types.WindowManager.vell_skins = bpy.props.CollectionProperty(type=VellSkinItem)


def unregister_properties():
    del bpy.types.WindowManager.vell_skins


CLASSES = (VellSkinItem, VellFileChoice, VELL_OT_choose_game, VELL_OT_pick_skin, VELL_OT_import_skin,
           VELL_OT_back_into_game, VELL_OT_pack_mod)
