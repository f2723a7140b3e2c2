# Shared by ./sondrel and the test wrappers: packages, builds, Wine prefix, display.
# Expects ROOT to be set to the repository root.
BUILD=${SONDREL_BUILD:-$ROOT/build}
export WINEPREFIX=${WINEPREFIX_OVERRIDE:-$BUILD/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# Keep Wine from offering to install its .NET and HTML engines (a dialog that waits for a person).
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

SONDREL_PACKAGES="g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
 mmdebstrap xvfb xauth x11-utils pulseaudio pulseaudio-utils googletest cmake ninja-build
 sox python3 g++ libsoxr-dev libsamplerate0-dev libspeexdsp-dev"

log() { echo "[sondrel] $*" >&2; }
source "$ROOT/scripts/capture.sh"
source "$ROOT/scripts/wineroot.sh"
SONDREL_ARCHES="i686 x86_64"

# Install the Debian packages that are missing (only on machines where we are root or can sudo).
sondrel_deps() {
  local missing=() p
  for p in $SONDREL_PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq >/dev/null
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Configures one build (i686 or x86_64) in $BUILD/TARGET, with its tests and benchmarks.
sondrel_configure() {
  local t=$1 dir="$BUILD/$1"
  case "$t" in i686 | x86_64) ;; *) echo "unknown target $t" >&2; return 2 ;; esac
  mkdir -p "$BUILD"   # the configure log lives beside the target's folder
  # Configure every time: a folder added to a list joins the build at once.
  cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$t.cmake" -DSONDREL_TESTS=ON >"$dir.configure.log" 2>&1 \
    || { cat "$dir.configure.log" >&2; return 1; }
}

# Configures and builds one build: all of it, or only the named CMake targets.
sondrel_build() {
  local t=$1 dir="$BUILD/$1"
  shift
  sondrel_configure "$t" || return
  local targets=()
  for name in "$@"; do targets+=(--target "$name"); done
  log "building $t${*:+ ($*)}"
  local rc=0
  cmake --build "$dir" "${targets[@]}" -- -j2 >"$dir/build.log" 2>&1 || rc=$?
  grep -vE '^(\[[0-9]+/[0-9]+\] |ninja: )' "$dir/build.log" >&2 || true
  return $rc
}

# The test project of both builds: one CTest run over $BUILD/i686 and $BUILD/x86_64,
# whose test names begin with the build they run on ("i686:", "x86_64:").
sondrel_test_project() {
  local t
  for t in $SONDREL_ARCHES; do sondrel_configure "$t" || return; done
  for t in $SONDREL_ARCHES; do echo "subdirs(\"$t\")"; done >"$BUILD/CTestTestfile.cmake"
}

# Builds what the tests chosen by these CTest arguments run: the whole of both
# builds for the full suite, only some test programs for a filtered run.
sondrel_build_for_tests() {
  sondrel_test_project || return
  local needs t targets
  needs=$(cd "$BUILD" && ctest --show-only=json-v1 "$@" | python3 "$ROOT/scripts/test_targets.py" "$BUILD") || return
  for t in $SONDREL_ARCHES; do
    if grep -qx "$t all" <<<"$needs"; then
      sondrel_build "$t" || return
    else
      mapfile -t targets < <(sed -n "s/^$t //p" <<<"$needs")
      [ ${#targets[@]} -eq 0 ] || sondrel_build "$t" "${targets[@]}" || return
    fi
  done
}

# Runs the calling script again ("$0" "$@") in a mount namespace of its own, once
# per run. Its mounts are shared inside it, so that every Wine command's namespace
# (scripts/in-wineroot.sh) and the wineserver's follow what the run mounts later,
# such as a test's small tmpfs; and they all end with the run, whatever becomes of
# it, touching nothing of the system's own mount table.
sondrel_run_namespace() {
  [ -n "${SONDREL_RUN_NS:-}" ] || [ "${SONDREL_ENV_UP:-}" = 1 ] && return 0
  local userns=()
  [ "$(id -u)" -eq 0 ] || userns=(--map-root-user)
  export SONDREL_RUN_NS=1
  exec unshare "${userns[@]}" --mount --propagation shared -- "$@"
}

# Runs a command with the display, wineserver and capture device up, takes them
# down again and returns the command's exit status.
sondrel_in_env() {
  sondrel_env_up || { sondrel_env_down; return 1; }
  local rc=0
  "$@" || rc=$?
  sondrel_env_down
  return $rc
}

# Run a Windows program of either build under the project's prefix; its exit status is returned.
sondrel_wine() {
  sondrel_in_wineroot wine "$@"
}

SONDREL_OWN_ENV=""
SONDREL_XVFB_PID=""
# Start a private display and a persistent wineserver, and create the prefix on first use.
# SONDREL_DISPLAY=:0 uses that (real) display instead of a private one, to watch and use the windows.
sondrel_env_up() {
  if [ "${SONDREL_ENV_UP:-}" = 1 ]; then return 0; fi
  SONDREL_OWN_ENV=1
  export SONDREL_ENV_UP=1
  if [ -n "${SONDREL_DISPLAY:-}" ]; then
    export DISPLAY="$SONDREL_DISPLAY"
  else
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    SONDREL_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  fi
  # Before any Wine process starts, so that all of them reach the same capture device.
  sondrel_capture_up || log "recording tests will find no capture device"
  trap sondrel_env_down EXIT
  trap 'exit 130' INT TERM
  sondrel_wineroot_ensure || return
  sondrel_prefix_ensure || return
  sondrel_in_wineroot wineserver -p
  # Start Wine's own services now, detached from our output: started by a test
  # instead, they would inherit its pipes and CTest would wait for them forever.
  sondrel_wine cmd /c exit >/dev/null 2>&1 </dev/null || true
  sondrel_probe_32bit
}

# Creates the prefix on first use. A prefix that another Wine made (the project's
# own default one only) is made again: Wine 10 would upgrade it in place.
sondrel_prefix_ensure() {
  local stamp="$WINEPREFIX/.sondrel-wine" recipe
  recipe=$(sondrel_wineroot_recipe)
  if [ -z "${WINEPREFIX_OVERRIDE:-}" ] && [ -d "$WINEPREFIX" ] && [ "$(cat "$stamp" 2>/dev/null)" != "$recipe" ]; then
    log "the Wine prefix in $WINEPREFIX was made by another Wine: making it again"
    rm -rf "$WINEPREFIX"
  fi
  [ -f "$WINEPREFIX/system.reg" ] && return 0
  log "creating Wine prefix in $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  sondrel_in_wineroot wineboot -i >/dev/null 2>&1 || true
  sondrel_in_wineroot wineserver -w
  # A crash must never wait on a person.
  sondrel_wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
  # There is no window manager on the virtual display: a window that Wine thinks
  # managed waits 2 s for one at every unmap. Let Wine manage none of them.
  sondrel_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true
  sondrel_in_wineroot wineserver -w
  [ -f "$WINEPREFIX/system.reg" ] || { log "Wine could not create its prefix in $WINEPREFIX"; return 1; }
  echo "$recipe" >"$stamp"
}

# Whether this machine runs the 32-bit build: a 32-bit program must run and see
# 4-byte pointers. When it cannot, SONDREL_NO_32BIT says why, and every run of a
# 32-bit program (scripts/wine-run.sh) fails with that message instead.
sondrel_probe_32bit() {
  local probe="$BUILD/i686/bin/archprobe.exe" out rc=0
  unset SONDREL_NO_32BIT
  [ -f "$probe" ] || return 0
  out=$(sondrel_wine "$probe" 32 2>&1 </dev/null) || rc=$?
  [ $rc -eq 0 ] && return 0
  export SONDREL_NO_32BIT="this machine cannot run the shipped 32-bit build under Wine (the probe exited $rc: $(tr '\n' ' ' <<<"$out"))"
  log "$SONDREL_NO_32BIT"
}

sondrel_env_down() {
  [ -n "$SONDREL_OWN_ENV" ] || return 0
  SONDREL_OWN_ENV=""
  sondrel_capture_down
  if sondrel_wineroot_ready; then
    sondrel_in_wineroot wineserver -k >/dev/null 2>&1 || true
    sondrel_in_wineroot wineserver -w >/dev/null 2>&1 || true
  fi
  if [ -n "$SONDREL_XVFB_PID" ]; then
    kill "$SONDREL_XVFB_PID" >/dev/null 2>&1 || true
    wait "$SONDREL_XVFB_PID" 2>/dev/null || true
  fi
  unset SONDREL_ENV_UP
}
