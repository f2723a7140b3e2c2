#!/usr/bin/env bash
# wavprobe's JSON lines, value by value, for files that take each path of its
# output (what the parser makes of other files is checked by the wave file tests).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
DATA="$1/wavedata"
PROBE="$2"
win() { echo "Z:${1//\//\\}"; }
names=(mono16.wav stereo16.wav otherform.wav emptydata.wav missing.wav bad/no_data.wav bad/odd_id_bytes.wav
       ext16.wav extensible.wav bad/ext_bits24.wav bad/ext_float.wav bad/data_ffffffff.wav
       bad/rf64.wav bad/rf64_beyond_end.wav bad/rf64_no_ds64.wav bad/rf64_short_ds64.wav bad/rf64_zero.wav)
args=()
for n in "${names[@]}"; do args+=("$(win "$DATA/$n")"); done
out=$(bash "$ROOT/scripts/wine-run.sh" "$PROBE" "${args[@]}")
status=0
bash "$ROOT/scripts/wine-run.sh" "$PROBE" >/dev/null 2>&1 || status=$?
PROBE_OUT="$out" python3 - "$status" "${names[@]}" <<'PY'
import json, os, sys
status = int(sys.argv[1])
names = sys.argv[2:]
lines = os.environ["PROBE_OUT"].strip().splitlines()
assert status == 2, "no arguments must be a usage error, got %d" % status
assert len(lines) == len(names), lines
rows = [json.loads(l) for l in lines]
by = {n: r for n, r in zip(names, rows)}
def check(name, **values):
    r = by[name]
    for k, v in values.items():
        assert r.get(k) == v, (name, k, r.get(k), v)
    assert r['path'].endswith(name.replace('/', '\\')), r['path']
check('mono16.wav', open=0, header=0, channels=1, rate=44100, bits=16, dataSize=44100, dataStart=44,
      skipped='', lengthMs=501, frames=22050, encoding='pcm', convert=202)
check('stereo16.wav', convert=0, readSize=8820, resampled=0, blockAlign=4, avgBytes=176400, lengthMs=501,
      frames=22050)
check('otherform.wav', open=0, header=8)
check('emptydata.wav', header=9, dataSize=0, lengthMs=0)
check('missing.wav', open=1)
check('bad/no_data.wav', header=4, skipped='')
check('bad/odd_id_bytes.wav', header=0, skipped="'\x01\"\\\xff';")
pcm = '00000001-0000-0010-8000-00aa00389b71'
check('ext16.wav', formatTag=0xFFFE, validBits=16, channelMask=3, subFormat=pcm, convert=0)
check('extensible.wav', channels=4, validBits=16, subFormat=pcm, convert=17)
check('bad/ext_bits24.wav', header=0, bits=24, validBits=24, encoding='pcm', convert=0, resampled=0)
check('bad/ext_float.wav', encoding='float', convert=0)
check('bad/data_ffffffff.wav', dataSize=0xFFFFFFFF, dataPresent=128, frames=64, lengthMs=1)
# RF64: the 'ds64' size ends the data before the chunk after it; one beyond the file,
# a missing or a short 'ds64' leave the 32-bit placeholder, cut to what the file holds.
check('bad/rf64.wav', rf64=True, dataSize=128, dataPresent=128, frames=64, skipped='')
check('bad/rf64_beyond_end.wav', rf64=True, dataSize=1 << 40, dataPresent=128, frames=64)
check('bad/rf64_no_ds64.wav', rf64=True, dataSize=0xFFFFFFFF, dataPresent=128 + 32)
check('bad/rf64_short_ds64.wav', rf64=True, dataSize=0xFFFFFFFF, dataPresent=128 + 32, skipped="'ds64';")
check('bad/rf64_zero.wav', header=9, dataSize=0)
# Fields that have no meaning for a file are left out, not printed as zeros.
assert 'dataSize' not in by['otherform.wav'] and 'readSize' not in by['mono16.wav'], by
print('wavprobe output checked for %d files' % len(names))
PY
