#!/usr/bin/env python3
"""End-to-end runs with files of gigabytes, long paths and replaced files: sparse
wave files (a header, a few written stretches, holes between them) past 2 and
4 GiB, RF64, paths of the longest length the system opens, and a picture cache
beside a file that another one replaced.

    python3 large_tests.py CASE
"""
import os
import shutil
import struct
import sys
import wave

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "generate"))

from hostrun import DATA, check, main, read_png, run  # noqa: E402
from layout import strip  # noqa: E402

RATE = 44100
FRAME = 4  # 16-bit stereo
BLOCK = 441000  # five seconds of one channel per period: a few thousand periods play a file through
RIFF_LIMIT = 0xFFFFFFFF  # the largest RIFF size a take reaches
PICTURE_WIDTH = 315


def _folder(name):
    folder = os.path.join(DATA, "runs", name + "_files")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def _stretch(first, count, sign):
    """count frames from frame `first`: left and right halves of a pattern that
    differs at every frame (and from the right half), all far from silence."""
    out = bytearray()
    for i in range(first, first + count):
        left = 16000 + (i * 37) % 16000
        out += struct.pack("<hh", sign * left, -sign * (16000 + (i * 53) % 16000))
    return bytes(out)


class SparseWave:
    """A 44.1 kHz 16-bit stereo wave file of `frames` frames whose first and last
    second and one frame at each picture column from `marked` on hold samples;
    everything else is a hole (silence) that takes no disk space."""

    def __init__(self, path, frames, rf64=False, trailer=b""):
        self.path, self.frames = path, frames
        self.stretches = {0: _stretch(0, RATE, 1), frames - RATE: _stretch(frames - RATE, RATE, -1)}
        q = frames // PICTURE_WIDTH
        self.marked = range(160, PICTURE_WIDTH)
        for x in self.marked:
            self.stretches.setdefault(x * (q + 1), struct.pack("<hh", 30000, -30000))
        size = frames * FRAME
        fmt = struct.pack("<4sIHHIIHH", b"fmt ", 16, 1, 2, RATE, RATE * FRAME, FRAME, 16)
        if rf64:
            riff = 4 + 36 + len(fmt) + 8 + size + len(trailer)
            ds64 = struct.pack("<4sIQQQI", b"ds64", 28, riff, size, frames, 0)
            head = struct.pack("<4sI4s", b"RF64", 0xFFFFFFFF, b"WAVE") + ds64 + fmt + struct.pack("<4sI", b"data", 0xFFFFFFFF)
        else:
            head = struct.pack("<4sI4s", b"RIFF", 36 + size + len(trailer), b"WAVE") + fmt + struct.pack("<4sI", b"data", size)
        self.start = len(head)
        with open(path, "wb") as f:
            f.write(head)
            for frame, samples in self.stretches.items():
                f.seek(self.start + frame * FRAME)
                f.write(samples)
            f.seek(self.start + size)
            f.write(trailer)
            f.truncate()

    def half(self, index, first, count):
        """count samples of the left (0) or right (1) half from frame `first`."""
        out = bytearray(count * 2)
        for at, samples in self.stretches.items():
            n = len(samples) // FRAME
            lo, hi = max(at, first), min(at + n, first + count)
            for frame in range(lo, hi):
                k = (frame - at) * FRAME + index * 2
                out[(frame - first) * 2:(frame - first) * 2 + 2] = samples[k:k + 2]
        return bytes(out)

    def remove(self):
        for path in (self.path, os.path.splitext(self.path)[0] + ".owi"):
            if os.path.exists(path):
                os.remove(path)


def _length_text(frames):
    """The properties dialog's playing time: data bytes over whole bytes per millisecond."""
    seconds = frames * FRAME // (RATE * FRAME // 1000) // 1000
    return "%02d:%02d:%02d" % (seconds // 3600, seconds // 60 % 60, seconds % 60)


def _play_through(name, wave_file):
    """Opens the file into channels 1-2, looped, and checks its length, its picture
    (beyond 2 GiB too), its first blocks, its true end and the restart at its start."""
    length_text = _length_text(wave_file.frames)
    per_channel = wave_file.frames * 2
    full, rest = divmod(per_channel, BLOCK)
    check(rest and full > 4, "the file ends inside a block")
    r = run(name, "setup %d 65536\nui create\n" % BLOCK + "\n".join([
        "open 1 %s" % wave_file.path, "screenshot picture.png", "click props 1", "click loop 1", "click play 1",
        "pull 2", "pull %d discard" % (full - 3), "pull 4",
    ]) + "\n", timeout=280)
    check(not r.boxes(), "no error boxes: %s" % r.boxes())
    opened = [(e["channel"], e["partner"]) for e in r.of_type("event", code=6)]
    check(opened == [(1, 2)], "the pair 1-2 opened: %s\n%s" % (opened, r.describe()))
    dialog = r.of_type("dialog", title="Wavefile Properties")
    check(len(dialog) == 1 and dialog[0].get("1023") == "Total runtime is %s ..." % length_text,
          "the properties show %s: %s" % (length_text, dialog))

    # Full blocks to the end, the rest of the data in one short block, then the start again.
    for index in (0, 1):
        calls = [(p["result"], p["bytes"]) for p in r.calls(index)]
        want = [(1, BLOCK)] * full + [(1, rest)] + [(1, BLOCK)] * 2
        check(calls == want, "channel index %d: %d calls, ending %s" % (index, len(calls), calls[-5:]))
    frames_per_block = BLOCK // 2
    for number in (1, 2):
        got = r.channel(number)
        want = (wave_file.half(number - 1, 0, 2 * frames_per_block) +
                wave_file.half(number - 1, (full - 1) * frames_per_block, frames_per_block + rest // 2) +
                wave_file.half(number - 1, 0, 2 * frames_per_block))
        check(len(got) == len(want), "channel %d delivered %d bytes for %d" % (number, len(got), len(want)))
        differ = next((i for i in range(0, len(want), 2) if got[i:i + 2] != want[i:i + 2]), None)
        check(differ is None, "channel %d differs from the file first at byte %s" % (number, differ))

    # Column x shows frame x * (q + 1): the marked columns hold full-scale frames, the
    # others (holes) silence; the left half is drawn red around the upper centre line.
    shot = read_png(os.path.join(r.out, "picture.png"))
    x0, y0, _, _ = strip(0)["view"]

    def red(x):
        return any(shot[y][x0 + x][:3] == (255, 0, 0) for y in range(y0 + 2, y0 + 12))
    drawn = [x for x in range(3, PICTURE_WIDTH) if red(x)]
    check(drawn == list(wave_file.marked), "the picture's bars stand at columns %s..%s only: %s" % (
        wave_file.marked[0], wave_file.marked[-1], drawn[:12]))


def riff_beyond_2gib():
    """A 2.5 GiB wave file and one at the largest size a take reaches (its RIFF size
    just under 4 GiB) open, show their length and picture, play their first blocks,
    play through to their true end and loop there."""
    folder = _folder("riff_beyond_2gib")
    try:
        for name, frames in (("2_5gib", (5 << 29) // FRAME), ("take_limit", (RIFF_LIMIT - 36) // FRAME)):
            wave_file = SparseWave(os.path.join(folder, name + ".wav"), frames)
            try:
                _play_through("riff_" + name, wave_file)
            finally:
                wave_file.remove()
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def rf64_beyond_4gib():
    """An RF64 file of 4.5 GiB of data, followed by a chunk that is not audio, plays
    as its 'ds64' chunk says: its length, its picture, its first blocks, and its
    true end (not the chunk after it) before it loops."""
    folder = _folder("rf64_beyond_4gib")
    try:
        trailer = struct.pack("<4sI", b"LIST", 4000) + bytes([0x55] * 4000)
        wave_file = SparseWave(os.path.join(folder, "long.wav"), (9 << 29) // FRAME, rf64=True, trailer=trailer)
        try:
            _play_through("rf64", wave_file)
        finally:
            wave_file.remove()
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def _mono_wave(path, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(samples)


def _long_path(folder, length, name):
    """A path of `length` characters as the system sees it ("Z:" and the Linux path),
    in folders of 100 characters, ending in a file named name (padded)."""
    path = folder
    while length - 2 - len(path) > 101 + len(name) + 20:
        path = os.path.join(path, "d" * 100)
    os.makedirs(path, exist_ok=True)
    pad = length - 2 - len(path) - 1 - len(name)
    return os.path.join(path, "n" * pad + name)


def long_paths():
    """Paths of 259 characters (the most the system opens) load by the open dialog
    and by a drop, play, show their properties and get their picture cache beside
    them; a take recorded to one lands in the next track; a dropped path of 300
    characters is refused by a box that names it."""
    folder = _folder("long_paths")
    samples = b"".join(_stretch(0, 4410, 1)[i:i + 2] for i in range(0, 4410 * FRAME, FRAME))
    opened, dropped = _long_path(folder, 259, "a.wav"), _long_path(os.path.join(folder, "b"), 259, "b.wav")
    too_long = _long_path(os.path.join(folder, "c"), 300, "c.wav")
    take = _long_path(os.path.join(folder, "t"), 259, "t.wav")
    for path in (opened, dropped, too_long):
        _mono_wave(path, samples)
    check(len("Z:" + opened) == 259 and len("Z:" + dropped) == 259, "the paths have 259 characters")
    r = run("long_paths", "setup 8820 65536\nui create\nfeed sequence 1\n" + "\n".join([
        "open 1 %s" % opened, "drop 2 %s" % dropped, "drop 3 %s" % too_long, "click props 1",
        "click prerec", "prerec browse %s" % take, "click record", "wait 500", "click stoprec",
        "click play 1", "click play 2", "pull 1",
    ]) + "\n")
    events = [(e["channel"], e["partner"]) for e in r.of_type("event", code=6)]
    check(events == [(1, 0), (2, 0), (3, 0)], "channels 1, 2 and the take's 3 opened: %s\n%s" % (events, r.describe()))
    takes = r.of_type("take")
    check(len(takes) == 1 and takes[0]["path"][2:].replace("\\", "/") == take and takes[0].get("channel") == 3,
          "the take went to the long path and into track 3: %s" % takes)
    check(os.path.getsize(take) > 44, "the take holds samples")
    check(r.channel(1) == samples and r.channel(2) == samples, "both play their file")
    dialog = r.of_type("dialog", title="Wavefile Properties")
    check(len(dialog) == 1 and dialog[0].get("1005") == os.path.basename(opened), "the properties name it: %s" % dialog)
    for path in (opened, dropped, take):
        check(os.path.exists(path[:-3] + "owi"), "the picture cache beside %s" % path)
    boxes = r.boxes()
    check(len(boxes) == 1 and os.path.basename(too_long) in boxes[0] and "300 characters" in boxes[0],
          "one box naming the 300-character path: %s" % boxes)
    shutil.rmtree(folder, ignore_errors=True)


def replaced_file():
    """A wave file replaced by another of the same format and size whose time stamp
    is older than the picture cache shows its own picture, not the cached one."""
    folder = _folder("replaced_file")
    path, other = os.path.join(folder, "take.wav"), os.path.join(folder, "other.wav")
    _mono_wave(path, struct.pack("<h", 20000) * RATE)
    _mono_wave(other, bytes(2 * RATE))  # silence
    os.utime(other, (1e9, 1e9))
    x0, y0, w, _ = strip(0)["view"]

    def bars(name):
        shot = read_png(os.path.join(DATA, "runs", name, "picture.png"))
        return sum(1 for x in range(3, w) if any(shot[y][x0 + x][:3] == (255, 0, 0) for y in range(y0 + 2, y0 + 11)))
    run("replaced_first", "setup 8820 65536\nui create\nopen 1 %s\nscreenshot picture.png\n" % path)
    check(bars("replaced_first") == w - 3, "the loud file draws a bar in every column")
    check(os.path.getmtime(path[:-3] + "owi") > 1e9, "its cache was written")
    shutil.copy2(other, path)  # cp -p: the older time stamp comes along
    run("replaced_again", "setup 8820 65536\nui create\nopen 1 %s\nscreenshot picture.png\n" % path)
    check(bars("replaced_again") == 0, "the silent file replacing it draws no bars")
    shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main(globals(), __doc__)
