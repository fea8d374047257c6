#!/usr/bin/env bash
# The receiver window end to end on a virtual X display and a private loopback sound server:
# brindlemoor listens on the server's default input, live-synth plays half-width katakana (CP932
# bytes) into the sink, "receive.txt" must hold exactly those bytes, and a screenshot of the
# window showing them is saved. SIGTERM must then close the window with exit status 0.
#
#   window_xvfb_test.sh BRINDLEMOOR LIVE_SYNTH SHOT.png
#
# The window shows one receive tick's text at a time, and the next empty tick clears it, so a
# screenshot is taken right after each tick that appends to "receive.txt"; SHOT.png is the one
# of the tick that received the most bytes. Exit status 77 (skipped) when PulseAudio, Xvfb or
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

# ｺﾝﾆﾁﾊ in CP932: half-width katakana, one byte each. Five symbols last about 0.3 s, so the
# greeting can fall into one receive tick; whether it does depends on where the 500 ms tick
# grid lies, so it is sent up to three times, each a third of a tick later than the one before,
# until one tick has shown it whole.
text=$'\xba\xdd\xc6\xc1\xca'
readonly kDelays=(0 0.17 0.34)  # s before each sending
text_size=$(printf '%s' "$text" | wc -c)

received=0
best=0
shots=0
# Takes a screenshot after every tick that appends to receive.txt until it holds $1 bytes.
receive_until() {
  local want=$1 tick size chunk
  for ((tick = 0; tick < kWaitTicks * 5 && received < want; tick++)); do
    kill -0 "$window_pid" 2>/dev/null || fail "the window died while receiving"
    size=$([ -f receive.txt ] && wc -c <receive.txt || echo 0)
    if ((size > received)); then
      chunk=$(tail -c +$((received + 1)) receive.txt | head -c $((size - received)) | od -An -tx1)
      sleep "$kPaintDelay"
      shots=$((shots + 1))
      echo "tick with $((size - received)) bytes:$chunk"
      import -frame -window Brindlemoor "$work/shot-$shots.png" 2>/dev/null ||
        import -window root "$work/shot-$shots.png"
      if ((size - received > best)); then
        best=$((size - received))
        cp "$work/shot-$shots.png" "$shot"
      fi
      received=$size
    fi
    sleep 0.01
  done
  ((received >= want)) || fail "timed out waiting for the text ($received of $want bytes)"
}

: >"$work/expected"
for delay in "${kDelays[@]}"; do
  printf '%s' "$text" >>"$work/expected"
  # Played in the background: the first ticks arrive while it still plays.
  (sleep "$delay" && exec "$synth" --play "$text") &
  synth_pid=$!
  receive_until "$(wc -c <"$work/expected")"
  wait "$synth_pid" || fail "playing the message failed"
  ((best < text_size)) || break
done
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
