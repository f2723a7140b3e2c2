"""Where the windows' controls sit, and which bitmap holds which image.

The places come from resources/window_layout.h, which the windows' code, the
reference host and the tests include: the skin is drawn around them and the
preview composes the windows from them.
"""

import os
import re

HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "window_layout.h")


def _read_header(path):
    """The header's constants: name -> int, or name -> (left, top, width, height)."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    values = {name: int(number) for name, number in re.findall(r"^constexpr int (k\w+) = (-?\d+);", text, re.M)}
    for name, fields in re.findall(r"^constexpr LayoutRect (k\w+) = \{([^}]*)\};", text, re.M):
        values[name] = tuple(int(v) for v in fields.split(","))
        if len(values[name]) != 4:
            raise ValueError("%s: %s needs four numbers" % (path, name))
    return values


_H = _read_header(HEADER)

MAIN_W, MAIN_H = _H["kMainWidth"], _H["kMainHeight"]
ROW_PITCH = _H["kRowPitch"]     # between channel rows
SYNC_PITCH = _H["kSyncPitch"]   # the sync switches form their own column

# Frame counts: a push button holds 4 frames (normal, disabled, hover,
# pressed) stacked vertically, a toggle button 8 (the same four off, then on).
PUSH, TOGGLE = 4, 8

# The skin's plate under channel 1's strip.
PLATE = _H["kStripPlate"]


def strip(c):
    """Rectangles (left, top, width, height) of channel c's controls (c = 0..3)."""
    rects = {}
    for name in ("open", "close", "play", "pause", "view", "name", "sync", "loop", "led", "props"):
        x, y, w, h = _H["kStrip" + name.capitalize()]
        rects[name] = (x, y + (SYNC_PITCH if name == "sync" else ROW_PITCH) * c, w, h)
    return rects


PRERECORDER_TOGGLE = _H["kPreRecorderToggle"]

PRE_W, PRE_H = _H["kPreRecorderWidth"], _H["kPreRecorderHeight"]
PRE_CONTROLS = {name: _H["kRecorder" + name.capitalize()] for name in ("trace", "start", "stop", "led", "output")}


def _frames(rect, count):
    """Width and height of a bitmap of count frames of a control's size, stacked vertically."""
    return rect[2], rect[3] * count


_S = strip(0)

# Bitmap id -> (file name, width, height, bits per pixel, frames).
BITMAPS = {
    111: ("main_background.bmp", MAIN_W, MAIN_H, 8, 1),
    112: ("main_mask.bmp", MAIN_W, MAIN_H, 1, 1),
    120: ("open.bmp",) + _frames(_S["open"], PUSH) + (24, PUSH),
    121: ("close.bmp",) + _frames(_S["close"], PUSH) + (24, PUSH),
    122: ("loop.bmp",) + _frames(_S["loop"], TOGGLE) + (24, TOGGLE),
    123: ("pause.bmp",) + _frames(_S["pause"], TOGGLE) + (24, TOGGLE),
    124: ("playstop.bmp",) + _frames(_S["play"], TOGGLE) + (24, TOGGLE),
    125: ("sync.bmp",) + _frames(_S["sync"], TOGGLE) + (24, TOGGLE),
    126: ("led_lit.bmp",) + _frames(_S["led"], 1) + (24, 1),
    127: ("led_unlit.bmp",) + _frames(_S["led"], 1) + (24, 1),
    128: ("info.bmp",) + _frames(_S["props"], PUSH) + (24, PUSH),
    129: ("prerecorder_toggle.bmp",) + _frames(PRERECORDER_TOGGLE, PUSH) + (24, PUSH),
    130: ("prerecorder_background.bmp", PRE_W, PRE_H, 8, 1),
    131: ("prerecorder_mask.bmp", PRE_W, PRE_H, 1, 1),
    132: ("record_start.bmp",) + _frames(PRE_CONTROLS["start"], PUSH) + (24, PUSH),
    133: ("record_stop.bmp",) + _frames(PRE_CONTROLS["stop"], PUSH) + (24, PUSH),
    134: ("record_led_lit.bmp",) + _frames(PRE_CONTROLS["led"], 1) + (24, 1),
    135: ("record_led_unlit.bmp",) + _frames(PRE_CONTROLS["led"], 1) + (24, 1),
}

# Colours the plug-in's code paints into the skin (for the preview).
EMPTY_STRIP = (0x63, 0x63, 0x94)
TRACE_BACKGROUND = (0, 255, 255)
