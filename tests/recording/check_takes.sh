#!/usr/bin/env bash
# sox must accept every take test_waveinput recorded: 44100 Hz, 16 bits, the take's
# channel count, and as many samples as the header's data size holds.
set -euo pipefail
DIR="$1/scratch/recording_takes"
fail=0
for name in mono:1 stereo:2; do
  wav="$DIR/${name%:*}.wav" channels=${name#*:}
  [ -f "$wav" ] || { echo "missing $wav"; fail=1; continue; }
  data=$(python3 -c "import struct,sys; print(struct.unpack('<I', open(sys.argv[1],'rb').read(44)[40:44])[0])" "$wav")
  want="44100 $channels 16 $((data / (2 * channels)))"
  got="$(sox --i -r "$wav") $(sox --i -c "$wav") $(sox --i -b "$wav") $(sox --i -s "$wav")"
  [ "$got" = "$want" ] || { echo "$wav: sox reads '$got', expected '$want'"; fail=1; }
done
[ $fail = 0 ] && echo "sox reads both takes with their header's format and size"
exit $fail
