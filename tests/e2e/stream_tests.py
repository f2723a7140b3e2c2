#!/usr/bin/env python3
"""End-to-end runs of the stream reading at its edges: data that is not whole
frames, where a resampled loop's seam falls, float samples out of the ordinary,
very short loops and a loop switched on as the data ends. The files are made at
run time.

    python3 stream_tests.py CASE
"""
import array
import math
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "generate"))

from format_tests import _fit, _sinad  # noqa: E402
from hostrun import DATA, check, main, read_png, run  # noqa: E402
from layout import strip  # noqa: E402

BLOCK = 4410
SAMPLES = BLOCK // 2
HEAD = "setup %d 65536\nui create\n" % BLOCK
FOLDER = os.path.join(DATA, "runs", "stream_files")


def _wave(name, rate, channels, bits, payload, tag=1, stated=None):
    """A wave file whose data chunk states `stated` bytes (default: the payload's)."""
    os.makedirs(FOLDER, exist_ok=True)
    path = os.path.join(FOLDER, name)
    align = channels * bits // 8
    fmt = struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, bits)
    size = len(payload) if stated is None else stated
    body = b"WAVE" + b"fmt " + struct.pack("<I", 16) + fmt + b"data" + struct.pack("<I", size) + payload
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(body)) + body)
    return path


def _sine(frequency, rate, frames, level=0.5):
    return [level * math.sin(2 * math.pi * frequency * n / rate) for n in range(frames)]


def _pcm(values, bits):
    scale = (1 << (bits - 1)) - 1
    out = bytearray()
    for v in values:
        out += int(round(v * scale)).to_bytes(bits // 8, "little", signed=True)
    return bytes(out)


def _samples(pcm):
    return array.array("h", pcm[:len(pcm) // 2 * 2])


def _blocks(y):
    return [y[i:i + SAMPLES] for i in range(0, len(y) - SAMPLES + 1, SAMPLES)]


def _start(r, index, samples=SAMPLES):
    """Where on the host's timeline channel index first delivered: the first sample
    of that period, counted from the run's first period."""
    first = min(p["period"] for p in r.periods)
    return (next(p["period"] for p in r.calls(index) if p["result"]) - first) * samples


def partial_frames():
    """Looped files whose data is not whole frames play every pass alike: a 48 kHz
    24-bit mono sine with a stray byte after its data keeps its quality in every
    block; a 48 kHz 16-bit stereo file cut 2 bytes into a frame keeps its left and
    right apart in every block; a 44.1 kHz 16-bit file with a stray byte delivers
    its samples over and over, in whole samples."""
    frames = 12000  # 250 periods of 1 kHz, 375 of 1.5 kHz
    mono24 = _pcm(_sine(1000, 48000, frames), 24) + b"\x7f"
    left, right = _sine(1000, 48000, frames), _sine(1500, 48000, frames)
    stereo = _pcm([v for pair in zip(left, right) for v in pair], 16)
    stereo = stereo + stereo[:2]  # the file ends 2 bytes into a frame its header states
    noise = bytes((n * 7919 + 13) % 251 for n in range(6002))
    r = run("partial_frames", HEAD + "\n".join([
        "open 1 %s" % _wave("mono24.wav", 48000, 1, 24, mono24, stated=len(mono24)),
        "open 2 %s" % _wave("mono16.wav", 44100, 1, 16, noise + b"\x55"),
        "open 3 %s" % _wave("cut.wav", 48000, 2, 16, stereo, stated=len(stereo) + 2),
        "click loop 1", "click loop 2", "click loop 3",
        "click play 1", "click play 2", "click play 3",
        "pull 40",
    ]) + "\n")
    check(not r.boxes(), "no error boxes: %s" % r.boxes())
    for number, frequency, least in ((1, 1000, 80), (3, 1000, 60), (4, 1500, 60)):
        blocks = _blocks(_samples(r.channel(number)))
        check(len(blocks) == 40, "channel %d delivered %d whole blocks" % (number, len(blocks)))
        # The first block holds the filter's start from silence.
        worst = min(range(1, 40), key=lambda b: _sinad(blocks[b], frequency, 44100))
        sinad = _sinad(blocks[worst], frequency, 44100)
        check(sinad >= least, "channel %d block %d: SINAD %.1f dB at %d Hz" % (number, worst, sinad, frequency))
    counts = [p["bytes"] for p in r.calls(1)]
    check(all(n % 2 == 0 for n in counts), "whole samples only: %s" % counts)
    played = r.channel(2)
    check(played == (noise * 80)[:len(played)], "the 44.1 kHz file's samples pass after pass")


def seam():
    """A looping 48 kHz leader whose pass is 10.9 blocks of 4410 bytes (2.9 of 16384):
    a synchronised stereo pair (48 kHz) read after it starts on the sample its output
    restarts on, with a whole block of silence and sound; a channel read before it
    (44.1 kHz) starts with the next block, never earlier. After five passes the leader's marker stands where
    its sound is."""
    frames = 26160  # 24034.5 samples at 44.1 kHz
    leader = _wave("leader.wav", 48000, 1, 16, bytes(frames * 2))
    dc = _wave("dc.wav", 44100, 1, 16, struct.pack("<h", 8000) * 44100)
    dc48 = _wave("dc48.wav", 48000, 2, 16, struct.pack("<hh", 8000, -8000) * 48000)
    seam_at = math.ceil(frames * 44100 / 48000)
    for block, periods in ((16384, 6), (BLOCK, 60)):
        samples = block // 2
        r = run("seam%d" % block, "setup %d 65536\nui create\n" % block + "\n".join([
            "open 2 %s" % leader, "open 1 %s" % dc, "open 3 %s" % dc48,
            "click loop 2", "click sync 2", "click play 2", "pull 1",
            "click sync 1", "click play 1", "click sync 3", "click play 3",
            "pull %d" % (periods - 1), "screenshot marker.png"]) + "\n")
        check(not r.boxes(), "no error boxes: %s" % r.boxes())
        origin = _start(r, 1, samples)
        later = (seam_at // samples + 1) * samples
        for number, index, want in ((3, 2, seam_at), (4, 3, seam_at), (1, 0, later)):
            y = _samples(r.channel(number))
            onset = _start(r, index, samples) + next(i for i, v in enumerate(y) if v) - origin
            check(onset == want, "block %d: channel %d starts at sample %d; the leader's seam is at %d" % (
                block, number, onset, seam_at))
            counts = [p["bytes"] for p in r.calls(index) if p["result"]]
            check(counts[0] == block, "block %d: channel %d starts with a whole block: %s" % (block, number, counts))
    delivered = sum(p["bytes"] for p in r.calls(1)) // 2
    passes = int(delivered * 48000 / 44100 / frames)
    since = delivered - math.ceil(passes * frames * 44100 / 48000)
    length = frames * 44100 // 48000 * 1000 // 44100
    x0, y0, width, _ = strip(1)["view"]
    want = width * (since * 1000 // 44100) / length
    shot = read_png(os.path.join(r.out, "marker.png"))
    found = [x for x in range(width) if shot[y0][x0 + x][:3] == (255, 0, 0)]
    check(passes == 5 and len(found) == 1 and abs(found[0] - want) <= 1.5,
          "the marker at %s, the sound at %.1f after %d passes" % (found, want, passes))


def float_edges():
    """A 48 kHz float file with infinities, huge values, samples beyond full scale,
    not-a-number and denormals plays exactly as the same file with those samples at
    full scale, full scale, full scale, silence and silence: no burst."""
    frames = 48000
    bad = _sine(1000, 48000, frames, 0.25)
    good = list(bad)
    for at, value, clean in ((5000, float("inf"), 1.0), (9000, -float("inf"), -1.0), (13000, 1e30, 1.0),
                             (17000, -3e38, -1.0), (21000, float("nan"), 0.0), (25000, 1e-39, 0.0)):
        bad[at], good[at] = value, clean
    for n in range(30000, 30480):  # a sine at 1.5 times full scale
        bad[n] = 1.5 * math.sin(2 * math.pi * n / 48)
        good[n] = max(-1.0, min(1.0, bad[n]))
    for n in range(40000, 44000):  # a fade's tail of denormals
        bad[n] = 1e-41 * (1 if n % 2 else -1)
        good[n] = 0.0
    r = run("float_edges", HEAD + "\n".join([
        "open 1 %s" % _wave("bad.wav", 48000, 1, 32, struct.pack("<%df" % frames, *bad), tag=3),
        "open 2 %s" % _wave("good.wav", 48000, 1, 32, struct.pack("<%df" % frames, *good), tag=3),
        "click play 1", "click play 2", "pull 22",
    ]) + "\n")
    check(not r.boxes(), "no error boxes: %s" % r.boxes())
    y, want = _samples(r.channel(1)), _samples(r.channel(2))
    check(len(y) == len(want) > 40000, "both played: %d and %d samples" % (len(y), len(want)))
    differ = [n for n in range(len(y)) if y[n] != want[n]]
    check(not differ, "%d samples differ from the clipped file's, first at %s: %s" % (
        len(differ), differ[:1], [y[n] for n in differ[:8]]))


def short_and_late_loops():
    """A one-frame 192 kHz file looped with 4 MiB blocks delivers whole blocks of its
    one value; a 48 kHz sine whose loop is switched on after its data ended in a
    block goes on as one unbroken sine."""
    block = 4 << 20
    one = _wave("one.wav", 192000, 1, 32, struct.pack("<f", 0.25), tag=3)
    r = run("short_loop", "setup %d 65536\nui create\n" % block + "\n".join([
        "open 1 %s" % one, "click loop 1", "click play 1", "pull 3"]) + "\n", timeout=280)
    check(not r.boxes(), "no error boxes: %s" % r.boxes())
    calls = [(p["result"], p["bytes"]) for p in r.calls(0)]
    check(calls == [(1, block)] * 3, "whole blocks: %s" % calls)
    y = _samples(r.channel(1))[1000:]
    check(min(y) == max(y) == 8192, "one value throughout: %d to %d" % (min(y), max(y)))

    frames = 48 * 229  # whole periods of 1 kHz; the data ends in the fifth block
    sine = _wave("late.wav", 48000, 1, 16, _pcm(_sine(1000, 48000, frames), 16))
    r = run("late_loop", HEAD + "\n".join([
        "open 1 %s" % sine, "click play 1", "pull 5", "click loop 1", "pull 6"]) + "\n")
    calls = [p["result"] for p in r.calls(0)]
    check(calls == [1] * 11, "played on through the switch: %s" % calls)
    y = _samples(r.channel(1))[SAMPLES:]
    amplitude, residuals = _fit(y, 1000, 44100)
    worst = max(range(len(residuals)), key=lambda n: abs(residuals[n]))
    check(abs(amplitude - 16384) < 16, "the sine's level: %.1f" % amplitude)
    check(abs(residuals[worst]) <= 8, "sample %d is %.1f steps off the sine" % (worst + SAMPLES, residuals[worst]))


if __name__ == "__main__":
    main(globals(), __doc__)
