#!/usr/bin/env python3
"""Composes the main window and the pre-recorder window from the skin bitmaps,
the way the controls draw themselves, into a PNG for looking at the skin.

    python3 resources/generate/preview.py [OUT.png] [--fresh] [--scale N]

(OUT.png defaults to build/skin-preview.png, which is not committed.)

The default scene has files in the strips: channel 1 mono, playing and
looping; channels 2 and 3 a stereo file, paused (the strip of channel 3 is the
right half, with its buttons hidden); channel 4 empty. --fresh shows a newly
opened window. Names are drawn with the skin's stroke font in place of the
system's "Small Fonts".
"""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from imagefiles import read_bmp, write_png  # noqa: E402
from layout import (BITMAPS, EMPTY_STRIP, MAIN_H, MAIN_W, PRE_CONTROLS, PRE_H, PRE_W,  # noqa: E402
                    PRERECORDER_TOGGLE, TRACE_BACKGROUND, strip)
from raster import Canvas, rrect, strokes  # noqa: E402
from strokefont import text_shape  # noqa: E402

SKIN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "skin")
FRAME = {"normal": 0, "disabled": 1, "hover": 2, "pressed": 3}


def load(ident):
    rows, bits = read_bmp(os.path.join(SKIN, BITMAPS[ident][0]))
    return Canvas.from_rows(rows)


def blit_frame(cv, image, ident, x, y, state="normal", on=False, enabled=True):
    """Copies the frame a push or toggle button shows for its state."""
    frames = BITMAPS[ident][4]
    h = image.h // frames
    index = 1 if not enabled else FRAME[state]
    if on:
        index += 4
    cv.paste(image.crop(0, index * h, image.w, h), x, y)


def wave_picture(seed, second=False, empty=False):
    """A 315 x 26 strip picture: cyan with a centre line and bars."""
    pic = Canvas(315, 26, EMPTY_STRIP if empty else TRACE_BACKGROUND)
    if empty:
        return pic
    colour = (0, 0, 255) if second else (255, 0, 0)
    for x in range(315):
        pic.set(x, 13, (0, 0, 0))
    for x in range(315):
        env = abs(math.sin(x / 40.0 + seed)) * (0.4 + 0.6 * abs(math.sin(x / 7.3 + seed * 3)))
        v = int(12 * env)
        for y in range(13 - v, 13 + v + 1):
            pic.set(x, y, colour)
    return pic


def text(cv, rect, s, colour=(0, 255, 0)):
    x, y, w, h = rect
    cv.fill(rrect(x, y, x + w, y + h, 0), (0, 0, 0))
    shape = text_shape(s, x + 1, y + h / 2.0 + 3.5, 7, 1.0)
    if shape is not None:
        from raster import intersect
        cv.fill(intersect(shape, rrect(x, y, x + w, y + h, 0)), colour)


def scene(fresh):
    if fresh:
        empty = dict(loaded=False, partner=False, state=0, loop=False, sync=False, name=None)
        return [dict(empty, index=c) for c in range(4)]
    return [
        dict(index=0, loaded=True, partner=False, state=1, loop=True, sync=True, name="drums loop.wav",
             marker=120, hover="play"),
        dict(index=1, loaded=True, partner=False, state=2, loop=False, sync=True, name="strings.wav",
             marker=200),
        dict(index=2, loaded=True, partner=True, state=2, loop=False, sync=True, name="strings.wav[right]",
             marker=200),
        dict(index=3, loaded=False, partner=False, state=0, loop=False, sync=False, name=None,
             hover="open"),
    ]


def main_window(fresh):
    cv = load(111)
    mask = load(112)
    images = {i: load(i) for i in range(120, 130)}
    blit_frame(cv, images[129], 129, *PRERECORDER_TOGGLE[:2])
    for ch in scene(fresh):
        c = ch["index"]
        r = strip(c)
        owner = ch["loaded"] and not ch["partner"]
        visible = not ch["partner"]
        s = ch["state"]
        hover = ch.get("hover")

        def st(name):
            return "hover" if hover == name else "normal"
        if visible:
            blit_frame(cv, images[120], 120, *r["open"][:2], st("open"), enabled=not ch["loaded"] or owner)
            blit_frame(cv, images[121], 121, *r["close"][:2], st("close"), enabled=owner)
            blit_frame(cv, images[124], 124, *r["play"][:2], st("play"), on=s != 0, enabled=owner)
            blit_frame(cv, images[123], 123, *r["pause"][:2], st("pause"), on=s == 2, enabled=s != 0)
            blit_frame(cv, images[128], 128, *r["props"][:2])
            blit_frame(cv, images[122], 122, *r["loop"][:2], on=ch["loop"])
            blit_frame(cv, images[125], 125, *r["sync"][:2], on=ch["sync"])
        pic = wave_picture(c * 1.7 if not ch["partner"] else 1.7 * 1 + 0.4, second=ch["partner"],
                           empty=not ch["loaded"])
        cv.paste(pic, *r["view"][:2])
        if ch.get("marker") and ch["loaded"]:
            x = r["view"][0] + ch["marker"]
            for y in range(r["view"][1], r["view"][1] + 26):
                cv.set(x, y, (255, 0, 0))
        cv.paste(images[126] if s != 0 else images[127], *r["led"][:2])
        name = ch["name"] or "audio track %d" % (c + 1)
        text(cv, r["name"], name)
    # Outside the window's region: a neutral desktop grey.
    for y in range(MAIN_H):
        for x in range(MAIN_W):
            if mask.get(x, y) == (255, 255, 255):
                cv.set(x, y, (120, 120, 128))
    return cv


def prerecorder_window():
    cv = load(130)
    mask = load(131)
    x, y, w, h = PRE_CONTROLS["trace"]
    trace = Canvas(w, h, TRACE_BACKGROUND)
    line = [(i + 0.5, 40.5 - 22 * math.sin(i / 6.0) * math.exp(-((i - 50) / 30.0) ** 2)) for i in range(w)]
    trace.fill(strokes([line], 1.0), (255, 0, 0))
    cv.paste(trace, x, y)
    blit_frame(cv, load(132), 132, *PRE_CONTROLS["start"][:2], enabled=False)
    blit_frame(cv, load(133), 133, *PRE_CONTROLS["stop"][:2])
    cv.paste(load(134), *PRE_CONTROLS["led"][:2])
    ox, oy, ow, oh = PRE_CONTROLS["output"]
    text(cv, PRE_CONTROLS["output"], "Oae4711.wav")
    for yy in range(PRE_H):
        for xx in range(PRE_W):
            if mask.get(xx, yy) == (255, 255, 255):
                cv.set(xx, yy, (120, 120, 128))
    return cv


def main(argv):
    default = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "build", "skin-preview.png")
    out = argv[1] if len(argv) > 1 and not argv[1].startswith("--") else default
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    scale = int(argv[argv.index("--scale") + 1]) if "--scale" in argv else 1
    main_cv = main_window("--fresh" in argv)
    pre = prerecorder_window()
    gap = 12
    sheet = Canvas(MAIN_W, MAIN_H + gap + PRE_H, (120, 120, 128))
    sheet.paste(main_cv, 0, 0)
    sheet.paste(pre, 0, MAIN_H + gap)
    rows = sheet.rgb_rows()
    if scale > 1:
        rows = [[p for p in row for _ in range(scale)] for row in rows for _ in range(scale)]
    write_png(out, rows)
    print(out)


if __name__ == "__main__":
    main(sys.argv)
