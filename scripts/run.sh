#!/usr/bin/env bash
# Installs what is needed, builds the receiver and decodes the bundled example recording.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target brindlemoor-receive
out=$(mktemp -d)
build/tools/brindlemoor-receive --input examples/hello.wav --output-dir "$out"
echo
echo "receive.txt and flag.dat are in $out"
