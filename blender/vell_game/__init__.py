"""Vell game models in Blender: File > Import > Vell game model, and File > Export > Back
into the game, both through the `vell` program."""

bl_info = {
    "name": "Vell game models",
    "author": "The Vell Model Browser developers",
    "version": (1, 0, 1),
    "blender": (3, 4, 0),
    "location": "File > Import > Vell game model, File > Export > Back into the game",
    "description": "Imports a character of the game's archives through vell, and sends an "
                   "edit back into the game as a mod archive",
    "category": "Import-Export",
}

import bpy

from . import operators

# Made out of the annotation, where pyflakes would take their strings for type names.
_PREF_VELL_PROGRAM = bpy.props.StringProperty(
    name="vell program", subtype="FILE_PATH",
    description="The vell to run; empty: the one on PATH")
_PREF_GAME_FOLDER = bpy.props.StringProperty(
    name="Game folder", subtype="DIR_PATH",
    description="The folder of the game's .pak archives, as last chosen")
_PREF_MOD_NAME = bpy.props.StringProperty(
    name="Mod name", default="000_blender",
    description="The archive an edit is packed into, as last chosen (it must sort before "
                "the game's own archives to win)")


class VellPreferences(bpy.types.AddonPreferences):
    bl_idname = __package__

    vell_program: _PREF_VELL_PROGRAM
    game_folder: _PREF_GAME_FOLDER
    mod_name: _PREF_MOD_NAME

    def draw(self, context):
        self.layout.prop(self, "vell_program")
        self.layout.prop(self, "game_folder")
        self.layout.prop(self, "mod_name")


def menu_import(self, context):
    self.layout.operator(operators.VELL_OT_choose_game.bl_idname, text="Vell game model")


def menu_export(self, context):
    self.layout.operator(operators.VELL_OT_back_into_game.bl_idname, text="Back into the game")


classes = (VellPreferences, *operators.CLASSES)


def register():
    for cls in classes:
        bpy.utils.register_class(cls)
    operators.register_properties()
    bpy.types.TOPBAR_MT_file_import.append(menu_import)
    bpy.types.TOPBAR_MT_file_export.append(menu_export)


def unregister():
    bpy.types.TOPBAR_MT_file_export.remove(menu_export)
    bpy.types.TOPBAR_MT_file_import.remove(menu_import)
    operators.unregister_properties()
    for cls in reversed(classes):
        bpy.utils.unregister_class(cls)
