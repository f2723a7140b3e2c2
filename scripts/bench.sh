#!/usr/bin/env bash
# Runs every benchmark of the x86_64 build under Wine (./sondrel bench brings
# Wine and the display up). With arguments, only the benchmarks whose name
# contains one of them. Exits non-zero when a benchmark cannot run.
set -uo pipefail
ROOT=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
source "$ROOT/scripts/lib.sh"
BIN="$BUILD/x86_64/bin"

shopt -s nullglob
benches=("$BIN"/bench_*.exe)
if [ ${#benches[@]} -eq 0 ]; then
  log "no benchmarks in $BIN"
  exit 0
fi
failed=()
for bench in "${benches[@]}"; do
  name=$(basename "$bench" .exe)
  if [ $# -gt 0 ]; then
    wanted=""
    for pattern in "$@"; do case "$name" in *"$pattern"*) wanted=1 ;; esac; done
    [ -n "$wanted" ] || continue
  fi
  log "running $name"
  sondrel_wine "$bench" || failed+=("$name")
done
if [ ${#failed[@]} -gt 0 ]; then
  log "could not run: ${failed[*]}"
  exit 1
fi
