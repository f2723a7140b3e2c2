#!/usr/bin/env python3
"""Draws the plug-in's icon (sondrel.ico, 109), the volume-control icon
(volume.ico, 137) and the cursor (sondrel.cur, 101) as 32x32 32-bit images
with anti-aliased alpha.

The generated files are committed; the build needs neither this script nor Python.
Run: python3 resources/generate/icons.py [resources/]
"""
import math
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from raster import Canvas, arc, hexrgb, polygon, ring, rrect, strokes, vgrad  # noqa: E402

SIZE = 32
WHITE = (255, 255, 255)


class Layered:
    """A colour canvas and an alpha canvas drawn together."""

    def __init__(self):
        self.colour = Canvas(SIZE, SIZE)
        self.alpha = Canvas(SIZE, SIZE)

    def body(self, shape, paint):
        """An opaque silhouette: alpha from the exact shape, colour filled a
        pixel beyond it so that edge pixels keep their own colour."""
        grown = _grow(shape, 1.0)
        self.colour.fill(grown, paint)
        self.alpha.fill(shape, WHITE)

    def detail(self, shape, paint, opacity=1.0):
        self.colour.fill(shape, paint, opacity)

    def pixels(self):
        rows = []
        for y in range(SIZE):
            row = []
            for x in range(SIZE):
                r, g, b = (int(max(0, min(255, round(c)))) for c in self.colour.get(x, y))
                a = int(max(0, min(255, round(self.alpha.get(x, y)[0]))))
                row.append((r, g, b, a))
            rows.append(row)
        return rows


def _grow(shape, by):
    def f(x, y):
        return shape(x, y) - by
    f.bbox = (shape.bbox[0] - 1, shape.bbox[1] - 1, shape.bbox[2] + 1, shape.bbox[3] + 1)
    return f


def dib(pixels):
    """BITMAPINFOHEADER + bottom-up BGRA rows + AND mask, as stored in ICO/CUR."""
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = bytearray()
    for y in range(SIZE - 1, -1, -1):
        for x in range(SIZE):
            r, g, b, a = pixels[y][x]
            rows += bytes((b, g, r, a))
    mask = bytearray()
    for y in range(SIZE - 1, -1, -1):
        bits = 0
        for x in range(SIZE):
            if pixels[y][x][3] < 128:
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)
    return header + bytes(rows) + bytes(mask)


def container(kind, image, hotspot=(0, 0)):
    planes, bits = (1, 32) if kind == 1 else hotspot
    head = struct.pack("<HHH", 0, kind, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, planes, bits, len(image), 6 + 16)
    return head + entry + image


def icon_pixels():
    """A dark rounded plate with a cyan waveform and a red play marker."""
    img = Layered()
    plate = rrect(1, 1, 31, 31, 6)
    img.body(plate, vgrad(1, 31, hexrgb("#5d6779"), hexrgb("#2a303b")))
    img.detail(ring(plate, 1.2), vgrad(1, 31, hexrgb("#9aa5b8"), hexrgb("#14171c")))
    screen = rrect(4.5, 7, 27.5, 25, 2)
    img.detail(screen, hexrgb("#0e2a30"))
    img.detail(ring(screen, 1.0), hexrgb("#07090b"))
    wave = [(5.5 + i * 0.5, 16 - 6.2 * math.sin(i / 42.0 * math.pi) * math.sin(i * 0.55)) for i in range(43)]
    img.detail(strokes([wave], 1.6), hexrgb("#37e0f5"))
    img.detail(strokes([[(19.5, 8.5), (19.5, 23.5)]], 1.2), hexrgb("#ff4636"))
    return img.pixels()


def volume_pixels():
    """A speaker with three sound waves, for the volume-control button."""
    img = Layered()
    body = polygon([(4, 12), (10, 12), (17, 5), (17, 27), (10, 20), (4, 20)])
    img.body(body, vgrad(5, 27, hexrgb("#e9edf3"), hexrgb("#8e97a7")))
    img.detail(ring(body, 1.0), hexrgb("#2a2f38"))
    img.detail(rrect(9.5, 12.5, 10.5, 19.5, 0), hexrgb("#5b6473"), 0.6)
    for radius, weight in ((5.0, 2.0), (9.0, 2.0), (13.0, 2.0)):
        wave = [(p[0], p[1]) for p in arc(16.5, 16, radius, radius, -48, 48)]
        stroke = strokes([wave], weight)
        img.body(stroke, hexrgb("#2f8fe8"))
        img.detail(stroke, vgrad(3, 29, hexrgb("#7cc4ff"), hexrgb("#1f6fc4")))
    return img.pixels()


def cursor_pixels():
    """An arrow with a white body and a dark outline; hot spot at its tip."""
    img = Layered()
    tip = [(1, 1), (1, 21), (6, 16.5), (9.8, 25), (13, 23.6), (9.4, 15.4), (15.8, 15.4)]
    outline = polygon(tip)
    img.colour.fill(_grow(outline, 1.0), hexrgb("#101216"))
    img.alpha.fill(_grow(outline, 0.6), WHITE)
    inner = polygon([(2.4, 4.2), (2.4, 17.8), (6.4, 14.2), (10.4, 22.9), (11.4, 22.5), (7.4, 13.9),
                     (12.6, 13.9)])
    img.colour.fill(inner, vgrad(2, 23, WHITE, hexrgb("#d8dde6")))
    return img.pixels()


def main(out):
    (open(os.path.join(out, "sondrel.ico"), "wb")).write(container(1, dib(icon_pixels())))
    (open(os.path.join(out, "volume.ico"), "wb")).write(container(1, dib(volume_pixels())))
    (open(os.path.join(out, "sondrel.cur"), "wb")).write(container(2, dib(cursor_pixels()), hotspot=(1, 1)))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
