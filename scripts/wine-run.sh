#!/usr/bin/env bash
# CTest's emulator: runs one test program of the x86_64 build under the project's Wine.
# ./sondrel test exports the display and prefix; run alone, it brings up its own.
ROOT=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
source "$ROOT/scripts/lib.sh"
sondrel_in_env wine "$@"
