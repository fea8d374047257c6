#!/usr/bin/env bash
# End-to-end test on a real sound server: a private loopback PulseAudio, brindlemoor-receive
# listening on its default input, and a synthesised message played into the sink by another
# process. The receiver is stopped with SIGINT and "receive.txt" must hold exactly the text.
#
#   receive_loopback_test.sh RECEIVER LIVE_SYNTH SCENARIO
#
# Scenarios:
#   portaudio     the message played through PortAudio (the sender's output path), 11025 Hz
#   calibrated    calibration sequence, then text; an 11025 Hz 8-bit WAV through paplay
#   paplay-44100  text with bytes above 127; a 44100 Hz 16-bit WAV through paplay
#   unplugged     the server dies while the receiver listens; SIGINT still ends it, with status 2
#                 and a line saying the input never came back
#   restarted     the server dies and is started again on the same socket: the receiver reopens
#                 its input, says "input back", and a message played then is received
#
# Exit status 77 (skipped) when PulseAudio is not installed. Everything runs in mktemp
# directories and every process is stopped by its PID.
set -euo pipefail

receiver=$1
synth=$2
scenario=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
readonly kWaitTicks=400  # x 0.05 s = 20 s for anything the test waits for

command -v pulseaudio >/dev/null && command -v paplay >/dev/null || exit 77

eval "$("$root/scripts/pulse-loopback.sh" start)"
work=$(mktemp -d)
receiver_pid=
cleanup() {
  if [ -n "$receiver_pid" ] && kill -0 "$receiver_pid" 2>/dev/null; then
    kill -KILL "$receiver_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
  "$root/scripts/pulse-loopback.sh" stop "$PULSE_LOOPBACK_DIR"
}
trap cleanup EXIT

fail() {
  echo "FAIL ($scenario): $*" >&2
  echo "--- receiver's stderr:" >&2
  cat "$work/err" >&2 || true
  exit 1
}

# Waits until the command succeeds; fails after kWaitTicks or when the receiver has died.
wait_for() {
  local what=$1 tick
  shift
  for ((tick = 0; tick < kWaitTicks; tick++)); do
    "$@" && return 0
    kill -0 "$receiver_pid" 2>/dev/null || fail "the receiver died while waiting for $what"
    sleep 0.05
  done
  fail "timed out waiting for $what"
}

# Sends SIGINT and requires a clean exit with status $1 (default 0) within the time limit.
stop_receiver() {
  local expected=${1:-0}
  kill -INT "$receiver_pid"
  local tick
  for ((tick = 0; tick < kWaitTicks; tick++)); do
    kill -0 "$receiver_pid" 2>/dev/null || break
    sleep 0.05
  done
  kill -0 "$receiver_pid" 2>/dev/null && fail "the receiver did not stop after SIGINT"
  local status=0
  wait "$receiver_pid" || status=$?
  receiver_pid=
  [ "$status" -eq "$expected" ] || fail "the receiver exited with status $status"
}

mkdir "$work/out"
"$receiver" --output-dir "$work/out" >"$work/stdout" 2>"$work/err" &
receiver_pid=$!
wait_for "capture to run" grep -qs capturing "$work/err"

if [ "$scenario" = unplugged ]; then
  kill -KILL "$(cat "$PULSE_LOOPBACK_DIR/pulse.pid")"
  wait_for "the stall report" grep -qs "no sound has come" "$work/err"
  stop_receiver 2
  grep -qs "the input never came back" "$work/err" || fail "no word that the input never came back"
  echo "ok ($scenario)"
  exit 0
fi
if [ "$scenario" = restarted ]; then
  kill -KILL "$(cat "$PULSE_LOOPBACK_DIR/pulse.pid")"
  wait_for "the stall report" grep -qs "no sound has come" "$work/err"
  "$root/scripts/pulse-loopback.sh" restart "$PULSE_LOOPBACK_DIR"
  wait_for "the input back" grep -qs "input back" "$work/err"
  text=$'After the sound server came back.\n'
  "$synth" --play "$text" || fail "playing through PortAudio failed"
  wait_for "the text" grep -qsF "After the sound server came back." "$work/out/receive.txt"
  stop_receiver
  echo "ok ($scenario)"
  exit 0
fi

case "$scenario" in
  portaudio)
    text=$'Played through PortAudio: 0123456789 <>&~!\n'
    "$synth" --play "$text" || fail "playing through PortAudio failed"
    ;;
  calibrated)
    text=$'Calibrated, then text.\n'
    "$synth" --calibrate --wav "$work/message.wav" "$text"
    paplay "$work/message.wav"
    ;;
  paplay-44100)
    text=$'44.1 kHz \x01\x7f\x80\xc3\xa9\xfe\xff end\n'
    "$synth" --rate 44100 --bits 16 --wav "$work/message.wav" "$text"
    paplay "$work/message.wav"
    ;;
  *)
    fail "unknown scenario"
    ;;
esac

printf '%s' "$text" >"$work/expected"
expected_size=$(wc -c <"$work/expected")
text_complete() {
  [ -f "$work/out/receive.txt" ] && [ "$(wc -c <"$work/out/receive.txt")" -ge "$expected_size" ]
}
wait_for "the text" text_complete
stop_receiver

cmp "$work/expected" "$work/out/receive.txt" || {
  od -c "$work/out/receive.txt" >&2
  fail "receive.txt differs from the text sent"
}
cmp "$work/expected" "$work/stdout" || fail "standard output differs from the text sent"
if [ "$scenario" = calibrated ]; then
  [ "$(wc -l <"$work/out/flag.dat")" -eq 1 ] || fail "flag.dat should hold one line"
  grep -q : "$work/out/flag.dat" && fail "the calibration failed: $(cat "$work/out/flag.dat")"
else
  [ ! -e "$work/out/flag.dat" ] || fail "flag.dat was written without a calibration"
fi
echo "ok ($scenario)"
