#!/usr/bin/env bash
# Runs every benchmark program of the x86_64 build (bin/bench_*.exe) under the
# project's Wine; ./sondrel bench brings up the display and the Wine server first.
set -uo pipefail
ROOT=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
source "$ROOT/scripts/lib.sh"
rc=0
found=0
for exe in "$BUILD"/x86_64/bin/bench_*.exe; do
  [ -e "$exe" ] || continue
  found=1
  echo "== $(basename "$exe")"
  wine "$exe" "$@" || rc=$?
done
[ $found = 1 ] || { echo "no benchmark programs in $BUILD/x86_64/bin" >&2; exit 1; }
exit $rc
