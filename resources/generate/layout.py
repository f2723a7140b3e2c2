"""Where the windows' controls sit, and which bitmap holds which image.

The same numbers are used by the main window's and the pre-recorder's code;
the skin is drawn around them and the preview composes the windows from them.
"""

MAIN_W, MAIN_H = 485, 272
ROW_PITCH = 57          # channel rows are 57 pixels apart
SYNC_PITCH = 14         # the sync switches form their own column

# Frame counts: a push button holds 4 frames (normal, disabled, hover,
# pressed) stacked vertically, a toggle button 8 (the same four off, then on).
PUSH, TOGGLE = 4, 8


def strip(c):
    """Rectangles (left, top, width, height) of channel c's controls (c = 0..3)."""
    dy = ROW_PITCH * c
    return {
        "open": (46, 53 + dy, 22, 22),
        "close": (24, 53 + dy, 22, 22),
        "play": (32, 32 + dy, 22, 22),
        "pause": (55, 32 + dy, 22, 22),
        "view": (80, 32 + dy, 315, 26),
        "name": (114, 62 + dy, 226, 14),
        "sync": (445, 66 + SYNC_PITCH * c, 17, 8),
        "loop": (371, 63 + dy, 15, 10),
        "led": (400, 35 + dy, 15, 15),
        "props": (80, 62 + dy, 30, 14),
    }


PRERECORDER_TOGGLE = (428, 135, 45, 20)

PRE_W, PRE_H = 313, 119
PRE_CONTROLS = {
    "trace": (23, 19, 100, 80),
    "start": (149, 46, 20, 17),
    "stop": (181, 46, 20, 17),
    "led": (260, 50, 11, 11),
    "output": (166, 82, 120, 14),
}

# Bitmap id -> (file name, width, height, bits per pixel, frames).
BITMAPS = {
    111: ("main_background.bmp", MAIN_W, MAIN_H, 8, 1),
    112: ("main_mask.bmp", MAIN_W, MAIN_H, 1, 1),
    120: ("open.bmp", 22, 22 * PUSH, 24, PUSH),
    121: ("close.bmp", 22, 22 * PUSH, 24, PUSH),
    122: ("loop.bmp", 15, 10 * TOGGLE, 24, TOGGLE),
    123: ("pause.bmp", 22, 22 * TOGGLE, 24, TOGGLE),
    124: ("playstop.bmp", 22, 22 * TOGGLE, 24, TOGGLE),
    125: ("sync.bmp", 17, 8 * TOGGLE, 24, TOGGLE),
    126: ("led_lit.bmp", 15, 15, 24, 1),
    127: ("led_unlit.bmp", 15, 15, 24, 1),
    128: ("info.bmp", 30, 14 * PUSH, 24, PUSH),
    129: ("prerecorder_toggle.bmp", 45, 20 * PUSH, 24, PUSH),
    130: ("prerecorder_background.bmp", PRE_W, PRE_H, 8, 1),
    131: ("prerecorder_mask.bmp", PRE_W, PRE_H, 1, 1),
    132: ("record_start.bmp", 20, 17 * PUSH, 24, PUSH),
    133: ("record_stop.bmp", 20, 17 * PUSH, 24, PUSH),
    134: ("record_led_lit.bmp", 11, 11, 24, 1),
    135: ("record_led_unlit.bmp", 11, 11, 24, 1),
}

# Colours the plug-in's code paints into the skin (for the preview).
EMPTY_STRIP = (0x63, 0x63, 0x94)
TRACE_BACKGROUND = (0, 255, 255)
