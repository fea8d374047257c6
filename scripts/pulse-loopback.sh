#!/usr/bin/env bash
# A private PulseAudio server with a null sink "loop" whose monitor is the default source, so
# that whatever one process plays another can capture, on a machine without sound hardware.
# Everything lives in one mktemp directory; the server is stopped by PID, never by name.
#
#   pulse-loopback.sh start          starts a server; prints `export ...` lines for eval (exit 77
#                                    and the reason on stderr if PulseAudio is missing)
#   pulse-loopback.sh stop DIR       stops the server started in DIR and removes DIR
#   pulse-loopback.sh restart DIR    starts the server of DIR again on the same socket after it
#                                    died (run with the environment `start` printed)
#   pulse-loopback.sh run CMD ARGS   starts a server, runs CMD with its environment, stops it
#                                    and exits with CMD's status (77 if PulseAudio is missing)
#
# ALSA reads its configuration when a program starts, so start the server before the program
# that captures or plays.
set -euo pipefail

readonly kSkip=77
readonly kStartTimeoutTicks=200  # x 0.05 s

die() {
  echo "pulse-loopback: $*" >&2
  exit 1
}

stop_server() {
  local dir=$1 name pid tick
  [ -d "$dir" ] || return 0
  for name in keepalive pulse; do
    [ -f "$dir/$name.pid" ] || continue
    pid=$(cat "$dir/$name.pid")
    kill "$pid" 2>/dev/null || continue
    for ((tick = 0; tick < 100; tick++)); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.05
    done
    kill -9 "$pid" 2>/dev/null || true
  done
  rm -rf "$dir"
}

# Starts the server; sets DIR and exports the environment in this shell. Returns kSkip after
# saying so on stderr when PulseAudio is missing.
start_server() {
  local tool
  for tool in pulseaudio pactl parec; do
    if ! command -v "$tool" >/dev/null; then
      echo "pulse-loopback: PulseAudio is not installed ($tool not found; apt-get install" \
        "pulseaudio pulseaudio-utils); skipped" >&2
      return $kSkip
    fi
  done
  DIR=$(mktemp -d "${TMPDIR:-/tmp}/pulse-loopback.XXXXXX")
  export XDG_RUNTIME_DIR=$DIR/run PULSE_RUNTIME_PATH=$DIR/run/pulse PULSE_STATE_PATH=$DIR/state
  export XDG_CONFIG_HOME=$DIR/config PULSE_SERVER=unix:$DIR/native PULSE_LOOPBACK_DIR=$DIR
  mkdir -p "$XDG_RUNTIME_DIR" "$PULSE_STATE_PATH" && chmod 700 "$XDG_RUNTIME_DIR"
  cat >"$DIR/loop.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 auth-cookie-enabled=0 socket=$DIR/native
load-module module-null-sink sink_name=loop sink_properties=device.description=Loopback
set-default-sink loop
set-default-source loop.monitor
PA
  launch_server
}

# Starts the server configured in $DIR, and a reader that keeps its monitor running.
launch_server() {
  # setsid: the server must not receive the Ctrl-C meant for a test.
  setsid pulseaudio --daemonize=no --system=false -n -F "$DIR/loop.pa" --exit-idle-time=-1 \
    --realtime=no --high-priority=no --disable-shm=yes --log-target="file:$DIR/pulse.log" \
    </dev/null >/dev/null 2>&1 &
  echo $! >"$DIR/pulse.pid"
  local tick
  for ((tick = 0; ; tick++)); do
    pactl info >/dev/null 2>&1 && break
    if ((tick >= kStartTimeoutTicks)) || ! kill -0 "$(cat "$DIR/pulse.pid")" 2>/dev/null; then
      cat "$DIR/pulse.log" >&2 2>/dev/null || true
      stop_server "$DIR"
      die "the server did not start"
    fi
    sleep 0.05
  done
  # An idle monitor source is suspended, and the first captured block can then take up to 2 s
  # to arrive; a reader that never stops keeps it running.
  setsid parec --raw --latency-msec=20 -d loop.monitor </dev/null >/dev/null 2>&1 &
  echo $! >"$DIR/keepalive.pid"
  for ((tick = 0; tick < kStartTimeoutTicks; tick++)); do
    [ -n "$(pactl list short source-outputs 2>/dev/null)" ] && break
    sleep 0.05
  done
}

case "${1:-}" in
  -h | --help)
    sed -n '2,/^$/s/^# \{0,1\}//p' "$0"
    ;;
  start)
    start_server || exit $?
    for name in XDG_RUNTIME_DIR PULSE_RUNTIME_PATH PULSE_STATE_PATH XDG_CONFIG_HOME PULSE_SERVER \
      PULSE_LOOPBACK_DIR; do
      printf 'export %s=%q\n' "$name" "${!name}"
    done
    ;;
  restart)
    [ -n "${2:-}" ] || die "usage: $0 restart DIR"
    DIR=$2
    for name in keepalive pulse; do
      [ -f "$DIR/$name.pid" ] && kill -9 "$(cat "$DIR/$name.pid")" 2>/dev/null || true
    done
    launch_server
    ;;
  stop)
    [ -n "${2:-}" ] || die "usage: $0 stop DIR"
    stop_server "$2"
    ;;
  run)
    shift
    [ $# -gt 0 ] || die "usage: $0 run CMD [ARGS...]"
    status=0
    start_server || status=$?
    ((status == kSkip)) && exit $kSkip
    trap 'stop_server "$DIR"' EXIT
    "$@" || status=$?
    exit $status
    ;;
  *)
    die "usage: $0 start | stop DIR | run CMD [ARGS...] | --help"
    ;;
esac
