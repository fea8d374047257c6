#!/usr/bin/env bash
# Measures the sender's robustness: builds the bench, runs the full grid (several minutes) and
# writes docs/robustness/robustness.md, robustness.dat and robustness.png. Extra arguments go to
# the bench (see build/bench/robustness/brindlemoor-robustness --help).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target brindlemoor-robustness
mkdir -p docs/robustness
build/bench/robustness/brindlemoor-robustness --out docs/robustness "$@" >/dev/null
gnuplot bench/robustness/plot.gp
echo "docs/robustness/robustness.md and robustness.png written"
