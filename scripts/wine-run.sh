#!/usr/bin/env bash
# CTest's emulator and the end-to-end scripts' runner: runs one Windows program of
# either build under the project's Wine. ./sondrel test brings the display, prefix
# and capture device up; run alone, it brings up its own. A program of the i686
# build fails at once, with the reason, on a machine that cannot run 32-bit code.
ROOT=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
source "$ROOT/scripts/lib.sh"
sondrel_run_namespace "$0" "$@"
run_program() {
  case "$(readlink -f "$1")" in
    "$(readlink -f "$BUILD")"/i686/*)
      if [ -n "${SONDREL_NO_32BIT:-}" ]; then
        echo "FAIL: $SONDREL_NO_32BIT" >&2
        return 1
      fi
      ;;
  esac
  sondrel_wine "$@"
}
sondrel_in_env run_program "$@"
