#!/usr/bin/env bash
# The main job in the reference host; ./sondrel demo calls it with Wine and the
# display up. It shows what the plug-in answers and runs a short session;
# everything it made is left in out/demo/.
set -euo pipefail
ROOT=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
source "$ROOT/scripts/lib.sh"
BIN="$BUILD/x86_64/bin"
OUT="$ROOT/out/demo"
rm -rf "$OUT"
mkdir -p "$OUT"

echo "== The plug-in, as the host sees it (orvan-host info)"
sondrel_wine "$BIN/orvan-host.exe" info "$BIN/sondrel.oin" | tee "$OUT/info.json"

cat >"$OUT/session.txt" <<'SCRIPT'
# Set the audio system up (50 ms blocks, 64 KiB file buffers), then pull a
# second of audio from the four channels as the engine's streaming thread does.
setup 4410 65536
handle 1
pull 20 realtime
streamerror
SCRIPT

echo "== A session (out/demo/session.txt)"
sondrel_wine "$BIN/orvan-host.exe" run "$OUT/session.txt" --out "$OUT"
echo "events.jsonl:"
sed 's/^/  /' "$OUT/events.jsonl"
echo "periods.jsonl: $(wc -l <"$OUT/periods.jsonl") readStreamChannel calls;" \
  "delivered bytes per channel: $(for c in 1 2 3 4; do echo -n "ch$c=$(($(stat -c %s "$OUT/ch$c.wav") - 44)) "; done)"
echo "Output in $OUT"
