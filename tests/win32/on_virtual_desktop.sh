#!/usr/bin/env bash
# Runs a GoogleTest program under wine in a virtual desktop of its own, on a virtual X display:
#
#   on_virtual_desktop.sh WINE PROGRAM.exe [ARGS...]
#
# A fresh desktop is needed because the prefix's first programs (wineboot, the suites that need
# no display) run without one, and a desktop that wine made without a display shows no windows.
# explorer does not pass the program's exit status on, so the status comes from the program's
# XML report. Exit status 77 (skipped) when xvfb-run is missing.
set -euo pipefail
wine=$1
program=$(realpath "$2")
shift 2
command -v xvfb-run >/dev/null || { echo "skipped: xvfb-run is not installed" >&2; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# xvfb-run starts Xvfb, and stops it by its PID when the program ends.
xvfb-run -a -s "-screen 0 640x480x24 -nolisten tcp" \
  "$wine" explorer /desktop="brindlemoor-tests-$$,640x480" "$program" --gtest_output=xml:report.xml \
  "$@" 2> >(grep -v '^X connection to .* broken' >&2)
[ -s report.xml ] || { echo "FAIL: $program wrote no report" >&2; exit 1; }
grep -q '<testsuites[^>]* failures="0"[^>]* errors="0"' report.xml ||
  { echo "FAIL: $program reported failures" >&2; exit 1; }
