#!/usr/bin/env python3
"""Writes the small test skin of the window framework tests as 24-bit BMP files.

Every frame and image is a solid, distinct colour so that a test can tell from
the pixels of a window which frame or image a control shows.
Usage: make_skin.py OUTPUT_DIR
"""
import os
import struct
import sys

# Colours as 0xRRGGBB; the tests (SkinColours.h) use the same values.
PUSH_FRAMES = [0xC80000, 0x808080, 0xC8C800, 0x0000C8]
TOGGLE_FRAMES = [0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF, 0x800000, 0x008000]
BACKGROUND = 0x336699
ON_IMAGE = 0x00C864
OFF_IMAGE = 0x643200
NEAR_WHITE = 0xFEFFFF


def write_bmp(path, width, height, pixel):
    """pixel(x, y) -> 0xRRGGBB, y counted from the top."""
    row_bytes = (width * 3 + 3) & ~3
    data = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            c = pixel(x, y)
            row += bytes((c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF))
        row += b"\0" * (row_bytes - len(row))
        data += row
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def frames(colours, width, frame_height):
    return lambda x, y: colours[y // frame_height]


def mask(x, y):
    """A 200 x 150 outline: white cut corners, a white hole, one near-white row."""
    if x + y < 20 or (199 - x) + y < 20 or x + (149 - y) < 20 or (199 - x) + (149 - y) < 20:
        return 0xFFFFFF
    if 90 <= x < 110 and 60 <= y < 80:
        return 0xFFFFFF
    if y == 100:
        return NEAR_WHITE
    return BACKGROUND


def glyphs(x, y):
    """Cells 6 x 8 for the characters 32..90: cell i has the colour (i*4, 100, 200)."""
    return ((y // 8) * 4 << 16) | (100 << 8) | 200


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_bmp(os.path.join(out, "frames.bmp"), 40, 80, frames(PUSH_FRAMES, 40, 20))
    write_bmp(os.path.join(out, "toggle.bmp"), 30, 160, frames(TOGGLE_FRAMES, 30, 20))
    write_bmp(os.path.join(out, "background.bmp"), 200, 150, lambda x, y: BACKGROUND)
    write_bmp(os.path.join(out, "mask.bmp"), 200, 150, mask)
    write_bmp(os.path.join(out, "glyphs.bmp"), 6, 59 * 8, glyphs)
    write_bmp(os.path.join(out, "on.bmp"), 16, 12, lambda x, y: ON_IMAGE)
    write_bmp(os.path.join(out, "off.bmp"), 16, 12, lambda x, y: OFF_IMAGE)


if __name__ == "__main__":
    main()
