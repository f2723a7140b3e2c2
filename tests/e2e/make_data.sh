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
# The files a channel refuses: a rate below 8000 Hz, three channels.
sox -r 4000 -c 1 -n -b 16 -D rate4000.wav synth 1 sine 440
sox -r 44100 -c 3 -n -b 16 -D three.wav synth 1 sine 440
# A stereo file whose format chunk carries 2 bytes more than plain PCM, with a
# LIST chunk before its data.
python3 - <<'PY'
import struct
data = open("stereo.wav", "rb").read()
assert data[12:16] == b"fmt " and struct.unpack_from("<I", data, 16)[0] == 16, "sox wrote an unexpected header"
fmt = data[20:36] + struct.pack("<H", 0)
info = b"INFOISFT" + struct.pack("<I", 10) + b"sondrel-t\0"
body = (b"WAVE" + b"fmt " + struct.pack("<I", 18) + fmt
        + b"LIST" + struct.pack("<I", len(info)) + info + data[36:])
open("stereo18.wav", "wb").write(b"RIFF" + struct.pack("<I", len(body)) + body)
PY
# Files other programs write around the same samples: a broadcast wave file
# ('bext' and 'JUNK' before the format chunk) and the extensible format of 16-bit
# stereo PCM. What each channel must deliver is what sox reads from them.
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
pcm_guid = bytes.fromhex("0100000000001000800000aa00389b71")
extensible = struct.pack("<HHIIHHHHI", 0xFFFE, 2, 44100, 176400, 4, 16, 22, 16, 3) + pcm_guid
open("extensible.wav", "wb").write(riff([chunk(b"fmt ", extensible), samples]))
PY
for f in bwf extensible; do
  for side in 1 2; do sox $f.wav -t raw -e signed -b 16 -c 1 $f.$side.raw remix $side; done
done
cmp -s bwf.1.raw stereo.left.raw || { echo "sox reads the broadcast file differently" >&2; exit 1; }
# A mono file under a Windows path of exactly 200 characters (Z: and the Linux path).
long="$out/$(head -c $((188 - ${#out})) /dev/zero | tr '\0' l)"
mkdir -p "$long"
cp mono.wav "$long/mono.wav"
test $((2 + ${#long} + 9)) -eq 200

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
