#!/usr/bin/env bash
# Installs what building and running the programs needs (through sudo only when not root),
# builds the receiver and decodes the bundled example recording: in the receiver window,
# replayed in real time, when a display is present; otherwise with the headless receiver, which
# prints the text.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/install-deps.sh --run
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
out=$(mktemp -d)
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  cmake --build build -j"$(nproc)" --target brindlemoor
  echo "The window shows each half-second's text; close it when the greeting has arrived."
  (cd "$out" && "$root/build/tools/brindlemoor" --input "$root/examples/hello.wav")
else
  cmake --build build -j"$(nproc)" --target brindlemoor-receive
  build/tools/brindlemoor-receive --input examples/hello.wav --output-dir "$out"
  echo
fi
echo "receive.txt and flag.dat are in $out"
