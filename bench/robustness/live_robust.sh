#!/usr/bin/env bash
# Live `--robust` on a private PulseAudio server (scripts/pulse-loopback.sh): plays the bench text
# (calibrated) into the loopback sink while brindlemoor-receive --robust listens on its monitor,
# and prints, per timing, how late each character reaches standard output after its tone ended
# (median and largest, seconds, counted from when the player started), the receiver's CPU time
# over the wall time it listened (per cent of one core), how often its threads woke (context
# switches of all its threads per second: steadier than CPU ticks on a shared machine), and the
# share of characters lost live and by the same captured sound (--dump) decoded as a file. Real
# time: about 30 s (default) and 50 s (room) of sound.
#
# The loopback server's keep-alive reader (20 ms latency) is stopped once the receiver captures,
# so that the source runs at the receiver's own pace, as a microphone that only the receiver uses
# does. A source shared with a low-latency reader sends every 20 ms, and the PulseAudio client
# library inside the receiver then wakes about 70 times a second more (busy=1 keeps the reader).
#
#   [busy=1] bench/robustness/live_robust.sh [BUILD_DIR [TIMING...]]   (TIMING: default, room)
set -euo pipefail

build=${1:-build}
shift || true
timings=("$@")
((${#timings[@]})) || timings=(default room)
root=$(cd "$(dirname "$0")/../.." && pwd)
for tool in "$build/tools/brindlemoor-send" "$build/tools/brindlemoor-receive"; do
  [[ -x $tool ]] || { echo "live_robust: no $tool (build it first)" >&2; exit 2; }
done
work=$(mktemp -d)
pulse_dir=
receiver=
stamper=
cleanup() {
  [[ -n $receiver ]] && kill "$receiver" 2>/dev/null || true
  [[ -n $stamper ]] && kill "$stamper" 2>/dev/null || true
  [[ -n $pulse_dir ]] && "$root/scripts/pulse-loopback.sh" stop "$pulse_dir"
  rm -rf "$work"
}
trap cleanup EXIT
# Context switches, voluntary and not, of all threads of process $1 so far.
switches() {
  cat /proc/"$1"/task/*/status 2>/dev/null | awk '/ctxt_switches/ { n += $2 } END { print n + 0 }'
}

status=0
environment=$("$root/scripts/pulse-loopback.sh" start) || status=$?
((status == 0)) || exit "$status"
eval "$environment"
pulse_dir=$PULSE_LOOPBACK_DIR

python3 - "$work/text" <<'PY'
import sys
text = (b"The quick brown fox jumps over the lazy dog. 0123456789\n"
        b"Pack my box with five dozen liquor jugs! (x + y) * 2 = 42; #@%&~\n"
        + bytes((b * 167) % 256 for b in range(1, 256)))
open(sys.argv[1], "wb").write(text)
PY

echo "| timing | late, median (s) | late, largest (s) | CPU (% of a core) | wakeups/s | lost live | lost as a file |"
echo "|---|---|---|---|---|---|---|"
for timing in "${timings[@]}"; do
  options=(--calibrate)
  [[ $timing == room ]] && options=(--room)
  "$build/tools/brindlemoor-send" "${options[@]}" --file "$work/text" -o "$work/sent.wav"
  # The last timing's stderr goes first: its "capturing" must not pass for this receiver's.
  rm -rf "$work/live" "$work/file" "$work/stderr" && mkdir "$work/live" "$work/file"
  # The receiver's standard output goes through a stamper that notes when each byte arrived.
  mkfifo "$work/stdout"
  python3 -u - "$work/stdout" "$work/arrivals" <<'PY' &
import sys, time
with open(sys.argv[1], "rb", buffering=0) as pipe, open(sys.argv[2], "w") as out:
    while chunk := pipe.read(4096):
        now = time.monotonic()
        for byte in chunk:
            out.write(f"{now:.6f} {byte}\n")
PY
  stamper=$!
  "$build/tools/brindlemoor-receive" --robust --raw-stdout --output-dir "$work/live" \
    --dump "$work/heard.wav" > "$work/stdout" 2> "$work/stderr" &
  receiver=$!
  for ((tick = 0; tick < 200; tick++)); do
    grep -qs capturing "$work/stderr" && break
    sleep 0.05
  done
  grep -qs capturing "$work/stderr" || { echo "live_robust: the receiver did not start" >&2; exit 1; }
  if [[ ${busy:-0} != 1 && -f $pulse_dir/keepalive.pid ]]; then
    kill "$(cat "$pulse_dir/keepalive.pid")" 2>/dev/null || true
    rm -f "$pulse_dir/keepalive.pid"
    sleep 1  # the source settles at the receiver's pace
  fi
  ticks=$(getconf CLK_TCK)
  read -r -a stat < "/proc/$receiver/stat"
  cpu_start=$((stat[13] + stat[14]))
  wakeups_start=$(switches "$receiver")
  listen_start=$(python3 -c 'import time; print(f"{time.monotonic():.6f}")')
  paplay -d loop "$work/sent.wav"
  sleep 2  # the last characters: the robust framing waits for two periods after an onset
  read -r -a stat < "/proc/$receiver/stat"
  cpu_end=$((stat[13] + stat[14]))
  wakeups_end=$(switches "$receiver")
  listen_end=$(python3 -c 'import time; print(f"{time.monotonic():.6f}")')
  kill "$receiver"
  wait "$receiver" 2>/dev/null || true
  receiver=
  wait "$stamper" 2>/dev/null || true
  stamper=
  rm -f "$work/stdout"
  "$build/tools/brindlemoor-receive" "$work/heard.wav" --robust --output-dir "$work/file" \
    > /dev/null 2>&1 || true
  PYTHONPATH="$root/bench/robustness" python3 - "$work" "$timing" "$listen_start" "$listen_end" \
    "$((cpu_end - cpu_start))" "$ticks" "$((wakeups_end - wakeups_start))" <<'PY'
import difflib, statistics, sys, wave
from lost_share import lost_share
work, timing, start, end, cpu, ticks, wakeups = sys.argv[1:]
start, end, cpu, ticks, wakeups = float(start), float(end), int(cpu), int(ticks), int(wakeups)
text = open(f"{work}/text", "rb").read()

# When each text byte's tone ends in the sent sound: the sender's timings at 11025 Hz.
tone, gap, rounds = {"default": (460, 208, 1), "room": (240, 1000, 3)}[timing]
with wave.open(f"{work}/sent.wav") as w:
    rate = w.getframerate()
    frames = w.readframes(w.getnframes())
    samples = [int.from_bytes(frames[i:i + 2], "little", signed=True)
               for i in range(0, len(frames), 2)]
first = next(i for i, x in enumerate(samples) if abs(x) > 64) / rate
symbol = (tone + gap) / 11025.0
calibration = 9 * rounds
tone_end = [first + (calibration + k) * symbol + tone / 11025.0 for k in range(len(text))]

arrivals = [line.split() for line in open(f"{work}/arrivals")]
times = [float(t) for t, _ in arrivals]
got = bytes(int(b) for _, b in arrivals)
late = []
matcher = difflib.SequenceMatcher(None, text, got, autojunk=False)
for block in matcher.get_matching_blocks():
    for k in range(block.size):
        late.append(times[block.b + k] - start - tone_end[block.a + k])
median = statistics.median(late) if late else float("nan")
largest = max(late) if late else float("nan")
share = 100.0 * cpu / ticks / (end - start)
print(f"| {timing} | {median:.2f} | {largest:.2f} | {share:.2f} | {wakeups / (end - start):.0f} | "
      f"{lost_share(text, f'{work}/live/receive.txt'):.1f} % | {lost_share(text, f'{work}/file/receive.txt'):.1f} % |")
PY
done
