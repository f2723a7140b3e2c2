#!/usr/bin/env python3
"""Draws the plug-in's icon (sondrel.ico) and cursor (sondrel.cur) as 32x32 32-bit images.

The generated files are committed; the build needs neither this script nor Python.
Run: python3 resources/generate/icons.py resources/
"""
import math
import struct
import sys
from pathlib import Path

SIZE = 32


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
            if pixels[y][x][3] == 0:
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)
    return header + bytes(rows) + bytes(mask)


def container(kind, image, hotspot=(0, 0)):
    planes, bits = (1, 32) if kind == 1 else hotspot
    head = struct.pack("<HHH", 0, kind, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, planes, bits, len(image), 6 + 16)
    return head + entry + image


def icon_pixels():
    px = [[(0, 0, 0, 0)] * SIZE for _ in range(SIZE)]
    for y in range(SIZE):
        for x in range(SIZE):
            # Rounded plate, dark blue-grey with a lighter rim.
            dx = max(0, abs(x - 15.5) - 11.5)
            dy = max(0, abs(y - 15.5) - 11.5)
            d = math.hypot(dx, dy)
            if d <= 4.0:
                rim = d > 3.0 or x in (0, 31) or y in (0, 31)
                shade = 60 + int(40 * (1 - y / SIZE))
                px[y][x] = (shade + 40, shade + 40, shade + 90, 255) if rim else (shade // 2, shade // 2, shade, 255)
    # A cyan waveform across the plate.
    for x in range(4, 28):
        t = (x - 4) / 23.0
        amp = 9 * math.sin(t * math.pi) * math.sin(t * 5 * math.pi)
        y0, y1 = sorted((16, int(round(16 - amp))))
        for y in range(y0, y1 + 1):
            px[y][x] = (0, 230, 255, 255)
    return px


def cursor_pixels():
    px = [[(0, 0, 0, 0)] * SIZE for _ in range(SIZE)]
    # Classic arrow: black outline, white body, tip at (0, 0).
    for y in range(19):
        width = y // 1.6 + 1
        for x in range(int(width) + 1):
            edge = x == 0 or x == int(width) or y == 18
            px[y][x] = (0, 0, 0, 255) if edge else (255, 255, 255, 255)
    for y in range(12, 24):
        for x in range(6, 10):
            if x + (y - 12) // 2 < 14 and y > 11:
                xx = x + (y - 12) // 2
                edge = x in (6, 9) or y == 23
                px[y][xx] = (0, 0, 0, 255) if edge else (255, 255, 255, 255)
    return px


def main(out):
    out = Path(out)
    (out / "sondrel.ico").write_bytes(container(1, dib(icon_pixels())))
    (out / "sondrel.cur").write_bytes(container(2, dib(cursor_pixels()), hotspot=(0, 0)))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent)
