#!/usr/bin/env bash
# Wave files for the end-to-end runs through the reference host, made by sox and
# Python, with the samples each channel must deliver beside them. $1 is the
# test-data folder.
set -euo pipefail
out="$1/e2e"
mkdir -p "$out"
cd "$out"

# Left and right differ in every block: noise on one side, a sweep on the other.
sox -r 44100 -c 2 -n -b 16 -D stereo.wav synth 3 whitenoise sine 200-3000 vol 0.7
sox stereo.wav -t raw -e signed -b 16 -c 1 stereo.left.raw remix 1
sox stereo.wav -t raw -e signed -b 16 -c 1 stereo.right.raw remix 2
cmp -s stereo.left.raw stereo.right.raw && { echo "stereo halves are equal" >&2; exit 1; }

sox -r 44100 -c 1 -n -b 16 -D mono.wav synth 2 pinknoise vol 0.7
sox mono.wav -t raw mono.raw
sox -r 44100 -c 1 -n -b 16 -D mono2.wav synth 2 sine 523 vol 0.5
# The files a channel refuses: a rate below 8000 Hz, three channels, no wave file at all.
sox -r 4000 -c 1 -n -b 16 -D rate4000.wav synth 1 sine 440
sox -r 44100 -c 3 -n -b 16 -D three.wav synth 1 sine 440
echo "not a wave file" > notwave.wav
# A broadcast wave file ('bext' and 'JUNK' before the format chunk) around the
# same samples; what each channel must deliver is what sox reads from it.
python3 - <<'PY'
import struct
data = open("stereo.wav", "rb").read()
pcm = data[20:36]
def chunk(cid, payload):
    return cid + struct.pack("<I", len(payload)) + payload + (b"\0" if len(payload) % 2 else b"")
def riff(chunks):
    body = b"WAVE" + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(body)) + body
samples = chunk(b"data", data[44:])
open("bwf.wav", "wb").write(riff([chunk(b"bext", b"sondrel".ljust(602, b"\0")), chunk(b"JUNK", b"\0" * 28),
                                  chunk(b"fmt ", pcm), samples]))
PY
for side in 1 2; do sox bwf.wav -t raw -e signed -b 16 -c 1 bwf.$side.raw remix $side; done
cmp -s bwf.1.raw stereo.left.raw || { echo "sox reads the broadcast file differently" >&2; exit 1; }

test "$(stat -c %s stereo.left.raw)" -eq $((3 * 44100 * 2))

# Files of other rates, depths and encodings, converted while they play: a 1 kHz
# left and 1.5 kHz right sine at -6 dBFS in 48 kHz 24-bit stereo, a 1 kHz sine in
# 22.05 kHz 8-bit mono (its samples beside it), a 44.1 kHz float sine that goes
# beyond full scale, and a 48 kHz sine of exactly 250 periods for looping.
sox -r 48000 -c 2 -n -b 24 -D stereo48k24.wav synth 2 sine 1000 sine 1500 vol 0.5
sox -r 22050 -c 1 -n -b 8 -D mono22k8.wav synth 2 sine 1000 vol 0.5
sox mono22k8.wav -t raw -e signed -b 16 mono22k8.raw
sox -r 44100 -c 1 -n -e floating-point -b 32 float_loud.wav synth 0.5 sine 1000 vol 0.75
# sox clips what it writes: the samples are doubled in place, to 1.5 times full scale.
python3 - <<'PY'
import struct
data = bytearray(open("float_loud.wav", "rb").read())
at = data.index(b"data") + 8
count = struct.unpack_from("<I", data, at - 4)[0] // 4
values = [2 * v for v in struct.unpack_from("<%df" % count, data, at)]
struct.pack_into("<%df" % count, data, at, *values)
open("float_loud.wav", "wb").write(data)
open("float_loud.raw", "wb").write(struct.pack("<%df" % count, *values))
PY
sox -r 48000 -c 1 -n -b 16 -D loop48k.wav synth 12000s sine 1000 vol 0.5
