#!/usr/bin/env bash
# sox must read every file the wave writer made, with the header's format, and give
# back exactly the samples that were written (kept beside each file as .raw).
set -euo pipefail
DIR="$1/scratch/wavedata_written"
declare -A want=([take_stereo16]="44100 2 16 22050" [take_mono16]="44100 1 16 44101" [take_mono8]="22050 1 8 1000")
fail=0
for name in "${!want[@]}"; do
  wav="$DIR/$name.wav"
  [ -f "$wav" ] || { echo "missing $wav"; fail=1; continue; }
  read -r rate channels bits frames <<<"${want[$name]}"
  got="$(sox --i -r "$wav") $(sox --i -c "$wav") $(sox --i -b "$wav") $(sox --i -s "$wav")"
  if [ "$got" != "$rate $channels $bits $frames" ]; then
    echo "$name: sox reads '$got', written '$rate $channels $bits $frames'"; fail=1
  fi
  sox "$wav" -t raw "$DIR/$name.sox.raw"
  if ! cmp "$DIR/$name.raw" "$DIR/$name.sox.raw"; then echo "$name: samples differ"; fail=1; fi
done
[ $fail = 0 ] && echo "sox reads all written files back exactly"
exit $fail
