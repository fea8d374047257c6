#!/usr/bin/env bash
# The receiver window end to end on a virtual X display and a private loopback sound server:
# brindlemoor listens on the server's default input, live-synth plays half-width katakana (CP932
# bytes) into the sink, "receive.txt" must hold exactly those bytes, and a screenshot of the
# window showing them is saved. SIGTERM must then close the window with exit status 0.
#
#   window_xvfb_test.sh BRINDLEMOOR LIVE_SYNTH SHOT.png
#
# SHOT.png is the screenshot of the tick that received the most bytes (receive_greeting.sh).
# Exit status 77 (skipped) when PulseAudio, Xvfb or
# ImageMagick is missing. Everything runs in mktemp directories and every process is stopped by
# its PID.
set -euo pipefail

window=$(realpath "$1")
synth=$(realpath "$2")
shot=$(realpath -m "$3")
root=$(cd "$(dirname "$0")/../.." && pwd)
readonly kWaitTicks=400  # x 0.05 s = 20 s for anything the test waits for
readonly kPaintDelay=0.05  # s between a tick's file write and its repaint on the screen

for tool in pulseaudio xvfb-run Xvfb import; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed" >&2; exit 77; }
done

# Without a display of our own, start one and run this script again inside it.
if [ -z "${BRINDLEMOOR_XVFB:-}" ]; then
  export BRINDLEMOOR_XVFB=1
  exec xvfb-run -a -s "-screen 0 640x360x24 -nolisten tcp" "$0" "$@"
fi

eval "$("$root/scripts/pulse-loopback.sh" start)"
work=$(mktemp -d)
window_pid=
wm_pid=
cleanup() {
  cd /
  [ -n "$window_pid" ] && kill -KILL "$window_pid" 2>/dev/null || true
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  rm -rf "$work"
  "$root/scripts/pulse-loopback.sh" stop "$PULSE_LOOPBACK_DIR"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  echo "--- the window's stderr:" >&2
  cat "$work/err" >&2 || true
  exit 1
}

wait_for() {
  local what=$1 tick
  shift
  for ((tick = 0; tick < kWaitTicks; tick++)); do
    "$@" && return 0
    kill -0 "$window_pid" 2>/dev/null || fail "the window died while waiting for $what"
    sleep 0.05
  done
  fail "timed out waiting for $what"
}

# A window manager, when there is one, gives the screenshot its title bar.
if command -v openbox >/dev/null; then
  openbox >/dev/null 2>&1 &
  wm_pid=$!
  disown "$wm_pid"  # its end is no news
fi

cd "$work"
"$window" 2>"$work/err" &
window_pid=$!
wait_for "capture to run" grep -qs capturing "$work/err"

take_screenshot() {
  import -frame -window Brindlemoor "$1" 2>/dev/null || import -window root "$1"
}
# shellcheck source=tests/testing/receive_greeting.sh
. "$root/tests/testing/receive_greeting.sh"
receive_greeting "$shot" "$synth" --play "$kGreeting"
expected_size=$(wc -c <"$work/expected")

kill -TERM "$window_pid"
for ((tick = 0; tick < kWaitTicks; tick++)); do
  kill -0 "$window_pid" 2>/dev/null || break
  sleep 0.05
done
status=0
wait "$window_pid" || status=$?
window_pid=
[ "$status" -eq 0 ] || fail "the window exited with status $status after SIGTERM"

cmp "$work/expected" receive.txt || { od -c receive.txt >&2; fail "receive.txt differs"; }
[ ! -e flag.dat ] || fail "flag.dat was written without a calibration"
echo "ok: $expected_size bytes received in $shots ticks; screenshot of $best bytes in $shot"
