"""Skin elements shared by both windows: chassis, plates, keys, LEDs, screws,
lettering, and the frame strips of buttons and switches."""
from raster import Canvas, circle, hexrgb, mix, radial, ring, rrect, shifted, strokes, vgrad
from strokefont import centred_text, text_shape

BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
EDGE = hexrgb("#0f1115")

# Button states in frame order; a toggle button repeats them with on = True.
STATES = ("normal", "disabled", "hover", "pressed")


def chassis(cv, r, top, bottom, seed):
    """The window body: pure white outside (the region's key colour), a dark
    graphite body inside with hard edges, because the region cuts hard."""
    body = rrect(0, 0, cv.w, cv.h, r)
    paint = vgrad(0, cv.h, top, bottom)
    for y in range(cv.h):
        for x in range(cv.w):
            cv.set(x, y, paint(x + 0.5, y + 0.5) if body(x + 0.5, y + 0.5) < 0 else WHITE)
    cv.noise((0, 0, cv.w, cv.h), 3.0, seed=seed, mask=body)
    cv.fill(ring(body, 1.0), EDGE)
    inner = rrect(1, 1, cv.w - 1, cv.h - 1, r - 1)
    cv.fill(ring(inner, 1.0), vgrad(1, cv.h, hexrgb("#4a515e"), hexrgb("#22262d")), 0.8)
    return body


def mask_rows(body, w, h):
    """1-bit rows: 1 (white, outside the window) where the body does not cover
    the pixel centre, 0 (black) inside."""
    return [[0 if body(x + 0.5, y + 0.5) < 0 else 1 for x in range(w)] for y in range(h)]


def plate(cv, x0, y0, x1, y1, r, top, mid, bottom, seed):
    """A raised metal plate with a soft shadow and a bevelled rim."""
    shape = rrect(x0, y0, x1, y1, r)
    cv.glow(shifted(shape, 0, 1.5), 3.0, BLACK, 0.55)
    cv.fill(shape, EDGE)
    inner = rrect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, r - 1)
    cv.fill(inner, vgrad(y0, y1, top, mid, bottom))
    cv.noise(inner.bbox, 2.0, seed=seed, mask=inner)
    cv.fill(ring(inner, 1.0), vgrad(y0, y1, mix(top, WHITE, 0.35), mix(bottom, BLACK, 0.3)))
    return inner


def recess(cv, x0, y0, x1, y1, r, fill, depth=0.6):
    """A field sunk into the surface: dark rim above, light rim below."""
    shape = rrect(x0, y0, x1, y1, r)
    cv.fill(shape, vgrad(y0, y1, mix(BLACK, WHITE, 0.05), mix(WHITE, BLACK, 0.55)), depth)
    inner = rrect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, max(0, r - 1))
    cv.fill(inner, fill)
    cv.glow(inner, 2.5, BLACK, 0.45 * depth, inside=True)
    return inner


def screw(cv, cx, cy, r=3.5):
    cv.glow(shifted(circle(cx, cy, r), 0, 0.8), 1.5, BLACK, 0.6)
    cv.fill(circle(cx, cy, r), radial(cx - 1, cy - 1.2, r * 1.6, hexrgb("#9aa1ad"), hexrgb("#3b4049")))
    cv.fill(ring(circle(cx, cy, r), 0.8), hexrgb("#1a1d22"), 0.7)
    d = r * 0.55
    cv.fill(strokes([[(cx - d, cy + d * 0.4), (cx + d, cy - d * 0.4)]], 1.0), hexrgb("#23262c"))


def engraved(cv, text, x, baseline, size, pen, colour, light=None, dark=None, centred=False,
             tracking=0.0):
    """Lettering with a one-pixel highlight below (engraved into metal) or a
    shadow below (raised), given by `light`/`dark`."""
    make = (lambda dx, dy: centred_text(text, x + dx, baseline + dy, size, pen, tracking)) if centred \
        else (lambda dx, dy: text_shape(text, x + dx, baseline + dy, size, pen, tracking))
    if light is not None:
        cv.fill(make(0, 1), light[0], light[1])
    if dark is not None:
        cv.fill(make(0, 1), dark[0], dark[1])
    cv.fill(make(0, 0), colour)


# Red LED lens: lit centre, lit body, lit rim, dark centre, dark rim, dark body.
LED_RED = (hexrgb("#ffd0c8"), hexrgb("#ff3a28"), hexrgb("#a8140a"),
           hexrgb("#7a2a24"), hexrgb("#3c0c08"), hexrgb("#1e0604"))


def led(cv, cx, cy, r, lit, colours=LED_RED):
    """A round LED in a dark bezel; lit ones glow beyond the lens."""
    cv.fill(circle(cx, cy, r + 1.2), hexrgb("#0b0c0e"))
    lens = circle(cx, cy, r)
    if lit:
        cv.glow(lens, r * 0.9, colours[1], 0.35)
        cv.fill(lens, radial(cx - r * 0.25, cy - r * 0.3, r * 1.25, colours[0], colours[1]))
        cv.fill(ring(lens, 1.0), colours[2], 0.6)
    else:
        cv.fill(lens, radial(cx - r * 0.25, cy - r * 0.3, r * 1.3, colours[3], colours[5]))
        cv.fill(ring(lens, 0.8), colours[4], 0.5)
    cv.fill(circle(cx - r * 0.32, cy - r * 0.38, r * 0.32), WHITE, 0.75 if lit else 0.35)


# Key faces by state: (top, bottom) of the face gradient.
KEY_FACES = {
    "normal": (hexrgb("#646e82"), hexrgb("#363d4a")),
    "hover": (hexrgb("#7a869c"), hexrgb("#434b5b")),
    "pressed": (hexrgb("#2c323c"), hexrgb("#3f4655")),
    "disabled": (hexrgb("#434954"), hexrgb("#343942")),
}


def face_set(top, bottom):
    """Key faces for every state, derived from the normal face's gradient:
    lighter under the pointer, darker and reversed when pressed, greyed when
    disabled."""
    def grey(c):
        lum = 0.3 * c[0] + 0.59 * c[1] + 0.11 * c[2]
        return mix(mix(c, (lum, lum, lum), 0.75), BLACK, 0.25)
    return {"normal": (top, bottom),
            "hover": (mix(top, WHITE, 0.15), mix(bottom, WHITE, 0.1)),
            "pressed": (mix(bottom, BLACK, 0.12), mix(top, BLACK, 0.2)),
            "disabled": (grey(top), grey(bottom))}


def metal_label(cv, x0, y0, x1, y1, seed):
    """A brushed aluminium name plate with a soft shadow; returns its face."""
    shape = rrect(x0, y0, x1, y1, 5)
    cv.glow(shifted(shape, 0, 1), 2.5, BLACK, 0.6)
    cv.fill(shape, hexrgb("#15171b"))
    inner = rrect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 4)
    cv.fill(inner, vgrad(y0, y1, hexrgb("#e3e6eb"), hexrgb("#c3c8d0"), hexrgb("#9ea4af")))
    cv.noise(inner.bbox, 3.0, seed=seed, mask=inner)
    cv.fill(ring(inner, 1.0), vgrad(y0, y1, WHITE, hexrgb("#7d838e")), 0.7)
    return inner


def key(cv, x0, y0, x1, y1, r, state, tint=None, faces=KEY_FACES):
    """A raised rounded key; returns the face shape. Pressed keys sit lower and
    lose their highlight; tint colours the face of a key that is on."""
    body = rrect(x0, y0, x1, y1, r)
    if state != "pressed":
        cv.glow(shifted(body, 0, 1), 1.6, BLACK, 0.55)
    cv.fill(body, EDGE)
    face = rrect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, max(0.5, r - 1))
    top, bottom = faces[state]
    if tint is not None:
        top, bottom = mix(top, tint, 0.45), mix(bottom, tint, 0.35)
    cv.fill(face, vgrad(y0 + 1, y1 - 1, top, bottom))
    if state == "pressed":
        cv.glow(face, 2.0, BLACK, 0.5, inside=True)
    else:
        rim = vgrad(y0 + 1, y1 - 1, mix(top, WHITE, 0.4), mix(bottom, BLACK, 0.25))
        cv.fill(ring(face, 1.0), rim, 0.8 if state != "disabled" else 0.4)
    return face


def glyph_colour(state, colour, dim=hexrgb("#6c7280")):
    """A symbol's colour for a button state."""
    if state == "disabled":
        return mix(dim, colour, 0.15)
    if state == "hover":
        return mix(colour, WHITE, 0.3)
    if state == "pressed":
        return mix(colour, BLACK, 0.15)
    return colour


def frame_strip(background, w, h, count, draw):
    """Stacks `count` frames (4 for a push button, 8 for a toggle button)
    vertically. Each frame starts as the window background under the control,
    so its corners blend into the skin, and its last row is left as that
    background: a button may be drawn one row short."""
    out = Canvas(w, h * count)
    for i in range(count):
        frame = background.crop(0, 0, w, h)
        content = Canvas(w, h)
        content.px = [list(p) for p in frame.px]
        draw(content, STATES[i % 4], i >= 4)
        for x in range(w):
            content.px[(h - 1) * w + x] = list(frame.px[(h - 1) * w + x])
        out.paste(content, 0, i * h)
    return out
