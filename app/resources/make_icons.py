#!/usr/bin/env python3
"""Draws the program's tool bar and tree icons as 16x16 PNG files (run from this folder), and
the program's own icon (the model-colour figure) at the desktop's usual sizes for installing.

Plain Python (zlib only): every icon is a list of filled shapes, rendered with 4x4
supersampling so that edges are smooth. One palette keeps the set consistent.
"""
import math
import struct
import zlib

SIZE = 16
SS = 4  # samples per pixel along each axis

INK = (48, 56, 72)
BLUE = (58, 111, 196)
LIGHT = (214, 228, 248)
PAPER = (250, 250, 246)
FOLDER = (232, 184, 74)
FOLDER_DARK = (190, 140, 40)
RED = (208, 60, 52)
GREEN = (52, 160, 72)
AXIS_BLUE = (40, 90, 220)
GREY = (150, 156, 168)


def rect(x0, y0, x1, y1, colour):
    return ("rect", (x0, y0, x1, y1), colour)


def frame(x0, y0, x1, y1, colour, width=1.0):
    return [rect(x0, y0, x1, y0 + width, colour), rect(x0, y1 - width, x1, y1, colour),
            rect(x0, y0, x0 + width, y1, colour), rect(x1 - width, y0, x1, y1, colour)]


def poly(points, colour):
    return ("poly", points, colour)


def circle(cx, cy, r, colour):
    return ("circle", (cx, cy, r), colour)


def line(x0, y0, x1, y1, colour, width=1.2):
    dx, dy = x1 - x0, y1 - y0
    length = math.hypot(dx, dy) or 1.0
    nx, ny = -dy / length * width / 2, dx / length * width / 2
    return poly([(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)],
                colour)


def inside(shape, x, y):
    kind, data, _ = shape
    if kind == "rect":
        x0, y0, x1, y1 = data
        return x0 <= x < x1 and y0 <= y < y1
    if kind == "circle":
        cx, cy, r = data
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    hit = False
    n = len(data)
    for i in range(n):
        (ax, ay), (bx, by) = data[i], data[(i + 1) % n]
        if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
            hit = not hit
    return hit


def flatten(shapes):
    for s in shapes:
        if isinstance(s, list):
            yield from flatten(s)
        else:
            yield s


def render(shapes, size=SIZE):
    """The shapes, drawn on a SIZE grid, scaled to size x size pixels."""
    shapes = list(flatten(shapes))
    scale = SIZE / size
    rows = []
    for py in range(size):
        row = bytearray([0])
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SS):
                for sx in range(SS):
                    x = (px + (sx + 0.5) / SS) * scale
                    y = (py + (sy + 0.5) / SS) * scale
                    for shape in reversed(shapes):
                        if inside(shape, x, y):
                            r, g, b = shape[2]
                            acc[0] += r
                            acc[1] += g
                            acc[2] += b
                            acc[3] += 255
                            break
            n = acc[3] // 255
            if n:
                row += bytes([acc[0] // n, acc[1] // n, acc[2] // n, acc[3] // (SS * SS)])
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return rows


def save_png(path, rows, size=SIZE):
    def chunk(tag, data):
        return (struct.pack(">I", len(data)) + tag + data +
                struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


def folder(open_=False):
    back = [poly([(1, 3), (6, 3), (7.5, 4.5), (15, 4.5), (15, 14), (1, 14)], FOLDER_DARK)]
    if open_:
        front = poly([(3, 7), (16, 7), (13.5, 14), (1, 14)], FOLDER)
    else:
        front = rect(1, 6, 15, 14, FOLDER)
    return back + [front, rect(1, 13.2, 15, 14, FOLDER_DARK)]


def page(fill=PAPER):
    return [poly([(3, 1), (10, 1), (13, 4), (13, 15), (3, 15)], INK),
            poly([(4, 2), (9.5, 2), (12, 4.5), (12, 14), (4, 14)], fill),
            poly([(9.5, 2), (12, 4.5), (9.5, 4.5)], GREY)]


def window():
    return [rect(1, 2, 15, 14, INK), rect(2, 3, 14, 13, PAPER)]


def triangle():
    return [(8, 2), (14.5, 13.5), (1.5, 13.5)]


ICONS = {
    "open": folder(True) + [line(10, 1.5, 13.5, 1.5, BLUE, 1.4), poly([(12, 0), (15, 1.5), (12, 3)],
                                                                    BLUE)],
    "close": page() + [line(5.5, 6.5, 10.5, 11.5, RED, 1.8), line(10.5, 6.5, 5.5, 11.5, RED, 1.8)],
    "toolbar": window() + [rect(2, 3, 14, 6, BLUE), rect(3, 4, 5, 5, LIGHT), rect(6, 4, 8, 5, LIGHT),
                           rect(9, 4, 11, 5, LIGHT)],
    "statusbar": window() + [rect(2, 10, 14, 13, BLUE), rect(3, 11, 8, 12, LIGHT)],
    "tree": [rect(3, 2, 4, 13, GREY), rect(3, 6, 8, 7, GREY), rect(3, 12, 8, 13, GREY),
             rect(1, 1, 6, 4, FOLDER), rect(8, 5, 14, 8, BLUE), rect(8, 11, 14, 14, BLUE)],
    "point": [circle(x, y, 1.3, BLUE) for x, y in
              [(8, 2.5), (4.5, 8), (11.5, 8), (2, 13.5), (8, 13.5), (14, 13.5)]],
    "line": [line(8, 2, 14.5, 13.5, BLUE), line(14.5, 13.5, 1.5, 13.5, BLUE),
             line(1.5, 13.5, 8, 2, BLUE), line(8, 2, 8, 13.5, BLUE), line(4.8, 7.8, 11.2, 7.8, BLUE)],
    "fill": [poly(triangle(), BLUE), line(8, 2, 14.5, 13.5, INK), line(14.5, 13.5, 1.5, 13.5, INK),
             line(1.5, 13.5, 8, 2, INK)],
    "axes": [line(4, 12, 15, 12, RED, 1.5), line(4, 12, 4, 1, GREEN, 1.5),
             line(4, 12, 0.5, 15.5, AXIS_BLUE, 1.5), circle(4, 12, 1.5, INK)],
    "background": [rect(1, 1, 15, 15, INK), rect(2, 2, 14, 14, (51, 51, 178)),
                   poly([(2, 14), (14, 2), (14, 14)], (90, 90, 210))],
    "modelcolor": [circle(8, 4, 2.5, RED), poly([(4, 7.5), (12, 7.5), (11, 12), (5, 12)], GREEN),
                   rect(5, 12, 7, 15.5, AXIS_BLUE), rect(9, 12, 11, 15.5, AXIS_BLUE)],
    "parts": [rect(1, 1, 7.5, 7.5, BLUE), rect(8.5, 1, 15, 7.5, FOLDER),
              rect(1, 8.5, 7.5, 15, GREEN), rect(8.5, 8.5, 15, 15, GREY)],
    "exit": [rect(2, 1, 10, 15, INK), rect(3, 2, 9, 14, PAPER), line(6, 8, 14, 8, RED, 1.6),
             poly([(12, 5), (15.5, 8), (12, 11)], RED)],
    "about": [circle(8, 8, 7, BLUE), circle(8, 4.5, 1.2, PAPER), rect(7, 6.8, 9, 12.5, PAPER)],
    "folder": folder(False),
    "folder_open": folder(True),
    "file": page(),
    "file_selected": page(LIGHT) + [rect(5, 6, 11, 7, BLUE), rect(5, 8.5, 11, 9.5, BLUE),
                                    rect(5, 11, 9, 12, BLUE)],
}

# The hicolor theme's usual sizes for an application's icon.
APP_ICON = "modelcolor"
APP_ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
APP_ICON_FOLDER = "../../packaging/icons"

if __name__ == "__main__":
    for name, shapes in ICONS.items():
        save_png(name + ".png", render(shapes))
    for size in APP_ICON_SIZES:
        save_png(f"{APP_ICON_FOLDER}/{size}.png", render(ICONS[APP_ICON], size), size)
