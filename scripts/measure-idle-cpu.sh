#!/usr/bin/env bash
# Measures the CPU time the live receiver takes while it listens to silence: starts a private
# loopback PulseAudio, starts brindlemoor-receive on its default input, waits until it captures,
# then reads its utime + stime from /proc over a fixed interval.
#
#   scripts/measure-idle-cpu.sh [BUILD_DIR] [SECONDS]      (defaults: build, 20)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --test  # the loopback sound server
build=${1:-build}
seconds=${2:-20}
receiver=$build/tools/brindlemoor-receive
[ -x "$receiver" ] || { echo "no $receiver; build first" >&2; exit 1; }

eval "$(scripts/pulse-loopback.sh start)"
work=$(mktemp -d)
receiver_pid=
cleanup() {
  [ -n "$receiver_pid" ] && kill -INT "$receiver_pid" 2>/dev/null && wait "$receiver_pid" || true
  rm -rf "$work"
  scripts/pulse-loopback.sh stop "$PULSE_LOOPBACK_DIR"
}
trap cleanup EXIT

"$receiver" --output-dir "$work" >"$work/out" 2>"$work/err" &
receiver_pid=$!
for ((tick = 0; tick < 400; tick++)); do
  grep -q capturing "$work/err" && break
  kill -0 "$receiver_pid" 2>/dev/null || { cat "$work/err" >&2; exit 1; }
  sleep 0.05
done
grep -q capturing "$work/err" || { echo "the receiver never started capturing" >&2; exit 1; }
sleep 1  # let start-up work settle

# Fields 14 and 15 of /proc/PID/stat (counted after the parenthesised command name).
cpu_ticks() { awk '{sub(/^.*\) /, ""); print $12 + $13}' "/proc/$1/stat"; }
pulse_pid=$(cat "$PULSE_LOOPBACK_DIR/pulse.pid")
r0=$(cpu_ticks "$receiver_pid") p0=$(cpu_ticks "$pulse_pid") t0=$(date +%s.%N)
sleep "$seconds"
r1=$(cpu_ticks "$receiver_pid") p1=$(cpu_ticks "$pulse_pid") t1=$(date +%s.%N)
hz=$(getconf CLK_TCK)
awk -v r="$((r1 - r0))" -v p="$((p1 - p0))" -v hz="$hz" -v t0="$t0" -v t1="$t1" 'BEGIN {
  wall = t1 - t0
  printf "wall %.1f s; brindlemoor-receive %.2f s CPU = %.2f %% of one core; ", wall, r / hz, 100 * r / hz / wall
  printf "the loopback server %.2f s = %.2f %%\n", p / hz, 100 * p / hz / wall
}'
