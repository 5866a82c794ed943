#!/usr/bin/env python3
"""Takes the README's four screenshots with the real viewer on the sample game, and its GIF.

Run it under a virtual display of 1280x900 pixels, after a build:

    xvfb-run -a -s "-screen 0 1280x900x24" scripts/screenshots.py build/test

It opens build/test/sample-game (made with `vell make-sample` when missing), clicks
through the tree as a user would (渲染模型 on hero.skn, 显示动画 on hero.ani, "walk",
Alt+K; then 设置 / 光照, 地面网格 and 模型信息 with the walk held by Space) and writes
docs/screenshot-model.png, docs/screenshot-skeleton.png and docs/screenshot-panel.png, cut
to the main window; then 视图 / 缩略图 on a crowd of 23 characters (build/test/sample-crowd)
for docs/screenshot-gallery.png (`--gallery` after the build folder takes that one alone); `vell render` draws the walk as docs/walk.gif. The viewer's settings go to a temporary folder, so the pictures don't
depend on how it was last left. Input goes through the XTest extension and pictures come from XGetImage,
both through ctypes: nothing to install beyond libX11 and libXtst. The clicks follow the
window's default layout (960x720, centred): the tree's first row, the animation list and
the 设置 menu's rows are clicked, the rest is done with keys.
"""
import ctypes
import os
import struct
import subprocess
import sys
import tempfile
import time
import zlib

SCREEN = (1280, 900)
WINDOW = (160, 90, 960, 720)  # the main window: 960x720 centred on the screen
FIRST_TREE_ROW = (215, 196)
ANIMATION_LIST = (540, 125)

X11 = ctypes.cdll.LoadLibrary("libX11.so.6")
XTST = ctypes.cdll.LoadLibrary("libXtst.so.6")


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int)]


X11.XOpenDisplay.restype = ctypes.c_void_p
X11.XOpenDisplay.argtypes = [ctypes.c_char_p]
X11.XDefaultRootWindow.restype = ctypes.c_ulong
X11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
X11.XGetImage.restype = ctypes.POINTER(XImage)
X11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                          ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
X11.XStringToKeysym.restype = ctypes.c_ulong
X11.XStringToKeysym.argtypes = [ctypes.c_char_p]
X11.XKeysymToKeycode.restype = ctypes.c_ubyte
X11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
X11.XFlush.argtypes = [ctypes.c_void_p]
XTST.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                      ctypes.c_int, ctypes.c_ulong]
XTST.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                      ctypes.c_ulong]
XTST.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                   ctypes.c_ulong]

SETTINGS_MENU = (240, 98)
# Rows of the 设置 menu as it drops down from its title.
SETTINGS_ROWS = {"lighting": (270, 256), "grid": (270, 278), "info": (270, 322)}

ALL_PLANES = 0xFFFFFFFF
Z_PIXMAP = 2


class Display:
    def __init__(self):
        self.d = X11.XOpenDisplay(None)
        if not self.d:
            sys.exit("screenshots: no X display (run under xvfb-run)")
        self.root = X11.XDefaultRootWindow(self.d)

    def flush(self, pause=0.05):
        X11.XFlush(self.d)
        time.sleep(pause)

    def move(self, x, y):
        XTST.XTestFakeMotionEvent(self.d, -1, x, y, 0)
        self.flush()

    def click(self, x, y, button=1):
        self.move(x, y)
        XTST.XTestFakeButtonEvent(self.d, button, 1, 0)
        self.flush()
        XTST.XTestFakeButtonEvent(self.d, button, 0, 0)
        self.flush(0.1)

    def drag(self, x0, x1, y, steps):
        """A left-button drag; the view turns one degree per mouse event."""
        self.move(x0, y)
        XTST.XTestFakeButtonEvent(self.d, 1, 1, 0)
        self.flush()
        for i in range(1, steps + 1):
            self.move(x0 + (x1 - x0) * i // steps, y)
        XTST.XTestFakeButtonEvent(self.d, 1, 0, 0)
        self.flush(0.1)

    def wheel(self, x, y, notches):
        self.move(x, y)
        for _ in range(notches):
            XTST.XTestFakeButtonEvent(self.d, 4, 1, 0)
            XTST.XTestFakeButtonEvent(self.d, 4, 0, 0)
            self.flush()

    def key(self, combo):
        codes = [X11.XKeysymToKeycode(self.d, X11.XStringToKeysym(k.encode()))
                 for k in combo.split("+")]
        for c in codes:
            XTST.XTestFakeKeyEvent(self.d, c, 1, 0)
            self.flush(0.03)
        for c in reversed(codes):
            XTST.XTestFakeKeyEvent(self.d, c, 0, 0)
            self.flush(0.03)

    def type(self, text):
        for ch in text:
            self.key("period" if ch == "." else ch)

    def save(self, path, box):
        x, y, w, h = box
        image = X11.XGetImage(self.d, self.root, x, y, w, h, ALL_PLANES, Z_PIXMAP).contents
        raw = ctypes.string_at(image.data, image.bytes_per_line * h)
        rows = []
        for r in range(h):
            line = raw[r * image.bytes_per_line: r * image.bytes_per_line + w * 4]
            rgb = bytearray(w * 3)
            rgb[0::3], rgb[1::3], rgb[2::3] = line[2::4], line[1::4], line[0::4]
            rows.append(b"\0" + bytes(rgb))

        def chunk(tag, data):
            return (struct.pack(">I", len(data)) + tag + data +
                    struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF))

        png = (b"\x89PNG\r\n\x1a\n" +
               chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
               chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))
        with open(path, "wb") as f:
            f.write(png)


GALLERY = (190, 130, 900, 640)  # the gallery window, centred over the main one


def gallery(build, docs):
    """视图 / 缩略图 (Alt+V, G) on a crowd of the sample's characters."""
    game = os.path.join(build, "sample-crowd")
    if not os.path.isdir(game):
        subprocess.run([os.path.join(build, "cli", "vell"), "make-sample", game,
                        "--characters", "23"], check=True)
    config = tempfile.TemporaryDirectory()
    app = subprocess.Popen([os.path.join(build, "app", "VellModelBrowser"), game],
                           env=dict(os.environ, XDG_CONFIG_HOME=config.name,
                                    XDG_CACHE_HOME=config.name),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        x = Display()
        time.sleep(8)
        x.click(*FIRST_TREE_ROW)         # the window takes the keys
        x.key("Alt_L+v")
        time.sleep(0.8)
        x.key("g")
        time.sleep(8)
        x.save(os.path.join(docs, "screenshot-gallery.png"), GALLERY)
    finally:
        app.terminate()
        app.wait()
        config.cleanup()


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/test"
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    if len(sys.argv) > 2 and sys.argv[2] == "--gallery":
        gallery(build, os.path.join(root, "docs"))
        return
    game = os.path.join(build, "sample-game")
    if not os.path.isdir(game):
        subprocess.run([os.path.join(build, "cli", "vell"), "make-sample", game], check=True)
    docs = os.path.join(root, "docs")
    os.makedirs(docs, exist_ok=True)
    # The README's GIF, drawn headless by vell render (no window needed).
    subprocess.run([os.path.join(build, "cli", "vell"), "render", game, "chars/hero/hero.skn",
                    "--ani", "chars/hero/hero.ani", "--anim", "2", "--size", "240x240",
                    "--light", "-o", os.path.join(docs, "walk.gif")], check=True,
                   stdout=subprocess.DEVNULL)

    config = tempfile.TemporaryDirectory()
    app = subprocess.Popen([os.path.join(build, "app", "VellModelBrowser"), game],
                           env=dict(os.environ, XDG_CONFIG_HOME=config.name),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        x = Display()
        time.sleep(8)
        # The tree by keyboard: its first row, then type-ahead and the context-menu key.
        x.click(*FIRST_TREE_ROW)
        x.key("Right")                   # expand chars
        x.type("hero")
        x.key("Right")                   # expand hero
        time.sleep(1)
        x.type("hero.s")                 # hero.skn
        x.key("Menu")
        time.sleep(0.8)
        x.key("Down")                    # 渲染模型
        x.key("Return")
        time.sleep(5)
        x.drag(600, 700, 700, 30)        # turned a little
        x.wheel(700, 450, 12)            # a little closer
        time.sleep(1)
        x.save(os.path.join(docs, "screenshot-model.png"), WINDOW)

        x.click(*FIRST_TREE_ROW)         # back to the tree
        time.sleep(1)
        x.type("hero.a")                 # hero.ani
        x.key("Menu")
        time.sleep(0.8)
        x.key("Down")                    # 显示动画, the first item enabled for an .ani
        x.key("Return")
        time.sleep(2)
        x.click(*ANIMATION_LIST)         # the animation list: from idle down to walk
        time.sleep(0.8)
        x.key("Down")
        x.key("Return")
        time.sleep(0.5)
        x.key("Alt_L+k")                 # the skeleton
        x.key("Control_L+p")             # points, so the bones show through
        x.drag(700, 600, 700, 70)        # turned the other way, to see the stride
        x.wheel(700, 450, 10)
        time.sleep(1.3)
        x.save(os.path.join(docs, "screenshot-skeleton.png"), WINDOW)

        x.key("Alt_L+k")                 # the skeleton off again, faces back
        x.key("Control_L+f")
        for item in ("lighting", "grid", "info"):
            x.click(*SETTINGS_MENU)      # 设置 / 光照, 地面网格, 模型信息
            time.sleep(0.5)
            x.click(*SETTINGS_ROWS[item])
            time.sleep(0.5)
        x.click(500, 450)                # the view takes the keys
        x.key("space")                   # the walk held mid-stride
        x.drag(600, 560, 700, 40)
        time.sleep(1.3)
        x.save(os.path.join(docs, "screenshot-panel.png"), WINDOW)
    finally:
        app.terminate()
        app.wait()
        config.cleanup()
    gallery(build, docs)


if __name__ == "__main__":
    main()
