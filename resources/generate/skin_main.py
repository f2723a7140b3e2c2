"""The main window's skin: background 111, mask 112 and the control images
120 to 129."""
import math

from layout import MAIN_H, MAIN_W, PLATE, PRERECORDER_TOGGLE, PUSH, ROW_PITCH, TOGGLE, strip
from parts import (BLACK, WHITE, chassis, engraved, face_set, frame_strip, glyph_colour, key, led,
                   mask_rows, metal_label, plate, recess, screw)
from raster import Canvas, circle, hexrgb, mix, polygon, radial, ring, rrect, shifted, strokes, vgrad
from strokefont import centred_text, text_shape, text_width

# Of row 0, edges inclusive; rows follow every ROW_PITCH pixels.
PLATE_X0, PLATE_X1 = PLATE[0], PLATE[0] + PLATE[2] - 1
PLATE_TOP, PLATE_BOTTOM = PLATE[1], PLATE[1] + PLATE[3] - 1
LABEL = hexrgb("#aab3c3")
NUMBER = hexrgb("#e4e8ef")
CYAN = hexrgb("#34d8f0")


def _title(cv):
    """Product plate at the top left and a line of engraving to the right."""
    x0, y0, y1 = 26, 5, 23
    x1 = x0 + 28 + text_width("ORVAN", 10, 1.25, 0.6) + 5 + text_width("SONDREL", 10, 2.0, 0.6) + 9
    metal_label(cv, x0, y0, x1, y1, seed=7)
    # Badge: a small cyan waveform on a dark tile.
    tile = rrect(x0 + 4, y0 + 3, x0 + 22, y1 - 3, 3)
    cv.fill(tile, vgrad(y0, y1, hexrgb("#1b2027"), hexrgb("#2a313b")))
    cx, cy = x0 + 13, (y0 + y1) / 2.0
    wave = [(cx - 6 + i * 0.5, cy - 4.2 * math.sin(i * 0.5 / 12 * math.pi) * math.sin(i * 0.5 * 1.35))
            for i in range(25)]
    cv.fill(strokes([wave], 1.2), CYAN)
    ink = hexrgb("#23272e")
    x = x0 + 28
    word = text_shape("ORVAN", x, 19, 10, 1.25, tracking=0.6)
    cv.fill(shifted_down(word, 0.8), WHITE, 0.5)
    cv.fill(word, mix(ink, WHITE, 0.25))
    x += text_width("ORVAN", 10, 1.25, 0.6) + 5
    word = text_shape("SONDREL", x, 19, 10, 2.0, tracking=0.6)
    cv.fill(shifted_down(word, 0.8), WHITE, 0.5)
    cv.fill(word, ink)
    engraved(cv, "FOUR-TRACK WAVE PLAYER", 392, 17, 6, 1.0, hexrgb("#7f8898"),
             dark=(hexrgb("#0c0d10"), 0.7), centred=True, tracking=0.9)


def shifted_down(shape, dy=1.0):
    return shifted(shape, 0, dy)


def _plate(cv, c):
    """One channel plate: metal plate, lighter field behind the waveform view,
    black field behind info and name, loop label, LED bezel, channel number."""
    dy = ROW_PITCH * c
    r = strip(c)
    plate(cv, PLATE_X0, PLATE_TOP + dy, PLATE_X1, PLATE_BOTTOM + dy, 8,
          hexrgb("#5d6779"), hexrgb("#465063"), hexrgb("#363d4b"), seed=11)
    # Waveform field: light steel frame around the picture.
    vx, vy, vw, vh = r["view"]
    field = rrect(vx - 3, vy - 3, vx + vw + 3, vy + vh + 3, 3)
    cv.glow(field, 2.0, BLACK, 0.35)
    cv.fill(field, vgrad(vy - 3, vy + vh + 3, hexrgb("#c3cad6"), hexrgb("#8e97a7")))
    cv.fill(ring(field, 1.0), vgrad(vy - 3, vy + vh + 3, hexrgb("#e9edf3"), hexrgb("#5f6877")), 0.9)
    cv.fill(rrect(vx - 1, vy - 1, vx + vw + 1, vy + vh + 1, 0.5), hexrgb("#20242b"))
    cv.fill(rrect(vx, vy, vx + vw, vy + vh, 0), hexrgb("#636394"))
    # Black field behind the info button and the name display.
    px, py, pw, ph = r["props"]
    nx, ny, nw, nh = r["name"]
    recess(cv, px - 2, py - 2, nx + nw + 2, ny + nh + 2, 3, hexrgb("#000000"), depth=0.9)
    # Loop switch label.
    lx, ly, lw, lh = r["loop"]
    engraved(cv, "loop", lx - 4 - text_width("loop", 8, 1.0), ly + 7.5, 8, 1.0, LABEL,
             dark=(BLACK, 0.55))
    # LED bezel and the channel number under it.
    ex, ey, ew, eh = r["led"]
    cx, cy = ex + ew / 2.0, ey + eh / 2.0
    cv.fill(circle(cx, cy, 9.6), vgrad(cy - 10, cy + 10, hexrgb("#1d2128"), hexrgb("#7a8496")))
    cv.fill(circle(cx, cy, 8.6), vgrad(cy - 9, cy + 9, hexrgb("#59627a"), hexrgb("#2a2f38")))
    digit = centred_text(str(c + 1), cx, 78 + dy, 22, 3.4)
    cv.fill(shifted_down(digit, 1.2), BLACK, 0.55)
    cv.fill(digit, vgrad(56 + dy, 78 + dy, WHITE, NUMBER, hexrgb("#aeb6c4")))


def _stereo_mark(cv, c):
    """STEREO under the close and open buttons, which cover it completely: it
    shows when the strip is the right half of the stereo file in the strip
    above. The arrow points up to the strip that owns the file."""
    dy = ROW_PITCH * c
    cx = 46.0
    badge = rrect(26, 54 + dy, 66, 73 + dy, 3)
    cv.fill(badge, vgrad(54 + dy, 73 + dy, hexrgb("#1c2027"), hexrgb("#262b34")))
    cv.fill(ring(badge, 1.0), vgrad(54 + dy, 73 + dy, BLACK, hexrgb("#6e788a")), 0.6)
    cv.fill(strokes([[(cx - 4, 60 + dy), (cx, 56.5 + dy), (cx + 4, 60 + dy)]], 1.2), hexrgb("#8b95a7"))
    engraved(cv, "STEREO", cx, 70 + dy, 6, 1.0, hexrgb("#5fd3ea"), centred=True, tracking=0.2)


def _sync_panel(cv):
    """The sync panel: a heading and the track numbers beside the switches."""
    x0, y0, x1, y1 = 432, 44, 476, 124
    cv.glow(rrect(x0, y0 + 1, x1, y1 + 1, 6), 3.0, BLACK, 0.5)
    plate_inner = rrect(x0, y0, x1, y1, 6)
    cv.fill(plate_inner, EDGE_DARK)
    cv.fill(rrect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 5), vgrad(y0, y1, hexrgb("#4a5364"), hexrgb("#3a4150")))
    cv.fill(ring(rrect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 5), 1.0),
            vgrad(y0, y1, hexrgb("#7b869b"), hexrgb("#242830")), 0.8)
    engraved(cv, "sync", (x0 + x1) / 2.0, 56, 8, 1.1, LABEL, dark=(BLACK, 0.55), centred=True)
    cv.fill(rrect(x0 + 6, 59, x1 - 6, 60, 0), hexrgb("#2a2f38"))
    cv.fill(rrect(x0 + 6, 60, x1 - 6, 61, 0), hexrgb("#5c667a"))
    # A flat well behind the switches, so that all four sit on the same colour.
    cv.fill(rrect(443, 63, 465, 119, 3), SYNC_WELL)
    for c in range(4):
        sx, sy, sw, sh = strip(c)["sync"]
        engraved(cv, str(c + 1), 438.5, sy + 7, 7, 1.15, hexrgb("#d6dce6"), dark=(BLACK, 0.5),
                 centred=True)


EDGE_DARK = hexrgb("#121418")
SYNC_WELL = hexrgb("#2b313c")
TOGGLE_WELL = hexrgb("#23272f")


def _toggle_slot(cv):
    x, y, w, h = PRERECORDER_TOGGLE
    recess(cv, x - 2, y - 2, x + w + 2, y + h + 1, 6, TOGGLE_WELL, depth=0.9)


def _engine_logo(cv):
    """The host engine's emblem at the bottom right: a ring around a pulse."""
    cx, cy = 452.5, 216.0
    cv.glow(circle(cx, cy + 1, 13), 3.0, BLACK, 0.5)
    cv.fill(circle(cx, cy, 13), radial(cx - 4, cy - 5, 20, hexrgb("#3a404b"), hexrgb("#15181c")))
    orange = hexrgb("#f29a38")
    cv.fill(ring(circle(cx, cy, 11.5), 2.2), vgrad(cy - 12, cy + 12, hexrgb("#ffc070"), hexrgb("#d9701c")))
    pulse = [(cx - 8, cy), (cx - 4.5, cy), (cx - 2.5, cy - 6), (cx + 0.5, cy + 6), (cx + 3, cy - 3),
             (cx + 4.5, cy), (cx + 8, cy)]
    cv.fill(strokes([pulse], 1.5), mix(orange, WHITE, 0.35))
    engraved(cv, "ORVAN", cx, 241, 6, 1.0, hexrgb("#b9c0cc"), dark=(BLACK, 0.7), centred=True,
             tracking=0.7)
    engraved(cv, "AUDIO", cx, 250, 5, 0.9, hexrgb("#7e8696"), dark=(BLACK, 0.7), centred=True,
             tracking=0.9)


def draw_background():
    """Returns the background (before palette reduction) and the window shape."""
    cv = Canvas(MAIN_W, MAIN_H)
    body = chassis(cv, 14, hexrgb("#2c313b"), hexrgb("#181b21"), seed=3)
    for x, y in ((12, 14), (MAIN_W - 13, 14), (12, MAIN_H - 11), (MAIN_W - 13, MAIN_H - 11)):
        screw(cv, x, y)
    _title(cv)
    for c in range(4):
        _plate(cv, c)
    for c in range(1, 4):
        _stereo_mark(cv, c)
    _sync_panel(cv)
    _toggle_slot(cv)
    _engine_logo(cv)
    return cv, mask_rows(body, MAIN_W, MAIN_H)


# ---------------------------------------------------------------------------
# Control images. `bg` is the finished (palette-reduced) background.

def _under(bg, rect):
    x, y, w, h = rect
    return bg.crop(x, y, w, h)


def _eject(cv, state, on):
    face = key(cv, 1, 0.5, 21, 20.5, 4, state)
    col = glyph_colour(state, hexrgb("#e6eaf0"))
    d = 1 if state == "pressed" else 0
    cv.fill(polygon([(5.5, 12.5 + d), (11, 6 + d), (16.5, 12.5 + d)]), col)
    cv.fill(rrect(5.5, 14 + d, 16.5, 16 + d, 0.6), col)


def _cross(cv, state, on):
    key(cv, 1, 0.5, 21, 20.5, 4, state)
    col = glyph_colour(state, hexrgb("#e6eaf0"))
    if state == "hover":
        col = hexrgb("#ff8a7a")
    d = 1 if state == "pressed" else 0
    cv.fill(strokes([[(7, 6.5 + d), (15, 14.5 + d)], [(15, 6.5 + d), (7, 14.5 + d)]], 2.1), col)


def _play_stop(cv, state, on):
    green = hexrgb("#4cd964")
    key(cv, 1, 0.5, 21, 20.5, 4, state, tint=hexrgb("#2f7a45") if on and state != "disabled" else None)
    d = 1 if state == "pressed" else 0
    if on:
        col = glyph_colour(state, hexrgb("#f4f6f9"))
        cv.fill(rrect(6.5, 5.5 + d, 15.5, 14.5 + d, 1.2), col)
    else:
        col = glyph_colour(state, green)
        cv.fill(polygon([(7.5, 4.5 + d), (16, 10 + d), (7.5, 15.5 + d)]), col)


def _pause(cv, state, on):
    key(cv, 1, 0.5, 21, 20.5, 4, state)
    d = 1 if state == "pressed" else 0
    col = glyph_colour(state, hexrgb("#ff453a") if on else hexrgb("#4aa3ff"))
    if on and state != "disabled":
        cv.glow(rrect(6.5, 5 + d, 15.5, 15 + d, 1), 3.0, hexrgb("#ff453a"), 0.35)
    cv.fill(rrect(6.5, 5 + d, 9.5, 15 + d, 0.8), col)
    cv.fill(rrect(12.5, 5 + d, 15.5, 15 + d, 0.8), col)


def _loop(cv, state, on):
    """A small key with a loop arrow running round it."""
    key(cv, 0.5, 0.5, 14.5, 8.5, 3, state)
    col = glyph_colour(state, hexrgb("#4cd964") if on else hexrgb("#a3abb9"))
    d = 0.5 if state == "pressed" else 0
    top, bottom, left, right = 2.6 + d, 6.4 + d, 4.6, 10.4
    rad = (bottom - top) / 2.0
    path = [(5.8, top), (left, top)]
    path += [(left + rad * math.cos(a), top + rad + rad * math.sin(a))
             for a in [math.radians(270 - i * 15) for i in range(13)]]
    path += [(right, bottom)]
    path += [(right + rad * math.cos(a), top + rad + rad * math.sin(a))
             for a in [math.radians(90 - i * 15) for i in range(13)]]
    path += [(9.0, top)]
    loop = strokes([path], 1.05)
    head = polygon([(5.0, top), (7.9, top - 1.9), (7.9, top + 1.9)])
    if on and state != "disabled":
        cv.glow(loop, 1.5, col, 0.25)
    cv.fill(loop, col)
    cv.fill(head, col)


def _sync(cv, state, on):
    bar = rrect(1, 0.5, 16, 6.5, 2.5)
    cv.fill(rrect(0.5, 0, 16.5, 7, 3), hexrgb("#0d0f12"))
    if on:
        base = {"normal": hexrgb("#ff3b30"), "hover": hexrgb("#ff6a5e"), "pressed": hexrgb("#d92a20"),
                "disabled": hexrgb("#7a4a46")}[state]
        cv.fill(bar, vgrad(0.5, 6.5, mix(base, WHITE, 0.45), base, mix(base, BLACK, 0.25)))
    else:
        base = {"normal": hexrgb("#5e1a16"), "hover": hexrgb("#7a2620"), "pressed": hexrgb("#461210"),
                "disabled": hexrgb("#3a2a29")}[state]
        cv.fill(bar, vgrad(0.5, 6.5, mix(base, WHITE, 0.18), base, mix(base, BLACK, 0.3)))
    cv.fill(rrect(3, 1.2, 14, 2.4, 0.6), WHITE, 0.45 if on else 0.15)


def _info(cv, state, on):
    """The green word info on black, framed like a display key."""
    green = {"normal": hexrgb("#37f06a"), "hover": hexrgb("#9cffb4"), "pressed": hexrgb("#23b84a"),
             "disabled": hexrgb("#1e5a2c")}[state]
    frame = {"normal": hexrgb("#1b6a31"), "hover": hexrgb("#3fbf63"), "pressed": hexrgb("#0f3a1b"),
             "disabled": hexrgb("#12301a")}[state]
    box = rrect(0.5, 0.5, 29.5, 12.5, 2.5)
    cv.fill(box, BLACK)
    cv.fill(ring(box, 1.0), frame)
    d = 1 if state == "pressed" else 0
    word = centred_text("info", 15, 9.8 + d, 9, 1.2)
    if state == "hover":
        cv.glow(word, 2.0, green, 0.25)
    cv.fill(word, green)


def _record_toggle(cv, state, on):
    """The word record on a grey plate."""
    key(cv, 0.5, 0.5, 44.5, 18.5, 5, state, faces=face_set(hexrgb("#d3d7de"), hexrgb("#9aa1ac")))
    d = 1 if state == "pressed" else 0
    ink = hexrgb("#24282f") if state != "disabled" else hexrgb("#4a4f58")
    word = centred_text("record", 22.5, 12.6 + d, 8.6, 1.25)
    cv.fill(shifted_down(word, 0.8), WHITE, 0.35)
    cv.fill(word, ink)


def _led_image(bg, lit):
    cv = _under(bg, strip(0)["led"])
    led(cv, 7.5, 7.5, 5.6, lit)
    return cv


def draw_controls(bg):
    """Bitmap id -> Canvas for the main window's control images."""
    s = strip(0)
    return {
        120: frame_strip(_under(bg, s["open"]), 22, 22, PUSH, _eject),
        121: frame_strip(_under(bg, s["close"]), 22, 22, PUSH, _cross),
        122: frame_strip(_under(bg, s["loop"]), 15, 10, TOGGLE, _loop),
        123: frame_strip(_under(bg, s["pause"]), 22, 22, TOGGLE, _pause),
        124: frame_strip(_under(bg, s["play"]), 22, 22, TOGGLE, _play_stop),
        125: frame_strip(_under(bg, s["sync"]), 17, 8, TOGGLE, _sync),
        126: _led_image(bg, True),
        127: _led_image(bg, False),
        128: frame_strip(_under(bg, s["props"]), 30, 14, PUSH, _info),
        129: frame_strip(_under(bg, PRERECORDER_TOGGLE), 45, 20, PUSH, _record_toggle),
    }
