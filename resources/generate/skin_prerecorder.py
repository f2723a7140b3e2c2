"""The pre-recorder window's skin: background 130, mask 131, the start and
stop keys 132 and 133 and the recording LED 134/135."""
from layout import PRE_CONTROLS, PRE_H, PRE_W, PUSH
from parts import (BLACK, WHITE, chassis, engraved, face_set, frame_strip, glyph_colour, key, led,
                   mask_rows, metal_label, plate, recess)
from raster import Canvas, circle, hexrgb, mix, ring, rrect, shifted, vgrad
from strokefont import text_shape, text_width

LABEL = hexrgb("#aab3c3")
GREEN = hexrgb("#2fd05a")


def _trace_frame(cv):
    """A black square with a green frame behind the live trace."""
    x, y, w, h = PRE_CONTROLS["trace"]
    recess(cv, x - 6, y - 6, x + w + 6, y + h + 6, 5, hexrgb("#15181d"), depth=0.9)
    cv.fill(rrect(x - 3, y - 3, x + w + 3, y + h + 3, 2.5), GREEN)
    cv.fill(rrect(x - 2, y - 2, x + w + 2, y + h + 2, 1.5), mix(GREEN, BLACK, 0.45))
    cv.fill(rrect(x - 1, y - 1, x + w + 1, y + h + 1, 0.5), BLACK)


def _title(cv):
    x0, y0, x1, y1 = 138, 7, 292, 26
    metal_label(cv, x0, y0, x1, y1, seed=17)
    cv.fill(circle(x0 + 11, (y0 + y1) / 2.0, 3.6), hexrgb("#e2261c"))
    cv.fill(circle(x0 + 10, (y0 + y1) / 2.0 - 1, 1.2), WHITE, 0.5)
    word = text_shape("pre-recorder", x0 + 20, 20.5, 11, 1.6)
    cv.fill(shifted(word, 0, 0.8), WHITE, 0.5)
    cv.fill(word, hexrgb("#23272e"))


def _panel(cv):
    """The panel with the two keys and the LED, labelled underneath."""
    plate(cv, 138, 32, 292, 77, 6, hexrgb("#5d6779"), hexrgb("#465063"), hexrgb("#363d4b"), seed=23)
    for name, text in (("start", "record"), ("stop", "stop"), ("led", "recording")):
        x, y, w, h = PRE_CONTROLS[name]
        engraved(cv, text, x + w / 2.0, 73, 7, 1.05, LABEL, dark=(BLACK, 0.55), centred=True)
    x, y, w, h = PRE_CONTROLS["led"]
    cx, cy = x + w / 2.0, y + h / 2.0
    cv.fill(circle(cx, cy, 7.6), vgrad(cy - 8, cy + 8, hexrgb("#1d2128"), hexrgb("#7a8496")))
    cv.fill(circle(cx, cy, 6.6), vgrad(cy - 7, cy + 7, hexrgb("#59627a"), hexrgb("#2a2f38")))


def _file_field(cv):
    """A field labelled file: behind the output display."""
    x, y, w, h = PRE_CONTROLS["output"]
    plate(cv, 138, 80, 292, 100, 5, hexrgb("#4f586a"), hexrgb("#414a5b"), hexrgb("#363d4b"), seed=29)
    engraved(cv, "file:", x - 6 - text_width("file:", 8, 1.1), y + 10.5, 8, 1.1, LABEL,
             dark=(BLACK, 0.55))
    cv.fill(rrect(x - 1, y - 1, x + w + 1, y + h + 1, 1), hexrgb("#15181d"))


def draw_background():
    cv = Canvas(PRE_W, PRE_H)
    body = chassis(cv, 12, hexrgb("#2c313b"), hexrgb("#181b21"), seed=5)
    _trace_frame(cv)
    _title(cv)
    _panel(cv)
    _file_field(cv)
    return cv, mask_rows(body, PRE_W, PRE_H)


def _start_key(cv, state, on):
    """A red key with a dot."""
    key(cv, 1, 0.5, 19, 15.5, 4, state, faces=face_set(hexrgb("#e0463c"), hexrgb("#9c1d16")))
    d = 1 if state == "pressed" else 0
    cv.fill(circle(10, 8 + d, 3.3), glyph_colour(state, hexrgb("#fff1ee"), hexrgb("#8a7472")))


def _stop_key(cv, state, on):
    """A blue key with a square."""
    key(cv, 1, 0.5, 19, 15.5, 4, state, faces=face_set(hexrgb("#4c8ee8"), hexrgb("#1f4f99")))
    d = 1 if state == "pressed" else 0
    cv.fill(rrect(6.5, 4.5 + d, 13.5, 11.5 + d, 1), glyph_colour(state, hexrgb("#eef4ff"),
                                                                 hexrgb("#7c8496")))


def _led_image(bg, lit):
    x, y, w, h = PRE_CONTROLS["led"]
    cv = bg.crop(x, y, w, h)
    led(cv, 5.5, 5.5, 4.1, lit)
    return cv


def draw_controls(bg):
    def under(name):
        x, y, w, h = PRE_CONTROLS[name]
        return bg.crop(x, y, w, h)
    return {
        132: frame_strip(under("start"), 20, 17, PUSH, _start_key),
        133: frame_strip(under("stop"), 20, 17, PUSH, _stop_key),
        134: _led_image(bg, True),
        135: _led_image(bg, False),
    }
