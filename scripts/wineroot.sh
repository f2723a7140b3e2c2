# The Wine that runs both builds (sourced by lib.sh): Wine 10 from Debian trixie
# in its WoW64 mode, which runs 32-bit Windows programs inside a 64-bit process
# with no 32-bit Linux library. Trixie's Wine needs a newer C library than
# Debian 12 has, so it lives in a root of its own in $BUILD/wineroot, made with
# mmdebstrap and never installed into the system. Every Wine command runs in it
# through a private mount namespace (scripts/in-wineroot.sh), with the folders a
# run needs bound at the same paths, so that Z:\ paths mean the same inside and
# out. The namespace and its mounts end with the command.

SONDREL_WINEROOT="$BUILD/wineroot"
SONDREL_WINEROOT_SUITE=trixie
SONDREL_WINEROOT_MIRROR=${SONDREL_DEBIAN_MIRROR:-http://deb.debian.org/debian}
# Wine, its fonts (Tahoma and Small Fonts, which the dialogs and skin font ask for),
# and the libraries its X11, sound and font code opens at run time, which apt would
# only recommend.
SONDREL_WINEROOT_PACKAGES="wine wine64 libwine fonts-wine libxcursor1 libxi6 libxrandr2 libxrender1
 libxinerama1 libxcomposite1 libxfixes3 libxxf86vm1 libpulse0 libfreetype6 libfontconfig1"

# What the root is made of; a change to any of it makes the root again.
sondrel_wineroot_recipe() {
  { echo "$SONDREL_WINEROOT_SUITE $SONDREL_WINEROOT_MIRROR $SONDREL_WINEROOT_PACKAGES"
    cat "$ROOT/scripts/wineroot-hook.sh"; } | sha256sum | cut -c1-16
}

sondrel_wineroot_ready() {
  [ "$(cat "$SONDREL_WINEROOT/.sondrel-recipe" 2>/dev/null)" = "$(sondrel_wineroot_recipe)" ]
}

# Makes the root when it is missing or its recipe changed (about 300 MB of packages).
sondrel_wineroot_ensure() {
  sondrel_wineroot_ready && return 0
  local sudo="" new="$SONDREL_WINEROOT.new"
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  log "making the Wine root in $SONDREL_WINEROOT (Wine 10 from Debian $SONDREL_WINEROOT_SUITE; once per build folder)"
  $sudo rm -rf "$new" "$SONDREL_WINEROOT"
  if ! $sudo env -u TMPDIR mmdebstrap --quiet --mode=root --variant=apt --architectures=amd64,i386 \
      --include="$(echo $SONDREL_WINEROOT_PACKAGES | tr ' ' ',')" \
      --customize-hook="bash '$ROOT/scripts/wineroot-hook.sh' \"\$1\"" \
      "$SONDREL_WINEROOT_SUITE" "$new" "$SONDREL_WINEROOT_MIRROR" >"$BUILD/wineroot.log" 2>&1; then
    cat "$BUILD/wineroot.log" >&2
    log "the Wine root could not be made (log: $BUILD/wineroot.log)"
    $sudo rm -rf "$new"
    return 1
  fi
  sondrel_wineroot_recipe | $sudo tee "$new/.sondrel-recipe" >/dev/null
  $sudo mv "$new" "$SONDREL_WINEROOT"
}

# Runs a command of the root (wine, wineserver, wineboot...) with this run's
# environment; its exit status is returned.
sondrel_in_wineroot() {
  local userns=()
  # Without root, a user namespace gives the mount namespace and chroot their rights.
  [ "$(id -u)" -eq 0 ] || userns=(--map-root-user)
  unshare "${userns[@]}" --mount --propagation slave -- \
    bash "$ROOT/scripts/in-wineroot.sh" "$SONDREL_WINEROOT" "$ROOT" "$BUILD" "$WINEPREFIX" -- "$@"
}
