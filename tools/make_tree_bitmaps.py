#!/usr/bin/env python3
"""Draws the 14 tree icons of QuillonEdit.exe as 16 x 16, 8-bit palette BMP
files (app/bitmaps/treeNNN.bmp, NNN the resource identifier). Run it again
after changing a picture; the output is committed so that a build needs no
Python.

Each picture comes in two forms: the normal one on the tree's white, and the
highlighted (selected) one, brighter, on a pale blue square.
"""
import math
import os
import struct
import sys

W = H = 16
WHITE, BLACK = (255, 255, 255), (0, 0, 0)


def blank(bg=WHITE):
    return [[bg for _ in range(W)] for _ in range(H)]


def rect(img, x0, y0, x1, y1, c):
    for y in range(max(0, y0), min(H, y1 + 1)):
        for x in range(max(0, x0), min(W, x1 + 1)):
            img[y][x] = c


def outline(img, x0, y0, x1, y1, c):
    for x in range(x0, x1 + 1):
        img[y0][x] = img[y1][x] = c
    for y in range(y0, y1 + 1):
        img[y][x0] = img[y][x1] = c


def put(img, x, y, c):
    if 0 <= x < W and 0 <= y < H:
        img[y][x] = c


def red_cross():
    img = blank()
    for i in range(2, 14):
        for d in (-1, 0, 1):
            put(img, i + d, i, (200, 0, 0))
            put(img, 15 - i + d, i, (200, 0, 0))
        put(img, i - 2, i, (120, 0, 0))
        put(img, 17 - i, i, (120, 0, 0))
    return img


def notepad():
    img = blank()
    rect(img, 3, 2, 12, 14, WHITE)
    outline(img, 3, 2, 12, 14, BLACK)
    for y in range(5, 14, 2):
        for x in range(5, 11):
            img[y][x] = (0, 0, 200)
    for x in range(4, 12, 2):
        img[1][x] = (128, 128, 128)
        img[2][x] = (64, 64, 64)
    return img


def picture_with_brush():
    img = blank()
    rect(img, 1, 2, 12, 12, (120, 190, 255))
    rect(img, 1, 9, 12, 12, (0, 160, 0))
    rect(img, 8, 4, 9, 5, (255, 220, 0))
    outline(img, 1, 2, 12, 12, (90, 60, 20))
    for i in range(6):
        put(img, 9 + i, 15 - i, (150, 90, 30))
        put(img, 10 + i, 15 - i, (150, 90, 30))
    rect(img, 7, 12, 8, 13, (40, 40, 40))
    put(img, 6, 14, (200, 0, 0))
    return img


def folder():
    img = blank()
    yellow, dark = (255, 210, 60), (170, 120, 0)
    rect(img, 1, 3, 6, 5, yellow)
    outline(img, 1, 3, 6, 5, dark)
    rect(img, 1, 5, 14, 13, yellow)
    outline(img, 1, 5, 14, 13, dark)
    for x in range(2, 14):
        img[6][x] = (255, 240, 150)
    return img


def green_arrows():
    img = blank()
    green, dark = (0, 180, 0), (0, 100, 0)
    for a in range(0, 360, 4):
        if 60 < a < 110 or 240 < a < 290:
            continue
        for r in (4.5, 5.5):
            x = 7.5 + r * math.cos(math.radians(a))
            y = 7.5 + r * math.sin(math.radians(a))
            put(img, int(round(x)), int(round(y)), green)
    for (x, y, dx) in ((9, 12, 1), (6, 3, -1)):
        for i in range(3):
            for j in range(-i, i + 1):
                put(img, x - dx * i, y + j, dark)
    return img


def program_window():
    img = blank()
    outline(img, 1, 2, 14, 13, (96, 96, 96))
    rect(img, 2, 3, 13, 4, (0, 0, 160))
    rect(img, 12, 3, 12, 3, WHITE)
    rect(img, 2, 5, 13, 12, WHITE)
    rect(img, 3, 7, 8, 7, (160, 160, 160))
    rect(img, 3, 9, 10, 9, (160, 160, 160))
    return img


def media_player():
    img = blank()
    body = (60, 60, 70)
    rect(img, 1, 3, 14, 13, body)
    rect(img, 3, 5, 12, 10, (20, 20, 20))
    for i in range(4):
        rect(img, 6 + i, 6 + i // 2, 6 + i, 9 - i // 2, (0, 220, 0))
    for x in (4, 7, 10):
        rect(img, x, 12, x + 1, 12, (200, 200, 200))
    return img


def highlighted(img):
    out = blank((200, 220, 255))
    for y in range(H):
        for x in range(W):
            c = img[y][x]
            if c != WHITE:
                out[y][x] = tuple(min(255, v + (255 - v) // 3) for v in c)
    return out


def write_bmp(path, img):
    colours = sorted({c for row in img for c in row})
    assert len(colours) <= 256
    index = {c: i for i, c in enumerate(colours)}
    palette = b"".join(struct.pack("<BBBB", c[2], c[1], c[0], 0) for c in colours)
    palette += b"\0" * (4 * (256 - len(colours)))
    rows = b"".join(bytes(index[img[y][x]] for x in range(W)) for y in reversed(range(H)))
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 8, 0, len(rows), 2835, 2835, 256, 0)
    with open(path, "wb") as f:
        f.write(header + info + palette + rows)


PAIRS = [
    (150, 151, red_cross),
    (145, 147, notepad),
    (148, 149, picture_with_brush),
    (144, 146, folder),
    (152, 153, green_arrows),
    (159, 160, program_window),
    (161, 162, media_player),
]

if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "app", "bitmaps")
    os.makedirs(out, exist_ok=True)
    for normal, selected, draw in PAIRS:
        img = draw()
        write_bmp(os.path.join(out, "tree%d.bmp" % normal), img)
        write_bmp(os.path.join(out, "tree%d.bmp" % selected), highlighted(img))
