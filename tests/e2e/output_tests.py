#!/usr/bin/env python3
"""The host as a player: what it sends to the wave output device, recorded from
the test environment's output sink (its monitor, SONDREL_SPEAKERS) and compared
with the mix of what the channels delivered.

    python3 output_tests.py CASE      (CASE: one of the functions below)
"""
import array
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from hostrun import BIN, DATA, SOURCE, Run, check, data, main, raw, run  # noqa: E402

BLOCK = 4410
FRAMES = BLOCK // 2


class Speakers:
    """parec on the output sink's monitor, from before the host starts until stop()."""

    def __init__(self, name):
        check(os.environ.get("SONDREL_SPEAKERS") and os.environ.get("PULSE_SERVER"),
              "the test environment has no private output sink (SONDREL_SPEAKERS)")
        self.path = os.path.join(DATA, "runs", name + ".speakers.raw")
        os.makedirs(os.path.dirname(self.path), exist_ok=True)
        self.file = open(self.path, "wb")
        self.proc = subprocess.Popen(["parec", "--device=" + os.environ["SONDREL_SPEAKERS"], "--raw",
                                      "--format=s16le", "--rate=44100", "--channels=2", "--latency-msec=20"],
                                     stdout=self.file, stdin=subprocess.DEVNULL)

    def until(self, enough, limit=15):
        """Stops recording once enough(recording) holds, or after `limit` seconds; returns the recording."""
        deadline = time.time() + limit
        while True:
            recording = open(self.path, "rb").read()
            if enough(recording) or time.time() > deadline or self.proc.poll() is not None:
                break
            time.sleep(0.2)
        self.proc.terminate()
        self.proc.wait()
        self.file.close()
        return recording


def roles(r):
    """Each channel index's side from the events 6 the host accepted: 'L', 'R' or 'C' (centre)."""
    side = ["C"] * 4
    for e in r.of_type("event", code=6, answer=1):
        if e["partner"]:
            side[e["channel"] - 1], side[e["partner"] - 1] = "L", "R"
    return side


def expected_mix(r):
    """The documented law: a pair's halves left and right, any other channel on both
    sides, each side the sum saturated to 16 bits, every period one block long.
    Returns the interleaved frames as bytes and how many samples saturated."""
    periods = 1 + max(p["period"] for p in r.periods)
    left, right = [0] * (periods * FRAMES), [0] * (periods * FRAMES)
    side = roles(r)
    for index in range(4):
        samples = array.array("h", r.channel(index + 1))
        check(sys.byteorder == "little", "a little-endian machine")
        used = 0
        for p in r.calls(index):
            n = min(p["bytes"] // 2, FRAMES) if p["result"] else 0
            start = p["period"] * FRAMES
            for target in ((left,) if side[index] == "L" else (right,) if side[index] == "R" else (left, right)):
                target[start:start + n] = [a + b for a, b in zip(target[start:start + n], samples[used:used + n])]
            used += p["bytes"] // 2 if p["result"] else 0
    frames = array.array("h", bytes(4 * len(left)))
    clipped = 0
    for i, (a, b) in enumerate(zip(left, right)):
        clipped += (a > 32767 or a < -32768) + (b > 32767 or b < -32768)
        frames[2 * i] = max(-32768, min(32767, a))
        frames[2 * i + 1] = max(-32768, min(32767, b))
    return frames.tobytes(), clipped


def first_sound(blob):
    """Byte offset of the first frame that is not silent (len(blob) when none is)."""
    stripped = blob.lstrip(b"\0")
    return (len(blob) - len(stripped)) // 4 * 4


def match(recording, mix):
    """Follows the mix through the recording from its first sound on. Returns
    (None, gaps, silent) when the recording is the mix, sample for sample, in
    order and then silence, apart from silent frames the sound server put in
    where Wine's delivery to it ran late (gaps: how many such stretches, silent:
    their frames); else (the mix frame that was not heard, gaps, silent)."""
    i, j, gaps, block = first_sound(mix), first_sound(recording), 0, 4 * FRAMES
    silent = 0
    while i < len(mix):
        n = min(block, len(mix) - i)
        if recording[j:j + n] == mix[i:i + n]:
            i, j = i + n, j + n
            continue
        while i < len(mix) and recording[j:j + 4] == mix[i:i + 4]:
            i, j = i + 4, j + 4
        if i >= len(mix):
            break
        if recording[j:j + 4] != b"\0\0\0\0":
            return i // 4, gaps, silent
        gaps += 1
        while recording[j:j + 4] == b"\0\0\0\0" and recording[j:j + 4] != mix[i:i + 4]:
            j, silent = j + 4, silent + 1
    return (None if not recording[j:].strip(b"\0") else len(mix) // 4), gaps, silent


def check_heard(name, r, speakers):
    """The recording is the mix, bit for bit, apart from silence the sound server
    put in where Wine fed it late. On a busy machine (load above half the core
    count: other work on every other core) the server may also play a stretch
    twice: there, every block of the mix must still be heard verbatim somewhere,
    all but a fifth of them. Returns how many samples saturated and
    the milliseconds of silence the sound server put in (None when unknown)."""
    mix, clipped = expected_mix(r)
    check(mix.strip(b"\0"), "%s: the channels delivered sound" % name)
    lead = first_sound(mix)
    recording = speakers.until(lambda rec: len(rec) >= first_sound(rec) - lead + len(mix) + 8820)
    wrong, gaps, silent = match(recording, mix)
    if wrong is None:
        # Every frame of the mix was heard, in order; silence the sound server put in
        # where Wine fed it late (on any machine that is not idle) is not the host's,
        # and its length goes to the pacing check.
        if gaps:
            print("%s: %d silent gaps (%d frames) put in by the sound server" % (name, gaps, silent))
        return clipped, silent * 1000.0 / 44100
    load, cores = os.getloadavg()[0], os.cpu_count() or 1
    problem = "%s: the output sink did not receive the mix bit for bit (%d bytes recorded, mix %d bytes; frame %s " \
              "of the mix not heard, %d silent gaps before; load %.1f on %d cores)" % (
                  name, len(recording), len(mix), wrong, gaps, load, cores)
    check(load > cores / 2, problem + "\n" + r.describe()[:3000])
    block = 4 * FRAMES
    blocks = [mix[k:k + block] for k in range(lead, len(mix) - block + 1, block)]
    heard = sum(1 for b in blocks if b in recording)
    print(problem)
    check(heard >= 0.8 * len(blocks), "%s: only %d of %d blocks of the mix were heard" % (name, heard, len(blocks)))
    return clipped, silent * 1000.0 / 44100 if wrong is None else None


def output_mix():
    """A 30 s session with output on: the output sink receives, bit for bit, the
    mix of the four channels by the documented law (a stereo pair left and right,
    mono channels in the centre, saturated sums); the device ran dry never; the
    device paced the pulls (their wall time is the blocks' duration within 2%)."""
    speakers = Speakers("output_mix")
    r = run("output_mix", "setup %d 65536\noutput device\nui create\n" % BLOCK + "\n".join([
        "open 1 %s" % data("mono.wav"),
        "open 2 %s" % data("stereo.wav"),
        "open 4 %s" % data("mono2.wav"),
        "click loop 1", "click loop 2", "click loop 4",
        "click play 1", "click play 2", "click play 4",
        "pull 600",
    ]) + "\n", timeout=200)
    check(roles(r) == ["C", "L", "R", "C"], "the pair 2-3 and two mono channels: %s" % roles(r))
    check(r.channel(1)[:len(raw("mono.raw"))] == raw("mono.raw"), "channel 1 delivers its file")
    played = r.of_type("played")
    check(len(played) == 1 and played[0]["periods"] == 600, "one stretch of 600 periods played: %s" % played)
    clipped, stalled_ms = check_heard("output_mix", r, speakers)
    check(clipped > 0, "the loud sums were saturated (the law's clipping is exercised)")
    underruns = played[0]["underruns"]
    check(underruns == 0 and not r.of_type("underrun"), "the device never ran dry: %d underruns" % underruns)
    # Where Wine fed the sound server late (a busy machine), the device's clock
    # stood still for the silence the server put in: that time is added (and
    # 10% allowed when it is unknown).
    paced, ms = played[0]["pacedPeriods"], float(played[0]["pacedMs"])
    blocks_ms = paced * FRAMES * 1000.0 / 44100
    late = 0.1 * blocks_ms if stalled_ms is None else stalled_ms
    check(paced >= 590 and blocks_ms * 0.98 <= ms <= (blocks_ms + late) * 1.02,
          "the device paced the pulls: %d periods in %.1f ms, their blocks last %.1f ms (%.1f ms of silence "
          "from the sound server)" % (paced, ms, blocks_ms, late))


def player():
    """./sondrel play FILE on the test display: the file loads into track 1 and, once
    played, is heard through the output sink as the channels delivered it; the
    window's close key (Alt+F4) ends the player with exit status 0."""
    speakers = Speakers("player")
    out = os.path.join(DATA, "runs", "player")
    extra = out + ".extra"
    with open(extra, "w") as f:
        f.write("click play 1\nwait 2500\nsysclose\n")
    arch = os.path.basename(os.path.dirname(BIN))
    command = [os.path.join(SOURCE, "sondrel"), "play", "--arch", arch, data("mono.wav"),
               "--script", extra, "--out", out]
    start = time.time()
    proc = subprocess.run(command, capture_output=True, text=True, timeout=120, stdin=subprocess.DEVNULL)
    r = Run(out, proc, time.time() - start)
    check(r.rc == 0, "the player ends with exit status 0\n%s" % r.describe())
    check([e["command"] for e in r.of_type("internal")] == [15] and r.of_type("close-request"),
          "the close key asked the host to close the window (command 15)")
    check(r.of_type("call", name="destroyUserInterface"), "the host closed the window")
    check([(e["channel"], e["partner"]) for e in r.of_type("event", code=6)] == [(1, 0)], "the file went to track 1")
    delivered = r.channel(1)
    check(len(delivered) >= 44100 and raw("mono.raw").startswith(delivered), "track 1 played the file")
    check_heard("player", r, speakers)


if __name__ == "__main__":
    main(globals(), __doc__)
