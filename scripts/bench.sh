#!/usr/bin/env bash
# Runs every benchmark of the named builds under Wine (./sondrel bench brings
# Wine and the display up), one build after the other; each BENCH line gets the
# field arch=i686 or arch=x86_64. With more arguments, only the benchmarks whose
# name contains one of them. Then the converter's native benchmark against its
# peers (bench/native), once. Exits non-zero when a benchmark cannot run.
#   bench.sh "i686 x86_64" [NAME...]
set -uo pipefail
ROOT=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
source "$ROOT/scripts/lib.sh"
arches=$1
shift

shopt -s nullglob
failed=()
log "machine load before the benchmarks: $(cut -d' ' -f1-3 /proc/loadavg)"
for arch in $arches; do
  benches=("$BUILD/$arch/bin"/bench_*.exe)
  [ ${#benches[@]} -gt 0 ] || log "no benchmarks in $BUILD/$arch/bin"
  for bench in "${benches[@]}"; do
    name=$(basename "$bench" .exe)
    if [ $# -gt 0 ]; then
      wanted=""
      for pattern in "$@"; do case "$name" in *"$pattern"*) wanted=1 ;; esac; done
      [ -n "$wanted" ] || continue
    fi
    log "running $name ($arch; load $(cut -d' ' -f1 /proc/loadavg))"
    # The exit status is the benchmark's, not sed's.
    "$ROOT/scripts/wine-run.sh" "$bench" > >(sed -u "/^BENCH /s/\$/ arch=$arch/") || failed+=("$arch:$name")
  done
done
# wavedata/Resampler built with the host's compiler and linked with libsoxr,
# libsamplerate and speexdsp; only this program links them.
name=bench_resampler_peers
wanted=1
if [ $# -gt 0 ]; then
  wanted=""
  for pattern in "$@"; do case "$name" in *"$pattern"*) wanted=1 ;; esac; done
fi
if [ -n "$wanted" ]; then
  log "running $name (native; load $(cut -d' ' -f1 /proc/loadavg))"
  mkdir -p "$BUILD/native"
  g++ -O2 -std=c++17 -Wall -ffp-contract=fast -I"$ROOT" "$ROOT/bench/native/resampler_peers.cpp" "$ROOT/wavedata/Resampler.cpp" \
    -o "$BUILD/native/$name" -lsoxr -lsamplerate -lspeexdsp &&
    "$BUILD/native/$name" > >(sed -u "/^BENCH /s/\$/ arch=native/") || failed+=("native:$name")
fi
if [ ${#failed[@]} -gt 0 ]; then
  log "could not run: ${failed[*]}"
  exit 1
fi
