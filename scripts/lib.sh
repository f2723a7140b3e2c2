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
 wine wine64 fonts-wine xvfb xauth x11-utils pulseaudio pulseaudio-utils googletest cmake ninja-build
 sox python3"

log() { echo "[sondrel] $*" >&2; }
source "$ROOT/scripts/capture.sh"

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

# Configures one build (i686 or x86_64) in $BUILD/TARGET.
sondrel_configure() {
  local t=$1 dir="$BUILD/$1" tests=ON
  case "$t" in i686) tests=OFF ;; x86_64) ;; *) echo "unknown target $t" >&2; return 2 ;; esac
  mkdir -p "$BUILD"   # the configure log lives beside the target's folder
  # Configure every time: a folder added to a list joins the build at once.
  cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$t.cmake" -DSONDREL_TESTS=$tests >"$dir.configure.log" 2>&1 \
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

# Builds what the tests chosen by these CTest arguments run: the whole of both
# builds for the full suite, only some test programs for a filtered run.
sondrel_build_for_tests() {
  sondrel_configure x86_64 || return
  local needs
  needs=$(cd "$BUILD/x86_64" && ctest --show-only=json-v1 "$@" | python3 "$ROOT/scripts/test_targets.py" "$BUILD/x86_64/bin") \
    || return
  if grep -qx i686 <<<"$needs"; then sondrel_build i686 || return; fi
  if grep -qx all <<<"$needs"; then
    sondrel_build x86_64
  else
    local targets
    mapfile -t targets < <(grep -vx i686 <<<"$needs")
    [ ${#targets[@]} -eq 0 ] || sondrel_build x86_64 "${targets[@]}"
  fi
}

# Runs a command with the display, wineserver and capture device up, takes them
# down again and returns the command's exit status.
sondrel_in_env() {
  sondrel_env_up
  local rc=0
  "$@" || rc=$?
  sondrel_env_down
  return $rc
}

# Run a Windows program under the project's prefix; its exit status is returned.
sondrel_wine() {
  wine "$@"
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
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    log "creating Wine prefix in $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
    # A crash must never wait on a person.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
    # There is no window manager on the virtual display: a window that Wine thinks
    # managed waits 2 s for one at every unmap. Let Wine manage none of them.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true
    wineserver -w
  fi
  wineserver -p
  # Start Wine's own services now, detached from our output: started by a test
  # instead, they would inherit its pipes and CTest would wait for them forever.
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
  trap sondrel_env_down EXIT
}

sondrel_env_down() {
  [ -n "$SONDREL_OWN_ENV" ] || return 0
  SONDREL_OWN_ENV=""
  sondrel_capture_down
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  if [ -n "$SONDREL_XVFB_PID" ]; then
    kill "$SONDREL_XVFB_PID" >/dev/null 2>&1 || true
    wait "$SONDREL_XVFB_PID" 2>/dev/null || true
  fi
  unset SONDREL_ENV_UP
}
