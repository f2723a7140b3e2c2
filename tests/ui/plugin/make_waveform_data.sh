#!/usr/bin/env bash
# Wave files for the waveform picture tests, made by sox and Python's wave module.
set -euo pipefail
out="$1/waveform"
mkdir -p "$out"
sox -n -r 44100 -b 16 -c 1 "$out/silence.wav" trim 0 1
python3 - "$out" <<'PY'
import struct, sys, wave
out = sys.argv[1]

def write(name, channels, frames):
    with wave.open(f"{out}/{name}", "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(44100)
        w.writeframes(b"".join(frames))

# Left +16384, right -16384 throughout.
write("stereo_const.wav", 2, [struct.pack("<hh", 16384, -16384)] * 44100)

# Full scale only on the frames the picture must pick: x * (q + 1), q = F / 315.
F = 315 * 400
q = F // 315
picked = {x * (q + 1) for x in range(315)}
write("picked.wav", 1, [struct.pack("<h", 32767 if i in picked else 0) for i in range(F)])

# 100 silent frames followed by a chunk of loud bytes after the data chunk.
data = b"\0\0" * 100
trailer = b"JUNK" + struct.pack("<I", 4000) + b"\xff\x7f" * 2000
fmt = struct.pack("<4sIHHIIHH", b"fmt ", 16, 1, 1, 44100, 88200, 2, 16)
body = b"WAVE" + fmt + b"data" + struct.pack("<I", len(data)) + data + trailer
open(f"{out}/short_trailer.wav", "wb").write(b"RIFF" + struct.pack("<I", len(body)) + body)
PY
