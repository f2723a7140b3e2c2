#!/usr/bin/env bash
# Wave files for the wave data tests, made by real tools: sox and Python's wave
# module write the plain cases, wavgen.py splices chunks where no tool writes the
# case and builds the bad-input corpus. $1 is the test data folder.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
OUT="$1/wavedata"
rm -rf "$OUT"
mkdir -p "$OUT/bad"
cd "$OUT"

tone() { sox -n -r "$1" -b "$2" -c "$3" "$4" synth 0.5 sine 440 sine 660; }
tone 44100 16 1 mono16.wav
tone 44100 16 2 stereo16.wav
tone 44100 8 1 mono8.wav
tone 22050 16 1 rate22050.wav
tone 44095 16 1 rate44095.wav
tone 44090 16 1 rate44090.wav
tone 4000 16 1 rate4000.wav
sox -n -r 44100 -e floating-point -b 32 -c 1 float.wav synth 0.1 sine 440
sox -n -r 44100 -b 16 -c 4 extensible.wav synth 0.1 sine 440

python3 "$HERE/wavgen.py" "$OUT"
