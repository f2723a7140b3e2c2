"""Runs session scripts in the reference host under Wine and reads what they left
(the end-to-end tests in e2e_tests.py use it). CTest sets SONDREL_BIN,
SONDREL_TESTDATA and SONDREL_SOURCE; the defaults fit a run from the source tree.
"""
import json
import os
import shutil
import struct
import subprocess
import sys
import time
import wave
import zlib

SOURCE = os.environ.get("SONDREL_SOURCE") or os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
BIN = os.environ.get("SONDREL_BIN") or os.path.join(SOURCE, "build", "x86_64", "bin")
DATA = os.path.join(os.environ.get("SONDREL_TESTDATA") or os.path.join(SOURCE, "build", "x86_64", "testdata"), "e2e")
HANDLE = 0x1234  # the handle the host gives the plug-in unless a script says otherwise


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


class Run:
    """One finished host run: exit status, output and the files in its folder."""

    def __init__(self, out, proc, seconds):
        self.out = out
        self.rc = proc.returncode
        self.stdout = proc.stdout
        self.stderr = proc.stderr
        self.seconds = seconds
        self.events = read_jsonl(os.path.join(out, "events.jsonl"))
        self.periods = read_jsonl(os.path.join(out, "periods.jsonl"))

    def of_type(self, kind, **fields):
        return [e for e in self.events if e.get("type") == kind and all(e.get(k) == v for k, v in fields.items())]

    def boxes(self):
        return [e["text"] for e in self.of_type("messagebox")]

    def channel(self, number):
        """The bytes channel `number` (1..4) delivered, from its wave file."""
        with wave.open(os.path.join(self.out, "ch%d.wav" % number), "rb") as w:
            check((w.getnchannels(), w.getsampwidth(), w.getframerate()) == (1, 2, 44100),
                  "ch%d.wav is not 16-bit mono 44100 Hz" % number)
            return w.readframes(w.getnframes())

    def calls(self, channel_index):
        return [p for p in self.periods if p["channel"] == channel_index]

    def describe(self):
        return "exit %d after %.1f s\nstdout:\n%s\nstderr:\n%s\nevents:\n%s" % (
            self.rc, self.seconds, self.stdout, self.stderr, "\n".join(json.dumps(e) for e in self.events))


def read_jsonl(path):
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8") as f:
        return [json.loads(line) for line in f if line.strip()]


def run(name, script, expect_rc=0, timeout=150, options=(), host=None, env=None):
    """Writes the script beside its output folder, runs it (with more host
    options, if given; in another copy of the host, if given; with more
    environment variables, if given) and checks the exit status."""
    out = os.path.join(DATA, "runs", name)
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(os.path.dirname(out), exist_ok=True)
    script_path = out + ".session"
    with open(script_path, "w") as f:
        f.write(script)
    command = [os.path.join(SOURCE, "scripts", "wine-run.sh"), host or os.path.join(BIN, "orvan-host.exe"),
               "run", script_path, "--out", out] + list(options)
    start = time.time()
    proc = subprocess.run(command, capture_output=True, text=True, timeout=timeout, stdin=subprocess.DEVNULL,
                          env=dict(os.environ, **env) if env else None)
    result = Run(out, proc, time.time() - start)
    check(result.rc == expect_rc, "%s: expected exit %d\n%s" % (name, expect_rc, result.describe()))
    return result


def binary(name):
    return os.path.join(BIN, name)


def data(name):
    return os.path.join(DATA, name)


def raw(name):
    with open(data(name), "rb") as f:
        return f.read()


def read_png(path):
    """Decodes an 8-bit RGB or RGBA PNG (any filter) into rows of (r, g, b, a)."""
    blob = open(path, "rb").read()
    check(blob[:8] == b"\x89PNG\r\n\x1a\n", "%s is not a PNG file" % path)
    pos, idat, header = 8, b"", None
    while pos < len(blob):
        length, kind = struct.unpack_from(">I4s", blob, pos)
        body = blob[pos + 8:pos + 8 + length]
        crc = struct.unpack_from(">I", blob, pos + 8 + length)[0]
        check(zlib.crc32(kind + body) == crc, "bad CRC in the %s chunk of %s" % (kind, path))
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour = header[:4]
    check(depth == 8 and colour in (2, 6), "unexpected PNG format %s" % (header,))
    n = 4 if colour == 6 else 3
    raw_bytes = zlib.decompress(idat)
    stride = width * n
    check(len(raw_bytes) == height * (stride + 1), "PNG data of the wrong size")
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw_bytes[y * (stride + 1)]
        line = bytearray(raw_bytes[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - n] if i >= n else 0
            b = previous[i]
            c = previous[i - n] if i >= n else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[x * n:x * n + n]) + ((255,) if n == 3 else ()) for x in range(width)])
        previous = line
    return rows


def main(cases, doc):
    """Runs the case named on the command line from a test file's functions."""
    case = sys.argv[1] if len(sys.argv) == 2 else ""
    test = cases.get(case)
    if not callable(test) or case.startswith("_"):
        sys.exit(doc)
    started = time.time()
    try:
        test()
    except Failure as failure:
        print("FAILED %s: %s" % (case, failure))
        sys.exit(1)
    print("passed %s in %.1f s" % (case, time.time() - started))
