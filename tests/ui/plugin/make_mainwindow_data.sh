#!/usr/bin/env bash
# Wave files for the main window tests: sox for tones and silence, Python for
# files whose header layout matters (plain 16-byte and 18-byte format chunks,
# a chunk passed over before the data). $1 is the test-data folder.
set -euo pipefail
out="$1/mainwindow"
mkdir -p "$out"
cd "$out"

sox -n -r 44100 -b 16 -c 1 silence.wav trim 0 1
sox -n -r 44100 -b 16 -c 1 tone.wav synth 3 sine 440 vol 0.7

python3 - <<'PY'
import math, struct, wave

def frames(count, channels, level=(0.8, 0.5)):
    out = []
    for i in range(count):
        left = int(32767 * level[0] * math.sin(i * 2 * math.pi * 440 / 44100))
        right = int(32767 * level[1] * math.sin(i * 2 * math.pi * 660 / 44100))
        out.append(struct.pack("<hh", left, right) if channels == 2 else struct.pack("<h", left))
    return b"".join(out)

# A plain 16-bit stereo file: 44-byte header, 16-byte format chunk, 2 s.
with wave.open("stereo.wav", "wb") as w:
    w.setnchannels(2)
    w.setsampwidth(2)
    w.setframerate(44100)
    w.writeframes(frames(88200, 2))

def riff(chunks):
    body = b"WAVE" + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(body)) + body

def chunk(name, data):
    return name + struct.pack("<I", len(data)) + data + (b"\0" if len(data) % 2 else b"")

fmt16 = struct.pack("<HHIIHH", 1, 2, 44100, 176400, 4, 16)
# The same format with an 18-byte chunk (a zero cbSize), and a LIST chunk before the data.
open("fmt18.wav", "wb").write(riff([chunk(b"fmt ", fmt16 + b"\0\0"),
                                    chunk(b"LIST", b"INFOISFT" + struct.pack("<I", 4) + b"t18\0"),
                                    chunk(b"data", frames(44100, 2))]))
# Ten stereo frames: a playing time of 0 ms; eight chunks passed over, the first
# of them before the format chunk as broadcast wave files have it.
others = [chunk(name, b"x" * 5) for name in (b"JUNK", b"LIST", b"fact", b"cue ", b"smpl", b"inst", b"acid")]
open("instant.wav", "wb").write(riff([chunk(b"bext", b"\0" * 602), chunk(b"fmt ", fmt16)] + others +
                                     [chunk(b"data", frames(10, 2))]))
assert open("stereo.wav", "rb").read(20)[16:20] == struct.pack("<I", 16), "wave wrote a longer format chunk"
PY
