#!/usr/bin/env python3
"""Draws every skin bitmap of the plug-in into resources/skin/.

The generated files are committed; the build needs neither this script nor
Python. Run from anywhere:
    python3 resources/generate/skin.py [OUTPUT_DIR]
Backgrounds are reduced to 256 colours (8 bits per pixel), the masks are
1 bit per pixel (white = outside the window), control images are 24-bit.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from imagefiles import quantise, write_bmp1, write_bmp24, write_bmp8  # noqa: E402
from layout import BITMAPS  # noqa: E402
from raster import Canvas  # noqa: E402
import skin_main  # noqa: E402
import skin_prerecorder  # noqa: E402


def _write_background(out, ident, canvas, mask):
    """Writes an 8-bit background and its 1-bit mask; returns the background as
    it will look after palette reduction, which the control images sample."""
    rows = canvas.rgb_rows()
    palette, indexed = quantise(rows, 256, keep=[(255, 255, 255), (0, 0, 0)])
    write_bmp8(os.path.join(out, BITMAPS[ident][0]), indexed, palette)
    write_bmp1(os.path.join(out, BITMAPS[ident + 1][0]), mask)
    return Canvas.from_rows([[palette[i] for i in row] for row in indexed])


def _write_images(out, images):
    for ident, canvas in images.items():
        name, width, height = BITMAPS[ident][:3]
        assert (canvas.w, canvas.h) == (width, height), (ident, canvas.w, canvas.h)
        write_bmp24(os.path.join(out, name), canvas.rgb_rows())


def main(out):
    os.makedirs(out, exist_ok=True)
    background, mask = skin_main.draw_background()
    final = _write_background(out, 111, background, mask)
    _write_images(out, skin_main.draw_controls(final))
    background, mask = skin_prerecorder.draw_background()
    final = _write_background(out, 130, background, mask)
    _write_images(out, skin_prerecorder.draw_controls(final))


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "skin"))
