#!/usr/bin/env bash
# Sends the bench text through a microphone's noise suppression (the WebRTC audio processing of
# PulseAudio's module-echo-cancel, noise_suppression=1, no far-end signal) on a private PulseAudio
# server (scripts/pulse-loopback.sh), and prints the share of characters each framing loses, for
# the default and the room timing, calibrated. Real time: about a minute per timing.
#
#   bench/robustness/noise_suppression.sh [BUILD_DIR [KEEP_DIR]]
#
# With KEEP_DIR the recordings are kept there as TIMING.wav.
set -euo pipefail

build=${1:-build}
keep=${2:-}
root=$(cd "$(dirname "$0")/../.." && pwd)
for tool in "$build/tools/brindlemoor-send" "$build/tools/brindlemoor-receive"; do
  [[ -x $tool ]] || { echo "noise_suppression: no $tool (build it first)" >&2; exit 2; }
done
work=$(mktemp -d)
pulse_dir=
cleanup() {
  [[ -n ${recorder:-} ]] && kill "$recorder" 2>/dev/null || true
  [[ -n $pulse_dir ]] && "$root/scripts/pulse-loopback.sh" stop "$pulse_dir"
  rm -rf "$work"
}
trap cleanup EXIT

status=0
environment=$("$root/scripts/pulse-loopback.sh" start) || status=$?
((status == 0)) || exit "$status"
eval "$environment"
pulse_dir=$PULSE_LOOPBACK_DIR
# The far end plays into a sink of its own, silent: echo is not cancelled between a sink and
# its own monitor.
pactl load-module module-null-sink sink_name=far_end_out > /dev/null
pactl load-module module-echo-cancel source_name=suppressed sink_name=far_end \
  source_master=loop.monitor sink_master=far_end_out aec_method=webrtc \
  aec_args='"noise_suppression=1 analog_gain_control=0 digital_gain_control=0"' > /dev/null

# The text: two lines of prose and every byte 1..255 in a scrambled order.
python3 - "$work/text" <<'PY'
import sys
text = (b"The quick brown fox jumps over the lazy dog. 0123456789\n"
        b"Pack my box with five dozen liquor jugs! (x + y) * 2 = 42; #@%&~\n"
        + bytes((b * 167) % 256 for b in range(1, 256)))
open(sys.argv[1], "wb").write(text)
PY

lost() {  # lost RECEIVED: edit distance from the text over its length, in per cent
  python3 "$root/bench/robustness/lost_share.py" "$work/text" "$1"
}

echo "| timing | exact | robust |"
echo "|---|---|---|"
for timing in default room; do
  options=(--calibrate)
  [[ $timing == room ]] && options=(--room)
  "$build/tools/brindlemoor-send" "${options[@]}" --file "$work/text" -o "$work/sent.wav"
  parecord -d suppressed --rate=44100 --channels=1 --format=s16le --file-format=wav \
    "$work/heard.wav" &
  recorder=$!
  sleep 1
  paplay -d loop "$work/sent.wav"
  sleep 1
  kill "$recorder"
  wait "$recorder" 2>/dev/null || true
  recorder=
  [[ -n $keep ]] && cp "$work/heard.wav" "$keep/$timing.wav"
  row="| $timing"
  for framing in exact robust; do
    rm -rf "$work/out" && mkdir "$work/out"
    extra=()
    [[ $framing == robust ]] && extra=(--robust)
    "$build/tools/brindlemoor-receive" "$work/heard.wav" --output-dir "$work/out" "${extra[@]}" \
      > /dev/null 2>&1 || true
    row+=" | $(lost "$work/out/receive.txt")"
  done
  echo "$row |"
done
