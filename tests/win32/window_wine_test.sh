#!/usr/bin/env bash
# The Win32 receiver window end to end under wine, on a virtual X display and a private
# loopback sound server: brindlemoor.exe listens on the default wave-in device, paplay plays
# half-width katakana (CP932 bytes) into the sink, and "receive.txt" must hold exactly those
# bytes. Screenshots of the window showing them, of its system menu with the About item and of
# the About box are saved; the close command (Alt+F4) must then end the program with status 0.
#
#   window_wine_test.sh BRINDLEMOOR.EXE MESSAGE.wav ARTIFACT_DIR
#
# MESSAGE.wav holds ｺﾝﾆﾁﾊ once (katakana.wav beside this script, written by
#   brindlemoor-send --rate 11025 --bits 8 -o katakana.wav $'\xba\xdd\xc6\xc1\xca').
# window.png is the screenshot of the tick that received the most bytes (receive_greeting.sh).
#
# Everything runs in mktemp folders: a wine prefix of its own (virtual desktop, wine's fonts,
# Japanese locale for the code page 932), Xvfb, wineserver and PulseAudio, each started and
# stopped by its PID. A window that fails to start is started once more. Exit status 77
# (skipped) when a tool is missing.
set -euo pipefail

exe=$(realpath "$1")
wav=$(realpath "$2")
artifacts=$(realpath -m "$3")
root=$(cd "$(dirname "$0")/../.." && pwd)
readonly kWaitTicks=400       # x 0.05 s = 20 s for anything the test waits for
readonly kPaintDelay=0.1      # s between a tick's file write and the screenshot
readonly kDesktop=480x260     # the virtual desktop and the X screen
readonly kWine=/usr/lib/wine/wine64
readonly kLocale=ja_JP.UTF-8  # ANSI code page 932, Noto Sans CJK JP for the dialog font

for tool in Xvfb xdotool import paplay pactl pulseaudio wineserver "$kWine"; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed" >&2; exit 77; }
done
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
  echo "FAIL: the $kLocale locale is missing (localedef -i ja_JP -f UTF-8 $kLocale)" >&2
  exit 1
fi

work=$(mktemp -d)
xvfb_pid=
server_pid=
window_pid=
pulse_dir=
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

stop_pid() {  # PID: TERM, then KILL after 5 s
  local pid=$1 tick
  kill "$pid" 2>/dev/null || return 0
  for ((tick = 0; tick < 100; tick++)); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.05
  done
  kill -KILL "$pid" 2>/dev/null || true
}

stop_wineserver() {
  [ -n "$server_pid" ] || return 0
  wineserver -k 2>/dev/null || true  # this prefix's server and its processes only
  stop_pid "$server_pid"
  wait "$server_pid" 2>/dev/null || true
  server_pid=
}

start_wineserver() {
  wineserver -f -p &
  server_pid=$!
}

cleanup() {
  cd /
  [ -n "$window_pid" ] && kill -KILL "$window_pid" 2>/dev/null || true
  stop_wineserver
  [ -n "$xvfb_pid" ] && stop_pid "$xvfb_pid"
  [ -n "$pulse_dir" ] && "$root/scripts/pulse-loopback.sh" stop "$pulse_dir"
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  echo "--- the window's stderr:" >&2
  cat "$work/err" >&2 2>/dev/null || true
  exit 1
}


# The display: Xvfb picks a free display number and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 "${kDesktop}x24" -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for ((tick = 0; tick < kWaitTicks; tick++)); do
  [ -s "$work/display" ] && break
  sleep 0.05
done
[ -s "$work/display" ] || fail "Xvfb did not start"
display=$(cat "$work/display")
export DISPLAY=:$display

eval "$("$root/scripts/pulse-loopback.sh" start)"
pulse_dir=$PULSE_LOOPBACK_DIR
# An idle null sink renders in 2 s blocks: wake it so capture starts at once.
pactl suspend-sink loop 1 && pactl suspend-sink loop 0

# The prefix: made once, then given the virtual desktop (Xvfb has no window manager, so without
# it there is no title bar or system menu) and wine's own fonts (caption buttons); the server
# is restarted so the desktop starts with the new settings.
export LANG=$kLocale
mkdir -p "$WINEPREFIX"
start_wineserver
"$kWine" wineboot -i >/dev/null 2>&1 || fail "wineboot could not make the prefix"
width=${kDesktop%x*} height=${kDesktop#*x}
cat >"$work/desktop.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]
"Default"="${width}x${height}"
REG
"$kWine" regedit "$work/desktop.reg" >/dev/null 2>&1 || fail "regedit could not import the desktop"
mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
stop_wineserver
start_wineserver

mkdir -p "$work/run" "$artifacts"
cd "$work/run"

# Starts the window; true once it captures. False (window ended) when it could not be made.
start_window() {
  : >"$work/err"
  "$kWine" "$exe" 2>"$work/err" &
  window_pid=$!
  for ((tick = 0; tick < kWaitTicks; tick++)); do
    grep -qs capturing "$work/err" && return 0
    if ! kill -0 "$window_pid" 2>/dev/null; then
      wait "$window_pid" || true
      window_pid=
      return 1
    fi
    sleep 0.05
  done
  kill -KILL "$window_pid" 2>/dev/null || true
  wait "$window_pid" 2>/dev/null || true
  window_pid=
  return 1
}
if ! start_window; then
  echo "the window did not start; once more:" >&2
  cat "$work/err" >&2
  start_window || fail "the window did not start twice"
fi

# A click on the window, which opens centred on the desktop, activates it (Xvfb gives no window
# the focus by itself), so the screenshots show it active and the keys below reach it.
xdotool mousemove $((width / 2)) $((height / 2)) click 1
sleep 0.3

take_screenshot() { import -window root "$1"; }
# shellcheck source=tests/testing/receive_greeting.sh
. "$root/tests/testing/receive_greeting.sh"
receive_greeting "$artifacts/window.png" paplay "$wav"

# The system menu with the About item (Alt+Space), then the About box (its last item).
xdotool key alt+space
sleep 0.7
take_screenshot "$artifacts/system-menu.png"
xdotool key Up Return
sleep 1
take_screenshot "$artifacts/about.png"
xdotool key Return  # the About box's default OK
sleep 0.5
kill -0 "$window_pid" 2>/dev/null || fail "closing the About box ended the window"

# The close command ends the window.
xdotool key alt+F4
for ((tick = 0; tick < kWaitTicks; tick++)); do
  kill -0 "$window_pid" 2>/dev/null || break
  sleep 0.05
done
status=0
wait "$window_pid" || status=$?
window_pid=
[ "$status" -eq 0 ] || fail "the window exited with status $status after Alt+F4"

cmp "$work/expected" receive.txt || { od -An -tx1 receive.txt >&2; fail "receive.txt differs"; }
[ ! -e flag.dat ] || fail "flag.dat was written without a calibration"
echo "ok: $(stat -c %s receive.txt) bytes received in $shots ticks; screenshots in $artifacts"
