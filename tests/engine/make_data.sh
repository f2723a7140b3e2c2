#!/usr/bin/env bash
# Wave files for the channel engine tests, made by sox; raw sample data beside
# them is what each channel must deliver. $1 is the test-data folder.
set -euo pipefail
out="$1/engine"
mkdir -p "$out"
cd "$out"

# Noise, so that every block of a file differs from every other block.
mono() { sox -r "$1" -c 1 -n -b "$2" -D "$3" synth "$4" whitenoise vol 0.8; }

mono 44100 16 mono1000.wav 500s      # exactly 1000 data bytes, nothing after them
mono 44100 16 mono5s.wav 220500s     # 100 blocks of 4410 bytes
mono 44100 16 monoA.wav 13001s       # block sizes do not divide these files
mono 44100 16 monoB.wav 9337s
mono 44095 16 rate44095.wav 4000s
mono 4000 16 rate4000.wav 4000s     # below the lowest rate played
sox -r 44100 -c 3 -n -b 16 -D three.wav synth 4000s whitenoise
# One second at 48 kHz in 24 bits: converted while it plays.
sox -r 48000 -c 2 -n -b 24 -D stereo48k24.wav synth 1 sine 1000 sine 1500 vol 0.5
sox -r 44100 -c 2 -n -b 16 -D stereo.wav synth 11025s whitenoise pinknoise vol 0.8
sox -r 44100 -c 2 -n -b 16 -D stereoB.wav synth 7001s pinknoise whitenoise vol 0.8

for f in mono1000 mono5s monoA monoB rate44095; do sox "$f.wav" -t raw "$f.raw"; done
for f in stereo stereoB; do
  sox "$f.wav" -t raw -e signed -b 16 -c 1 "$f.left.raw" remix 1
  sox "$f.wav" -t raw -e signed -b 16 -c 1 "$f.right.raw" remix 2
done

# The 1000-byte file followed by a LIST chunk, as many editors write it, and cut short.
python3 - <<'PY'
import struct
data = open("mono1000.wav", "rb").read()
assert len(data) == 1044 and data[36:40] == b"data", "sox wrote an unexpected header"
info = b"INFOISFT" + struct.pack("<I", 10) + b"sondrel-t\0"
extra = b"LIST" + struct.pack("<I", len(info)) + info
body = data[8:] + extra
open("trailing.wav", "wb").write(b"RIFF" + struct.pack("<I", len(body)) + body)
# The same samples in a file that announces far more data than it holds.
open("overlong.wav", "wb").write(data[:40] + struct.pack("<I", 0xFFFFFFF0) + data[44:])
PY

cmp -s stereo.left.raw stereo.right.raw && { echo "stereo halves are equal" >&2; exit 1; }
test "$(stat -c %s mono1000.raw)" -eq 1000
test "$(stat -c %s mono5s.raw)" -eq 441000
