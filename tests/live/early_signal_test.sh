#!/usr/bin/env bash
# SIGINT and SIGTERM that come while brindlemoor-receive is still starting (opening PortAudio,
# which starts threads, and the stream) must end it cleanly: status 0 within a few seconds and a
# "stopped by" line, never a hang or a death by the signal. Each try starts the receiver in the
# background, as a script does (so SIGINT comes in ignored from the shell), waits until it runs
# (its signal mask shows both signals blocked, the first thing it does), then signals it after
# 0 to 10 ms.
#
#   early_signal_test.sh RECEIVER [TRIES]
#
# Exit status 77 (skipped) when PulseAudio is not installed. Every process is stopped by its PID.
set -euo pipefail

receiver=$1
tries=${2:-24}
name=$(basename "$receiver")
root=$(cd "$(dirname "$0")/../.." && pwd)
readonly kWaitTicks=200  # x 0.05 s = 10 s for the receiver to end
readonly kBlocked=$(((1 << (2 - 1)) | (1 << (15 - 1))))  # SIGINT and SIGTERM in a SigBlk mask

command -v pulseaudio >/dev/null || exit 77
eval "$("$root/scripts/pulse-loopback.sh" start)"
work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill -KILL "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
  "$root/scripts/pulse-loopback.sh" stop "$PULSE_LOOPBACK_DIR"
}
trap cleanup EXIT

fail() {
  echo "FAIL (try $try, SIG$signal after ${delay}s): $*" >&2
  cat "$work/err" >&2 || true
  exit 1
}

# True once the receiver (not the shell's child before it runs the receiver, whose mask can hold
# the signals for a moment) has blocked both signals.
blocked() {
  local status mask
  status=$(cat "/proc/$pid/status" 2>/dev/null) || return 1
  [[ $status == *"Name:"*"${name:0:15}"* ]] || return 1
  mask=$(sed -n 's/^SigBlk:[[:space:]]*//p' <<<"$status")
  [ -n "$mask" ] && (((16#$mask & kBlocked) == kBlocked))
}

for ((try = 0; try < tries; try++)); do
  signal=$([ $((try % 2)) -eq 0 ] && echo INT || echo TERM)
  delay=0.$(printf '%03d' $((try % 11)))
  "$receiver" --output-dir "$work" >/dev/null 2>"$work/err" &
  pid=$!
  until blocked; do
    kill -0 "$pid" 2>/dev/null || fail "the receiver ended before it was signalled"
  done
  sleep "$delay"
  kill -"$signal" "$pid"
  for ((tick = 0; tick < kWaitTicks; tick++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  kill -0 "$pid" 2>/dev/null && fail "still running 10 s after the signal"
  status=0
  wait "$pid" || status=$?
  pid=
  [ "$status" -eq 0 ] || fail "exit status $status"
  grep -q "stopped by" "$work/err" || fail "no 'stopped by' line"
done
echo "ok: $tries early signals ended the receiver cleanly"
