#!/usr/bin/env bash
# A takes folder in which every generated take name but Oae12345.wav is taken. $1 is the test-data folder.
set -euo pipefail
out="$1/prerecorder/taken"
mkdir -p "$out"
python3 - "$out" <<'PY'
import os, sys
for n in range(32768):
    path = os.path.join(sys.argv[1], "Oae%d.wav" % n)
    if n != 12345 and not os.path.exists(path):
        open(path, "wb").close()
PY
rm -f "$out/Oae12345.wav"
