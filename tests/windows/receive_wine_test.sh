#!/usr/bin/env bash
# brindlemoor-receive.exe end to end under wine, against the Linux programs of the same sources.
#
#   receive_wine_test.sh WINE RECEIVE_EXE LINUX_TOOLS SCENARIO
#
# LINUX_TOOLS is the folder of the Linux brindlemoor-send, brindlemoor-channel and
# brindlemoor-receive; they synthesise the messages and give the bytes to compare with.
# Scenarios:
#   live         text with line feeds, 11025 Hz 8-bit, played with paplay into a private
#                loopback PulseAudio while the receiver listens on the default wave-in device;
#                Ctrl-C (SIGINT, which wine turns into the console's Ctrl-C) must end it with
#                status 0, and "receive.txt" must hold the text with CR LF for each line feed
#   calibrated   the same with a calibration sequence first, 44100 Hz 16-bit, bytes above 127;
#                "flag.dat" holds one completion line
#   no-input     no sound server and no sound card: one line naming waveInOpen, status 2, and
#                no output file
#   replay       recordings (the example, a calibrated 44100 Hz message, the same through a
#                noisy room, 8-bit at 22050 Hz) decoded with --input by both receivers: the
#                same "receive.txt", "flag.dat" and standard output, apart from CR LF
#   names        recordings and output folders named in Japanese and with accents, each under
#                the other language's code page: the same bytes as the Linux receiver's, and a
#                missing file's name shown in UTF-8 on a pipe
#   sender       brindlemoor-send.exe (beside RECEIVE_EXE) writes a WAV, from a text file, both
#                with non-ASCII names, that the Linux receiver decodes to the text exactly
#
# Runs inside the wine prefix that scripts/windows.sh test sets up (WINEPREFIX); exit status 77
# (skipped) when PulseAudio or the Linux programs are missing. Everything lives in a mktemp
# folder and every process is stopped by its PID.
set -euo pipefail

wine=$1
receiver=$(realpath "$2")
linux=$(realpath -m "$3")
scenario=$4
root=$(cd "$(dirname "$0")/../.." && pwd)
readonly kWaitTicks=400  # x 0.05 s = 20 s for anything the test waits for

for tool in brindlemoor-send brindlemoor-channel brindlemoor-receive; do
  [ -x "$linux/$tool" ] || {
    echo "skipped: no Linux $tool in $linux (build the Linux tree first)" >&2
    exit 77
  }
done

work=$(mktemp -d)
receiver_pid=
pulse_dir=
cleanup() {
  cd /
  if [ -n "$receiver_pid" ] && kill -0 "$receiver_pid" 2>/dev/null; then
    kill -KILL "$receiver_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
  [ -z "$pulse_dir" ] || "$root/scripts/pulse-loopback.sh" stop "$pulse_dir"
}
trap cleanup EXIT

fail() {
  echo "FAIL ($scenario): $*" >&2
  [ ! -s "$work/err" ] || { echo "--- receiver's stderr:" >&2; cat "$work/err" >&2; }
  exit 1
}

# What the Windows receiver writes for bytes the Linux one writes: each line feed as CR LF.
with_crlf() { perl -0777 -pe 's/\n/\r\n/g' "$1"; }

# Both files must exist or both be absent; the Windows one must be the Linux one with CR LF.
same_bytes() {
  local linux_file=$1 windows_file=$2
  if [ ! -e "$linux_file" ]; then
    [ ! -e "$windows_file" ] || fail "$(basename "$windows_file") written on Windows only"
    return 0
  fi
  [ -e "$windows_file" ] || fail "$(basename "$windows_file") missing on Windows"
  cmp -s <(with_crlf "$linux_file") "$windows_file" || {
    echo "--- Linux, with CR LF:" >&2
    with_crlf "$linux_file" | od -c | head -20 >&2
    echo "--- Windows:" >&2
    od -c "$windows_file" | head -20 >&2
    fail "$(basename "$windows_file") differs from the Linux receiver's ($3)"
  }
}

replay() {
  local recordings=("$work/example.wav" "$work/calibrated-44100.wav" "$work/room.wav"
    "$work/bytes-22050.wav")
  cp "$root/examples/hello.wav" "$work/example.wav"
  "$linux/brindlemoor-send" --calibrate --rate 44100 --bits 16 -o "$work/calibrated-44100.wav" \
    $'After a calibration:\nline two\n' >/dev/null
  "$linux/brindlemoor-channel" "$work/calibrated-44100.wav" "$work/room.wav" --reverb mild \
    --snr 20 --seed 3 --clock 0.5 >/dev/null
  # Every byte but 0, and a line feed on its own and after a carriage return.
  printf "$(printf '\\%03o' $(seq 1 255))\n\r\n" >"$work/bytes.txt"
  "$linux/brindlemoor-send" --rate 22050 --bits 8 -o "$work/bytes-22050.wav" \
    --file "$work/bytes.txt" >/dev/null
  local recording name
  for recording in "${recordings[@]}"; do
    name=$(basename "$recording" .wav)
    mkdir "$work/$name-linux" "$work/$name-windows"
    "$linux/brindlemoor-receive" --input "$recording" --output-dir "$work/$name-linux" \
      >"$work/$name-linux/stdout" 2>"$work/err" || fail "the Linux receiver failed on $name"
    "$wine" "$receiver" --input "$recording" --output-dir "$work/$name-windows" \
      >"$work/$name-windows/stdout" 2>"$work/err" || fail "the Windows receiver failed on $name"
    [ -s "$work/$name-linux/receive.txt" ] || fail "nothing decoded from $name"
    same_bytes "$work/$name-linux/receive.txt" "$work/$name-windows/receive.txt" "$name"
    same_bytes "$work/$name-linux/flag.dat" "$work/$name-windows/flag.dat" "$name"
    same_bytes "$work/$name-linux/stdout" "$work/$name-windows/stdout" "$name"
  done
  [ "$(wc -l <"$work/calibrated-44100-windows/flag.dat")" -eq 1 ] ||
    fail "the calibrated recording should give one line in flag.dat"
  echo "ok ($scenario: ${#recordings[@]} recordings)"
}

names() {
  # Each row: locale for wine (its ANSI code page), recording, output folder.
  local rows=("C.UTF-8|日本語の録音.wav|受信フォルダ" "ja_JP.UTF-8|Ünïcødé café.wav|Dossier été")
  local row locale recording folder
  for row in "${rows[@]}"; do
    IFS='|' read -r locale recording folder <<<"$row"
    locale -a 2>/dev/null | grep -qix "${locale/UTF-8/utf-\?8}" || locale=C.UTF-8
    cp "$root/examples/hello.wav" "$work/$recording"
    mkdir "$work/$folder" "$work/$folder-linux"
    "$linux/brindlemoor-receive" --input "$work/$recording" --output-dir "$work/$folder-linux" \
      >/dev/null 2>"$work/err" || fail "the Linux receiver failed on $recording"
    LANG=$locale "$wine" "$receiver" "$recording" --output-dir "$folder" >/dev/null \
      2>"$work/err" || fail "the Windows receiver failed on $recording in $folder ($locale)"
    same_bytes "$work/$folder-linux/receive.txt" "$work/$folder/receive.txt" "$recording"
    local status=0
    LANG=$locale "$wine" "$receiver" --input "$work/なし-$recording" >/dev/null 2>"$work/err" ||
      status=$?
    [ "$status" -eq 2 ] || fail "a missing $recording gave status $status, not 2"
    grep -qF "なし-$recording: no such file" "$work/err" || fail "the missing file's name is garbled"
  done
  echo "ok ($scenario: ${#rows[@]} names)"
}

sender() {
  local send_exe
  send_exe=$(dirname "$receiver")/brindlemoor-send.exe
  local text=$'Sent from Windows: caf\xc3\xa9\n'
  printf '%s' "$text" >"$work/本文 é.txt"
  "$wine" "$send_exe" --calibrate --rate 22050 --bits 8 --file "本文 é.txt" -o "送信 é.wav" \
    2>"$work/err" || fail "brindlemoor-send.exe failed"
  mkdir "$work/out"
  "$linux/brindlemoor-receive" --input "$work/送信 é.wav" --output-dir "$work/out" >/dev/null \
    2>"$work/err" || fail "the Linux receiver cannot read the WAV written on Windows"
  cmp -s <(printf '%s' "$text") "$work/out/receive.txt" || {
    od -c "$work/out/receive.txt" >&2
    fail "the Linux receiver did not decode the text sent"
  }
  echo "ok ($scenario)"
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

live() {
  command -v pulseaudio >/dev/null && command -v paplay >/dev/null || exit 77
  eval "$("$root/scripts/pulse-loopback.sh" start)"
  pulse_dir=$PULSE_LOOPBACK_DIR
  local text send_options=()
  if [ "$scenario" = calibrated ]; then
    text=$'Calibrated on wine: \x80\xa6\xb1\xdd\xfe\n\nend\n'
    send_options=(--calibrate --rate 44100 --bits 16)
  else
    text=$'Heard through wave-in.\nA second line\n'
    send_options=(--rate 11025 --bits 8)
  fi
  printf '%s' "$text" >"$work/text"
  "$linux/brindlemoor-send" "${send_options[@]}" -o "$work/message.wav" --file "$work/text" \
    >/dev/null
  with_crlf "$work/text" >"$work/expected"

  mkdir "$work/out"
  "$wine" "$receiver" --output-dir "$work/out" >"$work/stdout" 2>"$work/err" &
  receiver_pid=$!
  wait_for "capture to run" grep -qs capturing "$work/err"
  paplay "$work/message.wav"
  local expected_size
  expected_size=$(wc -c <"$work/expected")
  text_complete() {
    [ -f "$work/out/receive.txt" ] && [ "$(wc -c <"$work/out/receive.txt")" -ge "$expected_size" ]
  }
  wait_for "the text" text_complete

  kill -INT "$receiver_pid"
  local tick status=0
  for ((tick = 0; tick < kWaitTicks; tick++)); do
    kill -0 "$receiver_pid" 2>/dev/null || break
    sleep 0.05
  done
  kill -0 "$receiver_pid" 2>/dev/null && fail "the receiver did not stop after Ctrl-C"
  wait "$receiver_pid" || status=$?
  receiver_pid=
  [ "$status" -eq 0 ] || fail "the receiver exited with status $status"
  grep -q "stopped by Ctrl-C" "$work/err" || fail "no 'stopped by Ctrl-C' on stderr"

  cmp "$work/expected" "$work/out/receive.txt" || {
    od -c "$work/out/receive.txt" >&2
    fail "receive.txt is not the text sent with CR LF line ends"
  }
  if [ "$scenario" = calibrated ]; then
    [ "$(wc -l <"$work/out/flag.dat")" -eq 1 ] || fail "flag.dat should hold one line"
    grep -q : "$work/out/flag.dat" && fail "the calibration failed: $(cat "$work/out/flag.dat")"
    [ "$(tail -c 2 "$work/out/flag.dat" | od -An -c | tr -d ' ')" = '\r\n' ] ||
      fail "flag.dat's line does not end in CR LF"
  else
    [ ! -e "$work/out/flag.dat" ] || fail "flag.dat was written without a calibration"
  fi
  echo "ok ($scenario)"
}

no_input() {
  # Wine falls back from PulseAudio to ALSA, which would find a real sound card.
  if [ -r /proc/asound/cards ] && ! grep -q "no soundcards" /proc/asound/cards; then
    echo "skipped: this machine has a sound card" >&2
    exit 77
  fi
  mkdir "$work/out"
  local status=0
  PULSE_SERVER=unix:$work/no-server "$wine" "$receiver" --output-dir "$work/out" \
    >"$work/stdout" 2>"$work/err" </dev/null || status=$?
  [ "$status" -eq 2 ] || fail "exit status $status, not 2"
  # The last line is ours; wine's ALSA fallback may have said things before it.
  local expected="brindlemoor-receive: cannot capture from the default input: waveInOpen failed"
  tail -1 "$work/err" | grep -qF "$expected" || fail "no line naming waveInOpen"
  [ -z "$(ls -A "$work/out")" ] || fail "files were written: $(ls "$work/out")"
  echo "ok ($scenario)"
}

cd "$work"
case "$scenario" in
  live | calibrated) live ;;
  no-input) no_input ;;
  replay) replay ;;
  names) names ;;
  sender) sender ;;
  *) fail "unknown scenario" ;;
esac
