#!/usr/bin/env python3
"""End-to-end runs of files in other rates, depths and encodings: played through
the reference host, they reach it as 16-bit 44.1 kHz blocks of the same sound.

    python3 format_tests.py CASE      (CASE: one of the functions below)
"""
import math
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from hostrun import check, data, main, raw, run  # noqa: E402

BLOCK = 4410
HEAD = "setup %d 65536\nui create\n" % BLOCK


def _samples(pcm):
    return struct.unpack("<%dh" % (len(pcm) // 2), pcm)


def _fit(y, frequency, rate):
    """The best a sin + b cos + c at a known frequency: (amplitude, residuals)."""
    m = [[0.0] * 4 for _ in range(3)]
    w = 2 * math.pi * frequency / rate
    for n, v in enumerate(y):
        basis = (math.sin(w * n), math.cos(w * n), 1.0)
        for i in range(3):
            for j in range(3):
                m[i][j] += basis[i] * basis[j]
            m[i][3] += basis[i] * v
    for i in range(3):
        for k in range(i + 1, 3):
            f = m[k][i] / m[i][i]
            for j in range(i, 4):
                m[k][j] -= f * m[i][j]
    c = [0.0] * 3
    for i in (2, 1, 0):
        c[i] = (m[i][3] - sum(m[i][j] * c[j] for j in range(i + 1, 3))) / m[i][i]
    residuals = [v - (c[0] * math.sin(w * n) + c[1] * math.cos(w * n) + c[2]) for n, v in enumerate(y)]
    return math.hypot(c[0], c[1]), residuals


def _sinad(y, frequency, rate):
    """Signal to noise and distortion in dB after the best sine fit."""
    amplitude, residuals = _fit(y, frequency, rate)
    noise = sum(e * e for e in residuals) / len(residuals)
    return 10 * math.log10(amplitude * amplitude / 2 / max(noise, 1e-12))


def _whole_blocks(r, index, expected_samples):
    """Every call of channel index delivered a whole block until the data ended, then
    the rest in at most two blocks (the outputs whose filter reaches past the end
    wait for one more read, in case the loop is switched on), then nothing; the
    blocks add up to the file's duration within one block."""
    calls = [(p["result"], p["bytes"]) for p in r.calls(index)]
    played = [b for ok, b in calls if ok]
    check(len(played) > 2 and all(b == BLOCK for b in played[:-2]) and 0 < played[-2] < BLOCK
          and 0 < played[-1] <= BLOCK, "channel index %d: whole blocks until the end: %s" % (index, calls))
    check(all(not ok for ok, _ in calls[len(played):]), "nothing after the end: %s" % calls)
    delivered = sum(played) // 2
    check(abs(delivered - expected_samples) <= BLOCK // 2,
          "channel index %d delivered %d samples for %d" % (index, delivered, expected_samples))


def stereo_48k_24bit():
    """A 48 kHz 24-bit stereo file plays in channels 1 and 2 as whole 44.1 kHz blocks
    for its two seconds, each half its own sine at SINAD >= 85 dB; the properties
    dialog shows the file's own format."""
    r = run("stereo_48k_24bit", HEAD + "open 1 %s\nclick props 1\nclick play 1\npull 45\n" % data("stereo48k24.wav"))
    check(not r.boxes(), "no error boxes: %s" % r.boxes())
    for index in (0, 1):
        _whole_blocks(r, index, 88200)
    skip = 2205  # the filter's start and end
    for number, frequency in ((1, 1000), (2, 1500)):
        y = _samples(r.channel(number))[skip:-skip]
        sinad = _sinad(y, frequency, 44100)
        check(sinad >= 85, "channel %d: SINAD %.1f dB at %d Hz" % (number, sinad, frequency))
    dialog = r.of_type("dialog", title="Wavefile Properties")
    want = {"1010": "PCM", "1011": "2", "1006": "48000", "1008": "24", "1023": "Total runtime is 00:00:02 ..."}
    check(len(dialog) == 1 and all(dialog[0].get(k) == v for k, v in want.items()),
          "the file's own format in its properties: %s" % dialog)


def mono_22k_8bit():
    """A 22.05 kHz 8-bit mono file plays as 44.1 kHz blocks for its two seconds and
    keeps the quality of its own samples (SINAD within 0.5 dB of the file's)."""
    r = run("mono_22k_8bit", HEAD + "open 1 %s\nclick play 1\npull 45\n" % data("mono22k8.wav"))
    check(not r.boxes(), "no error boxes: %s" % r.boxes())
    _whole_blocks(r, 0, 88200)
    source = _sinad(_samples(raw("mono22k8.raw"))[1102:-1102], 1000, 22050)
    played = _sinad(_samples(r.channel(1))[2205:-2205], 1000, 44100)
    check(played >= source - 0.5, "SINAD %.2f dB played, %.2f dB in the file" % (played, source))


def float_clips():
    """A float file whose sine goes to 1.5 times full scale plays clipped at the
    16-bit limits, every sample on the side of its source, never wrapped."""
    r = run("float_clips", HEAD + "open 1 %s\nclick play 1\npull 12\n" % data("float_loud.wav"))
    source = raw("float_loud.raw")
    values = struct.unpack("<%df" % (len(source) // 4), source)
    check(max(values) > 1.2 and min(values) < -1.2, "sox wrote samples beyond full scale")
    want = [max(-32768, min(32767, int(math.floor(v * 32768 + 0.5)) if v >= 0 else -int(math.floor(0.5 - v * 32768))))
            for v in values]
    got = list(_samples(r.channel(1)))
    check(got == want, "clipped samples as the file's, %d of %d differ" % (
        sum(1 for a, b in zip(got, want) if a != b) + abs(len(got) - len(want)), len(want)))


def loop_seam():
    """A looped 48 kHz file of exactly 250 periods plays as one unbroken sine: no
    sample across its six restarts leaves the best sine fit by more than 8 steps."""
    r = run("loop_seam", HEAD + "open 1 %s\nclick loop 1\nclick play 1\npull 36\n" % data("loop48k.wav"))
    check(not r.boxes(), "no error boxes: %s" % r.boxes())
    calls = [(p["result"], p["bytes"]) for p in r.calls(0)]
    check(calls == [(1, BLOCK)] * 36, "whole blocks through every restart: %s" % calls)
    y = _samples(r.channel(1))[2205:]
    amplitude, residuals = _fit(y, 1000, 44100)
    worst = max(range(len(residuals)), key=lambda n: abs(residuals[n]))
    check(abs(amplitude - 16384) < 16, "the sine's level: %.1f" % amplitude)
    check(abs(residuals[worst]) <= 8, "sample %d is %.1f steps off the sine" % (worst + 2205, residuals[worst]))


if __name__ == "__main__":
    main(globals(), __doc__)
