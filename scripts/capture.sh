# The capture device of test runs, benchmarks and the demo (sourced by lib.sh).
# A private PulseAudio daemon, with its runtime folder in $BUILD/capture (never the
# user's session), whose default source is a stereo pipe source fed at real time by
# scripts/capture_feeder.py. Wine's wave input reaches it through PULSE_SERVER.
# SONDREL_FEED names the feeder's control file (scripts/feed.sh, host/CaptureFeed.h).
# The default sink, where Wine's wave output plays, is a null sink of its own
# (sondrel_out, 16-bit stereo 44100 Hz, no rewinds, which would cut the start of
# a stream from its monitor): the monitor holds exactly what the host played.
# The capture source's loopback stays on another (sondrel_null): the daemon
# would otherwise move it to a new default sink, mixing what the capture device
# hears into the output. Resampling is trivial: the daemon resamples a stream
# whose rate the client may change even at the sink's own rate, and only the
# trivial method leaves the samples unchanged.
# SONDREL_NO_CAPTURE=1 starts none: recording then uses the machine's own default input.

SONDREL_CAPTURE_DIR=""
SONDREL_FEEDER_PID=""

# Runs a PulseAudio command in the private daemon's environment (folder $1).
sondrel_capture_pulse() {
  local dir=$1
  shift
  env HOME="$dir/home" XDG_CONFIG_HOME="$dir/home" XDG_RUNTIME_DIR="$dir/run" PULSE_RUNTIME_PATH="$dir/run" "$@"
}

# Ends a daemon and a feeder left behind by an earlier run in this build folder.
sondrel_capture_kill() {
  local dir=$1 pid
  [ -d "$dir/run" ] || return 0
  sondrel_capture_pulse "$dir" pulseaudio --kill >/dev/null 2>&1 || true
  if [ -f "$dir/feeder.pid" ]; then
    pid=$(cat "$dir/feeder.pid" 2>/dev/null || true)
    # Only a feeder: a stale pid may belong to another program by now.
    if [ -n "$pid" ] && grep -q capture_feeder "/proc/$pid/cmdline" 2>/dev/null; then kill "$pid" 2>/dev/null || true; fi
  fi
}

# Starts the private daemon on the configuration in folder $1 (again, after a test
# stopped it: the feeder finds the new FIFO by itself).
sondrel_capture_daemon() {
  local dir=$1
  sondrel_capture_pulse "$dir" pulseaudio -n --daemonize=yes --exit-idle-time=-1 --use-pid-file=yes \
      --resample-method=trivial -F "$dir/pa.conf" --log-target="file:$dir/pa.log" >/dev/null 2>&1
}

sondrel_capture_up() {
  if [ "${SONDREL_NO_CAPTURE:-}" = 1 ]; then
    log "SONDREL_NO_CAPTURE=1: recording uses this machine's default input device"
    return 0
  fi
  [ -n "$BUILD" ] || return 1
  local dir="$BUILD/capture"
  sondrel_capture_kill "$dir"
  rm -rf "$dir"
  mkdir -p "$dir/run" "$dir/home" || return 1
  chmod 700 "$dir/run"
  cat >"$dir/pa.conf" <<CONF
load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/run/native
load-module module-pipe-source source_name=sondrel_capture file=$dir/source.fifo format=s16le rate=44100 channels=2
load-module module-null-sink sink_name=sondrel_null
load-module module-null-sink sink_name=sondrel_out format=s16le rate=44100 channels=2 norewinds=1
set-default-source sondrel_capture
set-default-sink sondrel_out
load-module module-loopback source=sondrel_capture sink=sondrel_null sink_dont_move=true
CONF
  # The daemon warns when it runs as root (CI does); it works the same.
  if ! sondrel_capture_daemon "$dir"; then
    log "the capture daemon did not start (see $dir/pa.log)"
    return 1
  fi
  export PULSE_SERVER="unix:$dir/run/native"
  export SONDREL_FEED="$dir/feed"
  export SONDREL_SPEAKERS=sondrel_out.monitor
  SONDREL_CAPTURE_DIR="$dir"
  python3 "$ROOT/scripts/capture_feeder.py" "$dir/source.fifo" "$SONDREL_FEED" </dev/null >"$dir/feeder.log" 2>&1 &
  SONDREL_FEEDER_PID=$!
  echo "$SONDREL_FEEDER_PID" >"$dir/feeder.pid"
  local i
  for i in $(seq 50); do
    # The pipe source makes its FIFO itself; the feeder opens it once it is there.
    if pactl info 2>/dev/null | grep -q "^Default Source: sondrel_capture$" &&
        "$ROOT/scripts/feed.sh" silence 2>/dev/null; then
      return 0
    fi
    sleep 0.1
  done
  log "the capture daemon or its feeder does not answer (see $dir/pa.log, $dir/feeder.log)"
  return 1
}

sondrel_capture_down() {
  [ -n "$SONDREL_CAPTURE_DIR" ] || return 0
  if [ -n "$SONDREL_FEEDER_PID" ]; then
    kill "$SONDREL_FEEDER_PID" >/dev/null 2>&1 || true
    wait "$SONDREL_FEEDER_PID" 2>/dev/null || true
  fi
  sondrel_capture_pulse "$SONDREL_CAPTURE_DIR" pulseaudio --kill >/dev/null 2>&1 || true
  SONDREL_CAPTURE_DIR=""
  SONDREL_FEEDER_PID=""
  unset PULSE_SERVER SONDREL_FEED SONDREL_SPEAKERS
}
