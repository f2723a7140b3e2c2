"""A small anti-aliased rasteriser for the skin: an RGB canvas, signed-distance
shapes, gradients, soft shadows and stroked paths.

Shapes are signed-distance functions of a pixel centre (negative inside); the
coverage of a pixel is the distance clamped to one pixel around the edge, which
gives clean anti-aliased outlines without supersampling. Python standard
library only, so that the skin can be regenerated on any machine.
"""
import math

Colour = tuple


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def mix(a, b, t):
    """Linear blend of two colours, t = 0 gives a."""
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def hexrgb(text):
    text = text.lstrip("#")
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


# ----------------------------------------------------------------------------
# Signed-distance shapes. Each is a function (x, y) -> distance with a .bbox
# attribute (x0, y0, x1, y1) in whole pixels, x1/y1 exclusive.


def _bbox(fn, x0, y0, x1, y1, pad=1.0):
    fn.bbox = (int(math.floor(x0 - pad)), int(math.floor(y0 - pad)),
               int(math.ceil(x1 + pad)), int(math.ceil(y1 + pad)))
    return fn


def rrect(x0, y0, x1, y1, r=0.0):
    """Rounded rectangle covering pixel edges x0..x1, y0..y1 with corner radius r."""
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    r = min(r, (x1 - x0) / 2.0, (y1 - y0) / 2.0)
    hx, hy = (x1 - x0) / 2.0 - r, (y1 - y0) / 2.0 - r

    def f(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        if qx > 0 and qy > 0:
            return math.hypot(qx, qy) - r
        return max(qx, qy) - r
    return _bbox(f, x0, y0, x1, y1)


def circle(cx, cy, r):
    def f(x, y):
        return math.hypot(x - cx, y - cy) - r
    return _bbox(f, cx - r, cy - r, cx + r, cy + r)


def _segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else clamp(((px - ax) * dx + (py - ay) * dy) / length2)
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def strokes(paths, width):
    """Polylines (lists of points) drawn with a round pen of the given width."""
    segs = []
    for path in paths:
        if len(path) == 1:
            segs.append((path[0][0], path[0][1], path[0][0], path[0][1]))
        for a, b in zip(path, path[1:]):
            segs.append((a[0], a[1], b[0], b[1]))
    half = width / 2.0

    def f(x, y):
        best = 1e9
        for ax, ay, bx, by in segs:
            # Cheap rejection before the exact distance.
            if min(ax, bx) - best > x or x > max(ax, bx) + best:
                continue
            if min(ay, by) - best > y or y > max(ay, by) + best:
                continue
            d = _segment_distance(x, y, ax, ay, bx, by)
            if d < best:
                best = d
        return best - half
    xs = [s[0] for s in segs] + [s[2] for s in segs]
    ys = [s[1] for s in segs] + [s[3] for s in segs]
    return _bbox(f, min(xs) - half, min(ys) - half, max(xs) + half, max(ys) + half)


def polygon(points):
    """Filled polygon (even-odd rule)."""
    n = len(points)

    def f(x, y):
        best = 1e9
        inside = False
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[(i + 1) % n]
            best = min(best, _segment_distance(x, y, ax, ay, bx, by))
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                inside = not inside
        return -best if inside else best
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return _bbox(f, min(xs), min(ys), max(xs), max(ys))


def intersect(a, b):
    def f(x, y):
        return max(a(x, y), b(x, y))
    f.bbox = (max(a.bbox[0], b.bbox[0]), max(a.bbox[1], b.bbox[1]),
              min(a.bbox[2], b.bbox[2]), min(a.bbox[3], b.bbox[3]))
    return f


def ring(shape, width):
    """The band of the given width just inside the shape's outline."""
    def f(x, y):
        d = shape(x, y)
        return max(d, -d - width)
    f.bbox = shape.bbox
    return f


def shifted(shape, dx, dy):
    def f(x, y):
        return shape(x - dx, y - dy)
    b = shape.bbox
    f.bbox = (b[0] + int(math.floor(dx)), b[1] + int(math.floor(dy)),
              b[2] + int(math.ceil(dx)), b[3] + int(math.ceil(dy)))
    return f


def arc(cx, cy, rx, ry, a0, a1, step=6.0):
    """Points of an elliptic arc from angle a0 to a1 (degrees, measured from the
    +x axis towards +y)."""
    n = max(2, int(abs(a1 - a0) / step) + 1)
    pts = []
    for i in range(n + 1):
        a = math.radians(a0 + (a1 - a0) * i / n)
        pts.append((cx + rx * math.cos(a), cy + ry * math.sin(a)))
    return pts


# ----------------------------------------------------------------------------
# Paints: a colour, or a function (x, y) -> colour.


def vgrad(y0, y1, *stops):
    """Vertical gradient through evenly spaced colour stops from y0 to y1."""
    n = len(stops) - 1

    def paint(x, y):
        t = clamp((y - y0) / float(y1 - y0)) * n
        i = min(int(t), n - 1)
        return mix(stops[i], stops[i + 1], t - i)
    return paint


def radial(cx, cy, r, inner, outer):
    def paint(x, y):
        return mix(inner, outer, clamp(math.hypot(x - cx, y - cy) / r))
    return paint


class Canvas:
    """RGB image with float channels 0..255; (0, 0) is the top-left pixel."""

    def __init__(self, w, h, colour=(0, 0, 0)):
        self.w, self.h = w, h
        self.px = [list(map(float, colour)) for _ in range(w * h)]

    def get(self, x, y):
        return tuple(self.px[y * self.w + x])

    def set(self, x, y, colour):
        self.px[y * self.w + x] = list(map(float, colour))

    def blend(self, x, y, colour, alpha):
        if 0 <= x < self.w and 0 <= y < self.h and alpha > 0:
            p = self.px[y * self.w + x]
            if alpha >= 1:
                p[0], p[1], p[2] = colour[0], colour[1], colour[2]
            else:
                p[0] += (colour[0] - p[0]) * alpha
                p[1] += (colour[1] - p[1]) * alpha
                p[2] += (colour[2] - p[2]) * alpha

    def _span(self, bbox):
        x0, y0, x1, y1 = bbox
        return max(0, x0), max(0, y0), min(self.w, x1), min(self.h, y1)

    def fill(self, shape, paint, opacity=1.0):
        """Paints the shape with anti-aliased edges."""
        x0, y0, x1, y1 = self._span(shape.bbox)
        dynamic = callable(paint)
        for y in range(y0, y1):
            cy = y + 0.5
            for x in range(x0, x1):
                cov = 0.5 - shape(x + 0.5, cy)
                if cov <= 0:
                    continue
                cov = min(cov, 1.0) * opacity
                self.blend(x, y, paint(x + 0.5, cy) if dynamic else paint, cov)

    def glow(self, shape, spread, colour, opacity, inside=False):
        """Soft falloff outside the shape (a drop shadow or a halo); with
        inside=True the falloff runs inward from the outline (an inner shadow)."""
        x0, y0, x1, y1 = self._span(shape.bbox)
        if not inside:
            s = int(math.ceil(spread)) + 1
            x0, y0 = max(0, x0 - s), max(0, y0 - s)
            x1, y1 = min(self.w, x1 + s), min(self.h, y1 + s)
        for y in range(y0, y1):
            for x in range(x0, x1):
                d = shape(x + 0.5, y + 0.5)
                if inside:
                    if d >= 0.5:
                        continue
                    a = (1.0 - clamp(-d / spread)) ** 2 * min(1.0, 0.5 - d)
                else:
                    if d <= -0.5:
                        continue
                    a = (1.0 - clamp(d / spread)) ** 2 * min(1.0, 0.5 + d)
                self.blend(x, y, colour, a * opacity)

    def noise(self, bbox, amount, seed=1, mask=None):
        """Fine horizontal grain (brushed metal), deterministic."""
        x0, y0, x1, y1 = self._span(bbox)
        state = seed * 2654435761 & 0xFFFFFFFF
        for y in range(y0, y1):
            row = ((y * 73856093) ^ seed) & 0xFF
            for x in range(x0, x1):
                state = (state * 1103515245 + 12345) & 0x7FFFFFFF
                n = ((state >> 16) & 0xFF) / 255.0 - 0.5
                v = (n * 0.6 + ((row / 255.0) - 0.5) * 0.4) * amount
                if mask is not None and mask(x + 0.5, y + 0.5) > -0.5:
                    continue
                p = self.px[y * self.w + x]
                p[0] += v
                p[1] += v
                p[2] += v

    def crop(self, x0, y0, w, h):
        out = Canvas(w, h)
        for y in range(h):
            for x in range(w):
                out.px[y * w + x] = list(self.px[(y0 + y) * self.w + x0 + x])
        return out

    def paste(self, other, x0, y0):
        for y in range(other.h):
            for x in range(other.w):
                if 0 <= x0 + x < self.w and 0 <= y0 + y < self.h:
                    self.px[(y0 + y) * self.w + x0 + x] = list(other.px[y * other.w + x])

    def rgb_rows(self):
        """Rows of (r, g, b) byte tuples, top to bottom."""
        rows = []
        for y in range(self.h):
            row = []
            for x in range(self.w):
                p = self.px[y * self.w + x]
                row.append(tuple(int(clamp(round(c), 0, 255)) for c in p))
            rows.append(row)
        return rows

    @staticmethod
    def from_rows(rows):
        c = Canvas(len(rows[0]), len(rows))
        for y, row in enumerate(rows):
            for x, p in enumerate(row):
                c.px[y * c.w + x] = list(map(float, p))
        return c
