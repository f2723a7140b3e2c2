#!/usr/bin/env bash
# The main job in the reference host; ./sondrel demo calls it with Wine and the
# display up, with the build to run (i686, the shipped one, unless --arch says
# otherwise). It makes two sample files (synthesised by tools/makesamples), runs
# the bundled session host/demo.session on the plug-in's real window, and leaves
# the audio each channel delivered, the logs and a screenshot in out/demo/.
#   demo.sh ARCH
set -euo pipefail
ROOT=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
source "$ROOT/scripts/lib.sh"
ARCH=${1:-i686}
BIN="$BUILD/$ARCH/bin"
WINE_RUN="$ROOT/scripts/wine-run.sh"
OUT="$ROOT/out/demo"
rm -rf "$OUT"
mkdir -p "$OUT/samples"

echo "== The $ARCH build's plug-in, as its host sees it (orvan-host info)"
"$WINE_RUN" "$BIN/orvan-host.exe" info "$BIN/sondrel.oin" | tee "$OUT/info.json"

echo "== Two sample files (makesamples)"
"$WINE_RUN" "$BIN/makesamples.exe" "$OUT/samples"

echo "== The session (out/demo/demo.session)"
# Takes go to "Userfiles" beside the host's program; the plug-in does not create it.
mkdir -p "$BIN/Userfiles"
cp "$ROOT/host/demo.session" "$OUT/demo.session"
# What the output device receives is recorded from the private output sink's monitor
# (with SONDREL_NO_CAPTURE=1 it plays on this machine's own output instead).
PAREC_PID=""
if [ -n "${SONDREL_SPEAKERS:-}" ]; then
  parec --device="$SONDREL_SPEAKERS" --raw --format=s16le --rate=44100 --channels=2 >"$OUT/speakers.raw" &
  PAREC_PID=$!
fi
# (Wine's file dialog remarks that it cannot read the Z: drive's label: not ours to show.)
"$WINE_RUN" "$BIN/orvan-host.exe" run "$OUT/demo.session" --out "$OUT" 2> >(grep -v "FS volume label" >&2)
if [ -n "$PAREC_PID" ]; then
  sleep 0.5  # the monitor's last fragment
  kill "$PAREC_PID" 2>/dev/null || true
  wait "$PAREC_PID" 2>/dev/null || true
  sox -t raw -r 44100 -e signed -b 16 -c 2 "$OUT/speakers.raw" "$OUT/speakers.wav"
  rm -f "$OUT/speakers.raw"
fi

echo "== What happened"
python3 - "$OUT" <<'PY'
import json, os, shutil, sys, wave
out = sys.argv[1]
for line in open(os.path.join(out, "events.jsonl")):
    e = json.loads(line)
    kind = e["type"]
    if kind == "event":
        print("  event %d: channel %d, partner %d -> host answered %d" % (e["code"], e["channel"], e["partner"], e["answer"]))
    elif kind == "internal":
        print("  internal command %d" % e["command"])
    elif kind in ("open", "click"):
        print("  %s %s%s" % (kind, e.get("control", ""), " channel %d" % e["channel"] if "channel" in e else ""))
    elif kind == "dialog":
        print("  properties: %s, %s channels, %s Hz, %s bits; %s" % (e["1005"], e["1011"], e["1006"], e["1008"], e["1023"]))
    elif kind == "take":
        print("  take %s%s" % (e["path"], " -> track %d" % e["channel"] if e.get("channel") else " (not loaded)"))
        src = e["path"][2:].replace("\\", "/") if e["path"][:2] in ("Z:", "z:") else e["path"]
        if os.path.exists(src):
            shutil.copy(src, os.path.join(out, "take.wav"))
    elif kind == "played":
        print("  played %d periods on the output device, %d underruns" % (e["periods"], e["underruns"]))
    elif kind in ("messagebox", "error"):
        print("  %s: %s" % (kind, e["text"].replace("\n", " ")))
calls = sum(1 for _ in open(os.path.join(out, "periods.jsonl")))
print("  %d readStreamChannel calls" % calls)
for c in range(1, 5):
    with wave.open(os.path.join(out, "ch%d.wav" % c)) as w:
        print("  ch%d.wav: %.2f s delivered" % (c, w.getnframes() / w.getframerate()))
if os.path.exists(os.path.join(out, "speakers.wav")):
    with wave.open(os.path.join(out, "speakers.wav")) as w:
        print("  speakers.wav: %.2f s received by the output device" % (w.getnframes() / w.getframerate()))
PY
echo "$ARCH" >"$OUT/arch"
echo "The $ARCH build ran. Output in $OUT: ch1.wav..ch4.wav (what each channel delivered; ch4.wav played the take),"
echo "speakers.wav (what the output device received, stereo), take.wav (the pre-recorder's take), events.jsonl, periods.jsonl, window.png (the main window"
echo "during playback) and prerecorder.png (the pre-recorder during the take)."
