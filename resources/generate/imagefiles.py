"""BMP and PNG files and a palette quantiser, standard library only.

Images are lists of rows of (r, g, b) byte tuples, top row first.
"""
import struct
import zlib


def _bmp(width, height, bits, palette, rows_bytes):
    stride = (width * bits + 31) // 32 * 4
    body = bytearray()
    for row in reversed(rows_bytes):       # bottom-up
        body += row + bytes(stride - len(row))
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    offset = 14 + 40 + len(pal)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(body),
                       2835, 2835, len(palette), len(palette))
    head = struct.pack("<2sIHHI", b"BM", offset + len(body), 0, 0, offset)
    return head + info + pal + bytes(body)


def write_bmp24(path, rows):
    data = [bytes(c for r, g, b in row for c in (b, g, r)) for row in rows]
    with open(path, "wb") as f:
        f.write(_bmp(len(rows[0]), len(rows), 24, [], data))


def write_bmp8(path, indexed_rows, palette):
    palette = list(palette) + [(0, 0, 0)] * (256 - len(palette))
    data = [bytes(row) for row in indexed_rows]
    with open(path, "wb") as f:
        f.write(_bmp(len(indexed_rows[0]), len(indexed_rows), 8, palette, data))


def write_bmp1(path, bit_rows):
    """bit_rows: rows of 0 (black) / 1 (white)."""
    data = []
    for row in bit_rows:
        out = bytearray((len(row) + 7) // 8)
        for x, bit in enumerate(row):
            if bit:
                out[x // 8] |= 0x80 >> (x % 8)
        data.append(bytes(out))
    with open(path, "wb") as f:
        f.write(_bmp(len(bit_rows[0]), len(bit_rows), 1, [(0, 0, 0), (255, 255, 255)], data))


def read_bmp(path):
    """Reads an uncompressed 1, 8 or 24-bit BMP into RGB rows; also returns the bit depth."""
    data = open(path, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    size, width, height, planes, bits = struct.unpack_from("<IiiHH", data, 14)
    colours = struct.unpack_from("<I", data, 46)[0] or (1 << bits if bits <= 8 else 0)
    palette = [struct.unpack_from("<BBB", data, 14 + size + 4 * i)[::-1] for i in range(colours)]
    stride = (width * bits + 31) // 32 * 4
    rows = []
    for y in range(abs(height)):
        src = offset + (abs(height) - 1 - y if height > 0 else y) * stride
        line = data[src:src + stride]
        if bits == 24:
            row = [(line[3 * x + 2], line[3 * x + 1], line[3 * x]) for x in range(width)]
        elif bits == 8:
            row = [palette[line[x]] for x in range(width)]
        elif bits == 1:
            row = [palette[(line[x // 8] >> (7 - x % 8)) & 1] for x in range(width)]
        else:
            raise ValueError("unsupported depth %d" % bits)
        rows.append(row)
    return rows, bits


def write_png(path, rows):
    raw = b"".join(b"\x00" + bytes(c for p in row for c in p) for row in rows)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    head = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(raw, 9))
                + chunk(b"IEND", b""))


def quantise(rows, colours=256, keep=()):
    """Median-cut palette of at most `colours` entries (the colours in `keep`
    are always entries, exactly), and the rows as palette indexes."""
    hist = {}
    for row in rows:
        for p in row:
            hist[p] = hist.get(p, 0) + 1
    keep = [k for k in keep]
    for k in keep:
        hist.pop(k, None)
    def scored(box):
        # The channel with the widest range, weighted by the box's population.
        if len(box) < 2:
            return (-1, 0, box)
        weight = sum(n for _, n in box) ** 0.5
        ranges = [max(c[ch] for c, _ in box) - min(c[ch] for c, _ in box) for ch in range(3)]
        ch = max(range(3), key=lambda i: ranges[i])
        return (ranges[ch] * weight, ch, box)

    boxes = [scored(list(hist.items()))]
    budget = colours - len(keep)
    while len(boxes) < budget:
        best = max(range(len(boxes)), key=lambda i: boxes[i][0])
        score, ch, box = boxes[best]
        if score <= 0:
            break
        boxes.pop(best)
        box = sorted(box, key=lambda item: item[0][ch])
        total = sum(n for _, n in box)
        run, cut = 0, 1
        for j, (_, n) in enumerate(box):
            run += n
            if run >= total / 2:
                cut = max(1, min(len(box) - 1, j + 1))
                break
        boxes += [scored(box[:cut]), scored(box[cut:])]
    boxes = [b for _, _, b in boxes]
    palette = list(keep)
    for box in boxes:
        if not box:
            continue
        total = sum(n for _, n in box)
        palette.append(tuple(int(round(sum(c[ch] * n for c, n in box) / total)) for ch in range(3)))
    lookup = {}

    def nearest(p):
        i = lookup.get(p)
        if i is None:
            best = 1 << 30
            for j, q in enumerate(palette):
                d = (p[0] - q[0]) ** 2 * 3 + (p[1] - q[1]) ** 2 * 4 + (p[2] - q[2]) ** 2 * 2
                if d < best:
                    best, i = d, j
            lookup[p] = i
        return i
    return palette, [[nearest(p) for p in row] for row in rows]
