#!/usr/bin/env bash
# Runs one command inside the Wine root, in the private mount namespace that
# scripts/wineroot.sh made for it (never call it outside one: the mounts would
# stay). The folders a run reads and writes are bound at the same paths, so a
# Z:\ path or a relative path means the same file inside and out; the command's
# exit status is returned.
#   in-wineroot.sh WINEROOT REPOSITORY BUILD PREFIX -- COMMAND ARGS...
set -euo pipefail
root=$1 repo=$2 build=$3 prefix=$4
shift 4
[ "$1" = -- ] && shift

bound=()
# Binds a folder of the system at the same path in the root (recursively, so that a
# file system mounted below it, say a test's small tmpfs, comes along), unless it is
# missing or a folder bound already holds it.
bind() {
  local dir b
  dir=$(readlink -f "$1" 2>/dev/null) || return 0
  [ -d "$dir" ] || return 0
  for b in "${bound[@]}"; do
    case "$dir/" in "$b"/*) return 0 ;; esac
  done
  mkdir -p "$root$dir"
  mount --rbind "$dir" "$root$dir"
  bound+=("$dir")
}
# Where people and tests keep files first (before the root's own system mounts,
# which a recursive bind of a folder holding the root would otherwise copy).
for dir in "$repo" "$build" "$prefix" "$PWD" /work /home /root /mnt /media /srv; do bind "$dir"; done
for dir in /proc /sys /dev /tmp /run/user; do bind "$dir"; done

# Only what Wine and the programs need crosses over: the display, Wine's settings,
# the capture device, the project's own variables and the locale.
vars=(PATH=/usr/bin:/bin "HOME=${HOME:-/root}")
while IFS= read -r name; do
  case "$name" in
    DISPLAY | XAUTHORITY | XDG_RUNTIME_DIR | LANG | LC_* | TZ | WINE* | PULSE_* | SONDREL_*) vars+=("$name=${!name}") ;;
  esac
done < <(compgen -e)
exec chroot "$root" /usr/bin/env -i --chdir="$PWD" "${vars[@]}" "$@"
