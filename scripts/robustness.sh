#!/usr/bin/env bash
# Measures the sender's robustness: builds the bench, runs the full grid with 2 noise seeds per
# cell for the four timings in the simulator's rooms (none, mild, strong) and, on a smaller grid,
# in rooms made by SoX's reverb at reverberance 40, 60, 80 and 100 (about 10 minutes on 2 cores),
# and writes docs/robustness/robustness.md, robustness.dat and robustness.png. Extra arguments go
# to the bench (see brindlemoor-robustness --help).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --run --bench
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target brindlemoor-robustness
mkdir -p docs/robustness
command -v sox >/dev/null || { echo "robustness.sh: sox is needed for the SoX rooms" >&2; exit 2; }
build/bench/robustness/brindlemoor-robustness --out docs/robustness --seeds 2 \
  --sox-reverb 40,60,80,100 "$@" >/dev/null
gnuplot bench/robustness/plot.gp
echo "docs/robustness/robustness.md and robustness.png written"
