"""The add-on, `vell fbx` and the trips back into the game, in real Blender on the sample hero.

    blender_test.py   (VELL: the vell to test, VELL_SAMPLE_GAME, VELL_ADDON_DIR: the folder
                       holding vell_game/, VELL_CHECKS: blender_checks.py, VELL_GUI:
                       blender_gui.py)

One `vell fbx` and one Blender process (blender_checks.py) serve every test: Blender writes
what it found, the tests here check it, and run vell on what Blender wrote. The menus are
also driven by keys in a Blender window on a private X server (blender_gui.py).
"""

import json
import os
import re
import shutil
import struct
import subprocess
import tempfile
import time
import unittest

VELL = os.environ["VELL"]
SAMPLE = os.environ["VELL_SAMPLE_GAME"]
HERO = "chars/hero/hero.skn"
ANIMATIONS = "chars/hero/hero.ani"
GAME_BONES = 30
ACTIONS = ["idle", "walk", "wave"]
HERO_METRES = 1.82
# The files the edit of blender_checks.py changes: the head's vertices and the deleted
# sub-mesh (mesh), the sub-mesh's material (skin), the red face (texture), the new key (walk).
EDITED_FILES = {"chars/hero/hero.msh", "chars/hero/hero.skn", "chars/hero/tex/hero_face.dds",
                "chars/hero/hero.ani"}
# The head went up 5 cm: 5 game units in the OBJ files.
HEAD_RAISE = 5.0
FBX_MAGIC = b"Kaydara FBX Binary"

work = None
results = {}
timings = {}


def environment():
    """Blender with a home of its own: nothing of the user's, nothing left behind."""
    env = dict(os.environ)
    home = os.path.join(work, "home")
    for name, folder in (("HOME", home), ("XDG_CONFIG_HOME", home + "/.config"),
                         ("XDG_DATA_HOME", home + "/.local/share"),
                         ("XDG_CACHE_HOME", home + "/.cache")):
        os.makedirs(folder, exist_ok=True)
        env[name] = folder
    return env


def run(*args, env=None, check=True):
    done = subprocess.run(list(args), capture_output=True, text=True, env=env or environment())
    if check and done.returncode != 0:
        raise AssertionError("%s failed (%d):\n%s%s" % (" ".join(args), done.returncode,
                                                        done.stdout, done.stderr))
    return done


def vell(*args, **kw):
    return run(VELL, *args, **kw)


def timed(name, function):
    start = time.monotonic()
    value = function()
    timings[name] = time.monotonic() - start
    return value


def setUpModule():
    global work
    work = tempfile.mkdtemp(prefix="vell-blender-")
    symlinked_game(os.path.join(work, "game"))
    fbx = os.path.join(work, "hero.fbx")
    timed("vell fbx", lambda: vell("fbx", SAMPLE, HERO, "--ani", ANIMATIONS, "-o", fbx))
    config = {"addon_dir": os.environ["VELL_ADDON_DIR"], "vell": VELL,
              "game": os.path.join(work, "game"), "fbx": fbx, "out": work}
    with open(os.path.join(work, "config.json"), "w", encoding="utf-8") as out:
        json.dump(config, out)
    done = timed("blender checks", lambda: run(
        "blender", "-b", "--factory-startup", "--python-exit-code", "1",
        "--python", os.environ["VELL_CHECKS"], "--", os.path.join(work, "config.json"),
        check=False))
    path = os.path.join(work, "results.json")
    if os.path.exists(path):
        with open(path, encoding="utf-8") as found:
            results.update(json.load(found))
    if done.returncode != 0 or not results:
        print(done.stdout, done.stderr)


def tearDownModule():
    print("seconds:", ", ".join("%s %.1f" % t for t in timings.items()))
    shutil.rmtree(work, ignore_errors=True)


def result(name):
    found = results.get(name)
    if found is None:
        raise AssertionError("Blender did not get to " + name)
    if "error" in found:
        raise AssertionError("in Blender, %s failed:\n%s" % (name, found["error"]))
    return found


def has_import():
    return vell("help", "import", check=False).returncode == 0


class AddonImport(unittest.TestCase):
    """File > Import > Vell game model of the hero with its animations and the sword."""

    def test_the_hero_stands_in_metres_on_the_game_skeleton(self):
        found = result("addon_import")
        self.assertEqual(found["outcome"], ["FINISHED"])
        self.assertAlmostEqual(found["height"], HERO_METRES, delta=0.01)
        self.assertEqual(found["bones"], GAME_BONES)

    def test_the_actions_are_the_animations_on_whole_frames(self):
        found = result("addon_import")
        self.assertEqual(found["actions"], ACTIONS)
        self.assertEqual(found["fps"], 60)
        self.assertLess(found["off_whole_frames"], 1e-3)

    def test_every_material_has_its_texture_and_the_sword_its_glow(self):
        found = result("addon_import")
        self.assertEqual([m for m, size in found["base_color"].items() if not size], [])
        self.assertTrue(found["glow"]["hero_sword"])
        self.assertEqual([m for m, size in found["glow"].items() if size], ["hero_sword"])

    def test_the_file_menus_hold_the_add_on_s_items(self):
        found = result("menus")
        self.assertIn("menu_import", found["import"])
        self.assertIn("menu_export", found["export"])

    def test_vell_s_error_comes_back_whole_as_a_blender_report(self):
        report = result("vell_error_reported")["report"]
        self.assertIsNotNone(report)
        said = vell("import", SAMPLE, os.path.join(work, "unedited.glb"), "--onto",
                    "chars/hero/none.skn", "-o", os.path.join(work, "never"), check=False)
        self.assertNotEqual(said.returncode, 0)
        self.assertIn(said.stderr.strip(), report)

    def test_the_armature_records_where_it_came_from(self):
        found = result("addon_import")
        self.assertEqual(found["recorded"], {"vell_game_folder": os.path.join(work, "game"),
                                             "vell_skin": HERO})


class FbxFile(unittest.TestCase):
    """vell fbx of the hero, read back by Blender's FBX importer and by assimp."""

    def test_blender_reads_the_skin_bones_actions_and_textures(self):
        found = result("fbx_read_back")
        self.assertEqual(len(found["bones"]), GAME_BONES)
        self.assertEqual([b for b in found["bones"] if b.endswith("_end")], [])
        self.assertTrue(found["skinned"])
        self.assertEqual(found["actions"], ACTIONS)
        names = {name for name, width in found["images"]}
        self.assertLessEqual({"hero_face", "hero_cloth", "hero_leg", "hero_boots", "hero_hair"},
                             names)

    def test_assimp_reads_meshes_bones_animations_and_embedded_textures(self):
        info = run("assimp", "info", os.path.join(work, "hero.fbx")).stdout

        def count(label):
            match = re.search(r"^%s:\s+(\d+)" % re.escape(label), info, re.M)
            self.assertIsNotNone(match, label)
            return int(match.group(1))

        self.assertGreater(count("Meshes"), 0)
        self.assertGreater(count("Bones"), 0)
        self.assertEqual(count("Animations"), len(ACTIONS))
        self.assertGreaterEqual(count("Textures (embed.)"), 5)


class FbxEach(unittest.TestCase):
    def test_every_model_of_the_folder_by_two_blenders(self):
        out = os.path.join(work, "each")
        done = timed("vell fbx --each", lambda: vell("fbx", SAMPLE, "--each", "chars/hero",
                                                      "-o", out, "--jobs", "2"))
        self.assertEqual(done.stdout, "wrote 2 of 2 models, 0 failed\n")
        for model in ("hero.fbx", "weapon/hero_sword.fbx"):
            with open(os.path.join(out, model), "rb") as fbx:
                self.assertEqual(fbx.read(len(FBX_MAGIC)), FBX_MAGIC, model)
        # Nothing but the models: no staged file left beside them.
        left = sorted(os.path.relpath(os.path.join(d, f), out)
                      for d, _, files in os.walk(out) for f in files)
        self.assertEqual(left, ["hero.fbx", "weapon/hero_sword.fbx"])


class FbxWithoutBlender(unittest.TestCase):
    def test_one_clear_line_and_no_file(self):
        env = environment()
        env["PATH"] = os.path.join(work, "no-blender")
        out = os.path.join(work, "none.fbx")
        done = run(VELL, "fbx", SAMPLE, HERO, "-o", out, env=env, check=False)
        self.assertEqual((done.returncode, done.stdout, done.stderr),
                         (1, "", "vell: fbx needs Blender: apt install blender\n"))
        self.assertFalse(os.path.exists(out))


def archive_paths_of(archive):
    """The paths one archive of the game holds, as vell lists them."""
    paths = set()
    for line in vell("list", os.path.join(work, "game")).stdout.splitlines():
        fields = line.split("\t")
        if len(fields) >= 6 and fields[4] == archive:
            paths.add(fields[5].replace("\\", "/").lstrip("/").lower())
    return paths


def obj_files(game, out):
    vell("obj", game, HERO, "-o", out)
    files = sorted(f for f in os.listdir(out) if f.endswith(".obj"))
    top = None
    for name in files:
        with open(os.path.join(out, name), encoding="utf-8", errors="replace") as obj:
            heights = [float(line.split()[2]) for line in obj if line.startswith("v ")]
        top = max([top, *heights]) if top is not None else max(heights)
    return files, top


def red_pixels(game, out):
    """Pixels of the viewer's picture of the first walk frame that are red, as the face is."""
    vell("frames", game, HERO, "--ani", ANIMATIONS, "--anim", "2", "-o", out, "--size",
         "160x240")
    with open(os.path.join(out, "00000000.bmp"), "rb") as picture:
        data = picture.read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    bits, = struct.unpack_from("<H", data, 28)
    step = bits // 8
    row = (width * step + 3) // 4 * 4
    red = 0
    for y in range(abs(height)):
        for x in range(width):
            b, g, r = data[offset + y * row + x * step:offset + y * row + x * step + 3]
            red += r > 150 and g < 90 and b < 90
    return red


def start_x_server():
    """A private Xvfb: its process and the display it chose."""
    read, write = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24",
                               "-nolisten", "tcp", "-noreset"], pass_fds=(write,),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as chosen:
        number = chosen.readline().strip()
    if not number:
        server.kill()
        raise AssertionError("Xvfb did not start")
    return server, ":" + number


def symlinked_game(folder):
    """A game of its own to pack into: the sample's archives linked."""
    os.makedirs(folder)
    for name in os.listdir(SAMPLE):
        os.symlink(os.path.join(SAMPLE, name), os.path.join(folder, name))
    return folder


class TheMenusInAWindow(unittest.TestCase):
    """An artist's session in a Blender window, keys only: the hero imported from File ›
    Import and its edit sent back from File › Export, without a terminal."""

    @classmethod
    def setUpClass(cls):
        if not has_import():
            raise unittest.SkipTest("this vell has no import command")
        out = os.path.join(work, "gui")
        os.makedirs(out)
        cls.game = symlinked_game(os.path.join(work, "gui-game"))
        config = os.path.join(out, "config.json")
        with open(config, "w", encoding="utf-8") as file:
            json.dump({"addon_dir": os.environ["VELL_ADDON_DIR"], "vell": VELL,
                       "game": cls.game, "out": out}, file)
        server, display = start_x_server()
        env = environment()
        env["DISPLAY"] = display
        try:
            cls.blender = timed("blender window", lambda: run(
                "blender", "--factory-startup", "--enable-event-simulate", "--python-exit-code",
                "1", "--python", os.environ["VELL_GUI"], "--", config, env=env, check=False))
        finally:
            server.kill()
            server.wait()
        cls.found = {}
        path = os.path.join(out, "gui_results.json")
        if os.path.exists(path):
            with open(path, encoding="utf-8") as file:
                cls.found = json.load(file)

    def step(self, name):
        if name not in self.found:
            self.fail("Blender's window did not get to %s:\n%s" % (
                name, self.found.get("error") or self.blender.stdout + self.blender.stderr))
        return self.found[name]

    def test_file_import_opens_the_game_folder_then_lists_its_skins(self):
        self.assertEqual(self.step("browser_area"), "FILE_BROWSER")
        skins = self.step("skins")
        self.assertIn(HERO, skins)
        self.assertTrue(all(s.endswith(".skn") and not s.startswith("/") for s in skins))

    def test_the_picked_skin_comes_in_with_the_animations_beside_it(self):
        imported = self.step("imported")
        self.assertEqual(imported["skin"], HERO)
        self.assertEqual(os.path.realpath(imported["game"]), os.path.realpath(self.game))
        self.assertEqual(imported["animations"], ANIMATIONS)
        self.assertEqual(imported["actions"], ACTIONS)

    def test_back_into_the_game_packs_the_edit_under_the_offered_name(self):
        packed = self.step("packed")
        self.assertEqual(packed, {"archive": "000_blender.pak", "remembered": "000_blender"})
        which = vell("which", self.game, "chars/hero/hero.msh").stdout
        self.assertIn("000_blender.pak", which)


class BackIntoTheGame(unittest.TestCase):
    """Through Blender and back: unedited nothing changes; edited, only what holds the edit."""

    @classmethod
    def setUpClass(cls):
        if not has_import():
            raise unittest.SkipTest("this vell has no import command")

    def test_an_unedited_trip_writes_nothing(self):
        out = os.path.join(work, "unedited")
        done = vell("import", SAMPLE, os.path.join(work, "unedited.glb"), "--onto", HERO,
                    "-o", out, check=False)
        self.assertEqual((done.returncode, done.stdout, done.stderr), (0, "nothing changed\n", ""))
        self.assertEqual(os.listdir(out) if os.path.isdir(out) else [], [])
        # The add-on's "Back into the game" said so and packed nothing.
        self.assertEqual(result("unedited")["outcome"], ["FINISHED"])
        self.assertFalse(os.path.exists(os.path.join(work, "game", "000_unedited.pak")))

    def test_all_files_of_an_unedited_trip_are_the_game_s_own(self):
        out = os.path.join(work, "all")
        done = vell("import", SAMPLE, os.path.join(work, "unedited.glb"), "--onto", HERO,
                    "-o", out, "--all")
        written = [line[len("wrote "):] for line in done.stdout.splitlines()
                   if line.startswith("wrote ")]
        self.assertTrue(written)
        base = os.path.join(work, "base")
        vell("extract", SAMPLE, *written, "-o", base)
        for path in written:
            with open(os.path.join(out, path), "rb") as mine, \
                    open(os.path.join(base, os.path.basename(path)), "rb") as theirs:
                self.assertTrue(mine.read() == theirs.read(), path)

    def test_an_edit_changes_only_the_files_that_hold_it(self):
        out = os.path.join(work, "edited")
        done = vell("import", SAMPLE, os.path.join(work, "edited.glb"), "--onto", HERO, "-o", out)
        written = {line[len("wrote "):].lower() for line in done.stdout.splitlines()
                   if line.startswith("wrote ")}
        self.assertEqual(written, EDITED_FILES)
        # And the add-on packed those.
        self.assertEqual(archive_paths_of("000_edited.pak"), EDITED_FILES)

    def test_the_packed_edit_shows_in_vell_obj_and_the_viewer_s_picture(self):
        found = result("edited")
        self.assertEqual(found["outcome"], ["FINISHED"])
        self.assertGreater(found["moved"], 0)
        self.assertGreater(found["deleted_faces"], 0)
        before, top_before = obj_files(SAMPLE, os.path.join(work, "obj-before"))
        after, top_after = obj_files(os.path.join(work, "game"), os.path.join(work, "obj-after"))
        self.assertEqual(len(after), len(before) - 1)
        self.assertAlmostEqual(top_after - top_before, HEAD_RAISE, delta=0.2)
        self.assertGreater(red_pixels(os.path.join(work, "game"), os.path.join(work, "after")),
                           red_pixels(SAMPLE, os.path.join(work, "before")) + 100)


if __name__ == "__main__":
    unittest.main(verbosity=2)
