"""Running `vell` for the add-on: which one, its commands, and what their output says.

No Blender here: every call is a plain process, its failures a VellError with vell's own
message whole.
"""

import os
import shutil
import subprocess


class VellError(Exception):
    """vell failed, or could not be run: the message is what it said, in full."""


def find_vell(configured=""):
    """The vell set in the preferences when there is one, else the one on PATH."""
    if configured:
        path = os.path.abspath(os.path.expanduser(configured))
        if not os.access(path, os.X_OK) or os.path.isdir(path):
            raise VellError("the vell set in the add-on's preferences can't be run: " + path)
        return path
    found = shutil.which("vell")
    if not found:
        raise VellError("vell is not on PATH: install VellModelBrowser, or set the vell "
                        "program in the add-on's preferences")
    return found


def run(vell, *args):
    """vell's standard output as lines; a VellError with its standard error when it fails."""
    try:
        done = subprocess.run([vell, *args], stdin=subprocess.DEVNULL, capture_output=True,
                              check=False)
    except OSError as failure:
        raise VellError("can't run %s: %s" % (vell, failure.strerror)) from failure
    out = done.stdout.decode("utf-8", "replace")
    err = done.stderr.decode("utf-8", "replace").strip()
    if done.returncode != 0:
        raise VellError(err or "vell %s failed (status %d)" % (args[0], done.returncode))
    return out.splitlines()


def archive_paths(vell, game):
    """Every path of the game's archives, once each, as vell's other commands take them:
    '/' between the folders and none before the first."""
    paths = set()
    for line in run(vell, "list", game):
        fields = line.split("\t")
        # Entry lines: index, sizes, offset, archive, path; the counts at the end are not.
        if len(fields) >= 6 and fields[0].isdigit():
            paths.add(fields[-1].replace("\\", "/").lstrip("/"))
    return sorted(paths, key=str.lower)


def folder_of(path):
    return path.rpartition("/")[0]


def beside(paths, skin, ending, subfolder=""):
    """The files ending so in the skin's folder (or in a subfolder of it), in list order."""
    folder = folder_of(skin) + ("/" + subfolder if subfolder else "")
    return [p for p in paths
            if folder_of(p) == folder and p.lower().endswith(ending) and p != skin]


def gltf_command(game, skins, out, animations=(), attachment="", scale=0.01):
    args = ["gltf", game, *skins, "-o", out, "--scale", repr(float(scale))]
    for ani in animations:
        args += ["--ani", ani]
    if attachment:
        args += ["--attach", attachment]
    return args


class ImportResult:
    """What `vell import` said: the files it wrote (archive paths) and the limits it applied."""

    def __init__(self, lines):
        self.written = [line[len("wrote "):] for line in lines if line.startswith("wrote ")]
        self.limits = [line[len("limit: "):] for line in lines if line.startswith("limit: ")]
        self.nothing_changed = "nothing changed" in lines


def import_command(game, edited, skin, out, scale=0.01, animations=()):
    """The animations are the files `vell gltf` was given, in its order: each animation goes
    back into the one it came from."""
    args = ["import", game, edited, "--onto", skin, "-o", out, "--scale", repr(float(scale))]
    for ani in animations:
        args += ["--ani", ani]
    return args


def pack_command(folder, game, name):
    return ["pack", folder, "--game", game, "--name", name]
