#!/usr/bin/env python3
"""Feeds the private PulseAudio daemon's pipe source at real time.

Writes 16-bit stereo frames at 44100 Hz into the source's FIFO, a little ahead of the
clock, and switches what it writes when a command arrives in the control file:
  sequence CHANNELS   the generated non-repeating sequence from its start (1: the same
                      value on left and right, so a mono take records it unchanged)
  file PATH           a 16-bit 44100 Hz wave file (mono or stereo), once, then silence
  silence, stop       silence
A client writes one command line into CONTROL.tmp... and renames it to CONTROL; the
feeder removes it, switches and answers in CONTROL.ack ("ok" or "error TEXT") once the
source has read every frame from before the switch.

The sequence: value k is A[k & 0xFFFF] ^ B[k >> 16] (16 bits, read as signed), where
A is a permutation of 0..65535 and B a hash of the segment number; host/CaptureFeed.cpp
holds the same definition and finds a recorded stretch in it.
"""
import array
import fcntl
import os
import sys
import termios
import time
import wave

RATE = 44100
LEAD = RATE // 10        # frames written ahead of the clock (100 ms)
TICK = 0.005


def xorshift_permutation():
    state = 0x2545F491
    table = list(range(65536))
    for i in range(65535, 0, -1):
        state ^= (state << 13) & 0xFFFFFFFF
        state ^= state >> 17
        state ^= (state << 5) & 0xFFFFFFFF
        j = state % (i + 1)
        table[i], table[j] = table[j], table[i]
    return array.array("H", table).tobytes()


def segment_key(m):
    x = m & 0xFFFFFFFF
    x ^= x >> 16
    x = (x * 0x7FEB352D) & 0xFFFFFFFF
    x ^= x >> 15
    x = (x * 0x846CA68B) & 0xFFFFFFFF
    x ^= x >> 16
    return x & 0xFFFF


PERMUTATION = xorshift_permutation()


def sequence_bytes(k, count):
    """Values k .. k+count-1 as little-endian 16-bit bytes."""
    out = bytearray()
    while count > 0:
        start = k & 0xFFFF
        n = min(count, 65536 - start)
        part = PERMUTATION[2 * start:2 * (start + n)]
        key = segment_key(k >> 16).to_bytes(2, "little") * n
        out += (int.from_bytes(part, "little") ^ int.from_bytes(key, "little")).to_bytes(2 * n, "little")
        k += n
        count -= n
    return bytes(out)


def doubled(mono):
    """Mono 16-bit bytes as stereo with left = right."""
    out = bytearray(2 * len(mono))
    out[0::4] = mono[0::2]
    out[1::4] = mono[1::2]
    out[2::4] = mono[0::2]
    out[3::4] = mono[1::2]
    return bytes(out)


class Feeder:
    def __init__(self):
        self.kind = "silence"
        self.position = 0       # next sequence value, or next byte of the file
        self.channels = 2
        self.data = b""

    def command(self, line):
        words = line.split(None, 1)
        if not words:
            raise ValueError("empty command")
        if words[0] == "sequence":
            channels = int(words[1]) if len(words) > 1 else 2
            if channels not in (1, 2):
                raise ValueError("sequence takes 1 or 2 channels")
            self.kind, self.channels, self.position = "sequence", channels, 0
        elif words[0] == "file":
            if len(words) < 2:
                raise ValueError("file needs a path")
            with wave.open(words[1].strip(), "rb") as w:
                if w.getsampwidth() != 2 or w.getframerate() != RATE or w.getnchannels() not in (1, 2):
                    raise ValueError("not a 16-bit 44100 Hz mono or stereo wave file")
                frames = w.readframes(w.getnframes())
                self.data = doubled(frames) if w.getnchannels() == 1 else frames
            self.kind, self.position = "file", 0
        elif words[0] in ("silence", "stop"):
            self.kind = "silence"
        else:
            raise ValueError("unknown command " + words[0])

    def frames(self, count):
        """The next count stereo frames as bytes."""
        if self.kind == "sequence":
            if self.channels == 2:
                chunk = sequence_bytes(2 * self.position, 2 * count)
            else:
                chunk = doubled(sequence_bytes(self.position, count))
            self.position += count
            return chunk
        if self.kind == "file":
            chunk = self.data[self.position:self.position + 4 * count]
            self.position += len(chunk)
            if len(chunk) < 4 * count:
                chunk += bytes(4 * count - len(chunk))
                self.kind = "silence"
            return chunk
        return bytes(4 * count)


def answer(control, text):
    temporary = control + ".ack.tmp"
    with open(temporary, "w") as f:
        f.write(text + "\n")
    os.replace(temporary, control + ".ack")


def open_fifo(fifo):
    """The FIFO for writing, or None while no daemon reads it (stopped, or starting again)."""
    try:
        return os.open(fifo, os.O_WRONLY | os.O_NONBLOCK)
    except (FileNotFoundError, OSError):
        return None


def main():
    fifo, control = sys.argv[1], sys.argv[2]
    feeder = Feeder()
    # The pipe source creates its FIFO when the daemon loads it.
    for _ in range(100):
        if os.path.exists(fifo):
            break
        time.sleep(0.05)
    out = os.open(fifo, os.O_WRONLY | os.O_NONBLOCK)
    start = time.monotonic()
    written = 0         # frames made so far
    pending = b""       # made but not yet taken by the FIFO
    since_switch = 0    # bytes of the current signal put into the FIFO
    unanswered = None   # deadline of a switch whose answer waits for the FIFO to drain
    while True:
        if unanswered is None and os.path.exists(control):
            try:
                with open(control) as f:
                    line = f.readline().strip()
                os.remove(control)
                feeder.command(line)
                # What was made but not given to the source is dropped: the new signal
                # follows the last frame the source received.
                written -= len(pending) // 4
                pending, since_switch = b"", 0
                unanswered = time.monotonic() + 2.0
            except (OSError, ValueError, wave.Error, EOFError) as e:
                answer(control, "error " + str(e).replace("\n", " "))
        due = int((time.monotonic() - start) * RATE) + LEAD
        if out is None:
            # The daemon was stopped (a test takes the device away): the signal goes on
            # in time, unheard, until a daemon reads the FIFO again.
            out = open_fifo(fifo)
            if out is None:
                pending, written = b"", due
        # Frames are made when due and written as the source takes them; a full FIFO
        # only delays them, so the stream stays contiguous.
        while out is not None and not pending and written < due:
            count = min(due - written, RATE // 50)
            pending = feeder.frames(count)
            written += count
        while out is not None and pending:
            try:
                n = os.write(out, pending)
            except BlockingIOError:
                break
            except BrokenPipeError:
                os.close(out)
                out = None
                break
            pending = pending[n:]
            since_switch += n
        # The switch is answered once the source has read everything before it, so a
        # stream opened after the answer records only the new signal.
        if unanswered is not None and out is not None:
            queued = array.array("i", [0])
            fcntl.ioctl(out, termios.FIONREAD, queued)
            if queued[0] <= since_switch or time.monotonic() > unanswered:
                answer(control, "ok" if queued[0] <= since_switch else "error the source does not read")
                unanswered = None
        elif unanswered is not None and time.monotonic() > unanswered:
            answer(control, "error no source reads the FIFO")
            unanswered = None
        time.sleep(TICK)


if __name__ == "__main__":
    main()
