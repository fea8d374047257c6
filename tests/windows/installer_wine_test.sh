#!/usr/bin/env bash
# The Windows installer under wine, for the current user and then for every user:
#
#   installer_wine_test.sh SETUP.exe REFERENCE_RECEIVE.exe
#
# Each time: a silent install (/S, /CurrentUser or /AllUsers, /D=a folder of its own) must
# leave the programs, README.txt, LICENSE.txt, the example recording, one Start-menu entry and
# the uninstaller registered with its strings; the installed brindlemoor-receive.exe must decode
# the installed example exactly as REFERENCE_RECEIVE.exe (the build's own program) does; the
# installed window must start on the example and close when asked (WM_CLOSE); the silent
# uninstaller must then remove the folder with every file, the Start-menu entry and the
# registry key.
#
# Runs inside the wine prefix that scripts/windows.sh test sets up (WINEPREFIX); a -win32-
# installer runs on wine's 32-bit loader. Exit status 77 (skipped) when that loader or xvfb-run
# is missing. Everything else lives in a mktemp folder; processes are stopped by their PID.
set -euo pipefail

setup=$(realpath "$1")
reference=$(realpath "$2")
readonly kWaitTicks=400  # x 0.05 s = 20 s for anything the test waits for
readonly kKey='Software\Microsoft\Windows\CurrentVersion\Uninstall\Brindlemoor'
wine=/usr/lib/wine/wine64
case "$setup" in *-win32-setup.exe) wine=/usr/lib/wine/wine ;; esac
for tool in "$wine" xvfb-run; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed" >&2; exit 77; }
done
[ -n "${WINEPREFIX:-}" ] || { echo "FAIL: no WINEPREFIX (run from scripts/windows.sh test)" >&2; exit 1; }

work=$(mktemp -d)
window_pid=
cleanup() {
  cd /
  if [ -n "$window_pid" ]; then kill -KILL "$window_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL ($(basename "$setup") $mode): $*" >&2
  exit 1
}

# Waits until command "$@" succeeds; false after kWaitTicks.
wait_for() {
  local tick
  for ((tick = 0; tick < kWaitTicks; tick++)); do
    "$@" && return 0
    sleep 0.05
  done
  return 1
}
registered() {  # HIVE: the uninstall key exists in the 64-bit or the 32-bit view
  "$wine" reg query "$1\\$kKey" /reg:64 >/dev/null 2>&1 ||
    "$wine" reg query "$1\\$kKey" /reg:32 >/dev/null 2>&1
}
unregistered() { ! registered "$1"; }
shortcuts() { find "$WINEPREFIX/drive_c" -name 'Brindlemoor.lnk' | wc -l; }
gone() { [ ! -e "$1" ]; }
ended() { [[ ! -e /proc/$1 || $(ps -o stat= -p "$1") == Z* ]]; }  # PID: exited (maybe unwaited)

# The window on the installed example, on a virtual display (started once more if it does not
# come up within a minute): it must say "replaying", and end
# with status 0 when its windows are asked to close (taskkill without /F sends WM_CLOSE). No
# virtual desktop: taskkill reaches only the windows of its own desktop.
start_window() {  # FOLDER: true once the window replays (the prefix's first window can be slow)
  local folder=$1 tick
  : >"$work/window.err"
  (cd "$work" && exec xvfb-run -a -s "-screen 0 640x480x24 -nolisten tcp" "$wine" \
    "$folder\\brindlemoor.exe" --input "$folder\\examples\\hello.wav" 2>"$work/window.err") &
  window_pid=$!
  for ((tick = 0; tick < 3 * kWaitTicks; tick++)); do
    grep -qs replaying "$work/window.err" && return 0
    ended "$window_pid" && break
    sleep 0.05
  done
  cat "$work/window.err" >&2
  "$wine" taskkill /F /IM brindlemoor.exe >/dev/null 2>&1 || true
  kill "$window_pid" 2>/dev/null || true
  wait "$window_pid" 2>/dev/null || true
  window_pid=
  return 1
}
check_window() {
  local folder=$1
  if ! start_window "$folder"; then
    # A prefix whose default desktop was made without a display cannot show windows on it.
    if grep -qs 'cannot create the window (error 1400)' "$work/window.err"; then
      echo "window check skipped: this prefix's desktop cannot show windows" >&2
      return 0
    fi
    echo "the installed window did not start; once more:" >&2
    start_window "$folder" || fail "the installed window did not start twice"
  fi
  "$wine" taskkill /IM brindlemoor.exe >/dev/null 2>&1 || fail "taskkill found no window"
  wait_for ended "$window_pid" || fail "the installed window did not close"
  local status=0
  wait "$window_pid" || status=$?
  window_pid=
  [ "$status" -eq 0 ] || fail "the installed window exited with status $status"
}

for mode in CurrentUser AllUsers; do
  hive=HKCU
  [ "$mode" = CurrentUser ] || hive=HKLM
  name=brindlemoor-install-$mode-$$
  folder="C:\\$name"
  unix=$WINEPREFIX/drive_c/$name

  "$wine" "$setup" /S "/$mode" "/D=$folder" || fail "the installer exited with $?"
  for file in brindlemoor.exe brindlemoor-receive.exe README.txt LICENSE.txt \
    examples/hello.wav uninstall.exe; do
    [ -s "$unix/$file" ] || fail "$file was not installed"
  done
  grep -q $'\r$' "$unix/README.txt" || fail "README.txt has no CR LF"
  [ "$(shortcuts)" -eq 1 ] || fail "$(shortcuts) Start-menu entries instead of 1"
  registered "$hive" || fail "no uninstall key in $hive"
  for value in DisplayName DisplayVersion UninstallString QuietUninstallString; do
    "$wine" reg query "$hive\\$kKey" /v "$value" /reg:64 >/dev/null 2>&1 ||
      "$wine" reg query "$hive\\$kKey" /v "$value" /reg:32 >/dev/null 2>&1 ||
      fail "the uninstall key has no $value"
  done

  # The installed receiver decodes the installed example as the build's own program does.
  mkdir -p "$work/installed" "$work/reference"
  "$wine" "$folder\\brindlemoor-receive.exe" --input "$folder\\examples\\hello.wav" \
    --output-dir "$work/installed" >"$work/installed.out" 2>/dev/null ||
    fail "the installed brindlemoor-receive.exe failed"
  "$wine" "$reference" --input "$unix/examples/hello.wav" --output-dir "$work/reference" \
    >"$work/reference.out" 2>/dev/null || fail "$reference failed"
  [ -s "$work/installed/receive.txt" ] || fail "the installed receiver wrote no receive.txt"
  cmp "$work/reference/receive.txt" "$work/installed/receive.txt" ||
    fail "receive.txt differs from the build's"
  cmp "$work/reference.out" "$work/installed.out" || fail "the standard output differs"
  rm -rf "$work/installed" "$work/reference"

  [ "$mode" = AllUsers ] || check_window "$folder"

  # The uninstaller copies itself away and returns at once: wait for what it removes.
  "$wine" "$folder\\uninstall.exe" /S || fail "the uninstaller exited with $?"
  wait_for gone "$unix" || fail "the uninstaller left $(find "$unix" | tr '\n' ' ')"
  wait_for unregistered "$hive" || fail "the uninstall key is still in $hive"
  [ "$(shortcuts)" -eq 0 ] || fail "the Start-menu entry is still there"
  echo "ok: $(basename "$setup") /$mode installed, decoded, uninstalled"
done
