#!/usr/bin/env python3
"""End-to-end runs of the channel engine as a user meets it in the reference host:
stereo pairs in synchronised starts, a synchronised start the host refuses, and
the play-position marker after many loops.

    python3 engine_tests.py CASE
"""
import os
import sys
import wave

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "generate"))

from hostrun import DATA, check, data, main, raw, read_png, run  # noqa: E402
from layout import strip  # noqa: E402

BLOCK = 4410


def sync_pair():
    """Sync switched on in channel 2 while it is empty, then a stereo file opened
    into channel 1 (its right half lands in channel 2): the pair acts on channel
    1's switches. A synchronised start of channel 3 neither starts the right half
    alone while channel 1 is paused, nor waits on the pair while it plays."""
    r = run("sync_pair", "setup %d 65536\nui create\n" % BLOCK + "\n".join([
        "click sync 2",
        "open 1 %s" % data("stereo.wav"),
        "open 3 %s" % data("mono.wav"),
        "click sync 3",
        "click play 1",      # no sync: the pair plays on its own
        "pull 3",
        "click pause 1",
        "click play 3",      # a synchronised start of channel 3 alone
        "pull 3",
        "click pause 1",     # the pair plays on
        "click play 3",      # stop
        "click play 3",      # no synchronised channel plays: channel 3 starts at once
        "pull 3",
    ]) + "\n")
    calls = {i: [(p["result"], p["bytes"]) for p in r.calls(i)] for i in range(4)}
    pair = [(1, BLOCK)] * 3 + [(1, 0)] * 3 + [(1, BLOCK)] * 3
    check(calls[0] == pair and calls[1] == pair, "both halves pause with channel 1: %s / %s" % (calls[0], calls[1]))
    check(calls[2] == [(0, 0)] * 3 + [(1, BLOCK)] * 6, "channel 3 plays whenever started: %s" % calls[2])
    check(r.channel(2) == raw("stereo.right.raw")[:6 * BLOCK], "the right half delivered its 6 blocks once each")
    check(len(r.of_type("event", code=2)) == 3, "three starts: %s" % r.of_type("event", code=2))


def _silent_wave(path, channels, frames):
    with wave.open(path, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(44100)
        w.writeframes(bytes(frames * channels * 2))


def _markers(shot, c):
    """Columns of channel index c's picture whose top row is the marker's red."""
    x0, y0, w, _ = strip(c)["view"]
    return [x for x in range(w) if shot[y0][x0 + x][:3] == (255, 0, 0)]


def marker_loops():
    """Two-second silent files loop about fifty times in blocks of 4096 bytes (not
    a whole number of milliseconds): the markers of the mono channel and of both
    halves of the stereo pair stand where the delivered sound is."""
    frames, block, periods = 88200, 4096, 2222
    folder = os.path.join(DATA, "runs", "marker_files")
    os.makedirs(folder, exist_ok=True)
    mono, stereo = os.path.join(folder, "silent1.wav"), os.path.join(folder, "silent2.wav")
    _silent_wave(mono, 1, frames)
    _silent_wave(stereo, 2, frames)
    r = run("marker_loops", "setup %d 65536\nui create\n" % block + "\n".join([
        "open 1 %s" % mono, "open 3 %s" % stereo,
        "click loop 1", "click loop 3", "click play 1", "click play 3",
        "pull %d" % periods, "screenshot markers.png",
    ]) + "\n", timeout=280)
    delivered = sum(p["bytes"] for p in r.calls(0)) // 2
    check(delivered == sum(p["bytes"] for p in r.calls(3)) // 2 and delivered > 50 * frames,
          "both files played %d samples, over 50 loops" % delivered)
    position = delivered % frames
    want = 315 * position / frames
    check(10 < want < 305, "the run ends away from a wrap (%.1f)" % want)
    shot = read_png(os.path.join(r.out, "markers.png"))
    for c in (0, 2, 3):
        found = _markers(shot, c)
        check(len(found) == 1 and abs(found[0] - want) <= 1.5,
              "channel %d's marker at %s, the sound at %.1f" % (c + 1, found, want))


def refused_sync_start():
    """The host refusing a synchronised start stops all four channels: the paused
    synchronised channel and the channel playing without sync as well. Each shows
    a stopped play switch and, started again, plays from the start of its file."""
    from imagefiles import read_bmp
    from layout import BITMAPS
    r = run("refused_sync_start", "setup %d 65536\nui create\n" % BLOCK + "\n".join([
        "open 1 %s" % data("mono2.wav"),
        "open 2 %s" % data("mono.wav"),
        "open 3 %s" % data("stereo.wav"),
        "click play 2",      # no sync
        "click sync 1",
        "click play 1",      # channel 1 alone in a synchronised start
        "pull 2",
        "click pause 1",
        "click sync 3",
        "policy refuse 2",
        "click play 3",      # would start channel 1 and the pair 3-4: refused
        "pull 2",
        "screenshot refused.png",
        "policy accept",
        "click play 2",
        "click play 1",      # a synchronised start of 1 and 3-4
        "pull 2",
    ]) + "\n")
    answers = [e["answer"] for e in r.of_type("event", code=2)]
    check(answers == [1, 1, 0, 1, 1], "five starts, the third refused: %s" % answers)
    boxes = r.boxes()
    check(len(boxes) == 1 and "Error 34:" in boxes[0], "one box for error 34: %s" % boxes)
    calls = {i: [(p["result"], p["bytes"]) for p in r.calls(i)] for i in range(4)}
    stopped = [(0, 0)] * 2
    check(calls[0] == [(1, BLOCK)] * 2 + stopped + [(1, BLOCK)] * 2, "channel 1: %s" % calls[0])
    check(calls[1] == [(1, BLOCK)] * 2 + stopped + [(1, BLOCK)] * 2, "channel 2: %s" % calls[1])
    for i in (2, 3):
        check(calls[i] == stopped * 2 + [(1, BLOCK)] * 2, "channel %d: %s" % (i + 1, calls[i]))
    with wave.open(data("mono2.wav"), "rb") as w:
        mono2 = w.readframes(2 * BLOCK // 2)
    check(r.channel(1) == mono2 * 2, "channel 1 began its file again after the refusal")
    check(r.channel(2) == raw("mono.raw")[:2 * BLOCK] * 2, "channel 2 began its file again after the refusal")
    check(r.channel(3) == raw("stereo.left.raw")[:2 * BLOCK], "channel 3 played its first blocks")
    # The play switches of channels 1 and 2 show the skin's enabled, off frame.
    shot = read_png(os.path.join(r.out, "refused.png"))
    skin = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "skin")
    frames = read_bmp(os.path.join(skin, BITMAPS[124][0]))[0]
    for c in (0, 1):
        x0, y0, w, h = strip(c)["play"]
        wrong = sum(1 for y in range(h) for x in range(w) if shot[y0 + y][x0 + x][:3] != tuple(frames[y][x]))
        check(wrong == 0, "channel %d's play switch shows stopped (%d pixels differ)" % (c + 1, wrong))


if __name__ == "__main__":
    main(globals(), __doc__)
