#!/usr/bin/env bash
# Counts the characters each framing makes up in sound that holds no symbol: ten minutes (or
# SECONDS) of digital silence, room noise (pink and brown noise), synthetic music and espeak-ng
# speech (skipped when espeak-ng is missing). Prints a table: sound, exact, robust.
#
#   bench/robustness/made_up_characters.sh [BUILD_DIR [SECONDS]]
set -euo pipefail

build=${1:-build}
seconds=${2:-600}
here=$(cd "$(dirname "$0")" && pwd)
receive="$build/tools/brindlemoor-receive"
[[ -x $receive ]] || { echo "made_up_characters: no $receive (build it first)" >&2; exit 2; }
command -v sox > /dev/null || { echo "made_up_characters: sox is missing" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sox -n -r 11025 -b 16 -c 1 "$work/silence.wav" trim 0 "$seconds"
sox -R -n -r 11025 -b 16 -c 1 "$work/pink.wav" synth "$seconds" pinknoise vol 0.5
sox -R -n -r 11025 -b 16 -c 1 "$work/brown.wav" synth "$seconds" brownnoise vol 0.5
sox -m "$work/pink.wav" "$work/brown.wav" "$work/room-noise.wav"
python3 "$here/synthetic_music.py" "$work/music.wav" "$seconds" 1
sounds=(silence room-noise music)
if command -v espeak-ng > /dev/null; then
  # A few voices and pitches reading prose, joined until the length is reached.
  text="The receiver listens all day in an office where people talk, phones ring and the radio
plays. Nothing that it hears there should turn into text. Seven hundred and forty-two parcels
left the depot on Tuesday morning, and the driver said the roads were clear all the way north."
  parts=()
  index=0
  for voice in en en-us en+f3 en-gb+m2 en+f4; do
    for pitch in 30 50 70; do
      espeak-ng -v "$voice" -p "$pitch" -s 160 -w "$work/speech-$index.wav" "$text"
      parts+=("$work/speech-$index.wav")
      index=$((index + 1))
    done
  done
  sox "${parts[@]}" -r 11025 -c 1 "$work/speech-once.wav"
  once=$(soxi -D "$work/speech-once.wav")
  repeats=$(awk -v s="$seconds" -v o="$once" 'BEGIN { print int(s / o) }')
  sox "$work/speech-once.wav" "$work/speech.wav" repeat "$repeats"
  sounds+=(speech)
fi

count() {  # count SOUND [--robust]
  local out="$work/out"
  rm -rf "$out"
  mkdir -p "$out"
  "$receive" "$work/$1.wav" --output-dir "$out" "${@:2}" > /dev/null 2>&1 || true
  if [[ -f $out/receive.txt ]]; then wc -c < "$out/receive.txt"; else echo 0; fi
}

echo "| sound ($seconds s) | exact | robust |"
echo "|---|---|---|"
for sound in "${sounds[@]}"; do
  echo "| $sound | $(count "$sound") | $(count "$sound" --robust) |"
done
