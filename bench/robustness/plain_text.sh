#!/usr/bin/env bash
# Plain text through the strong room: the bench's message is one third prose and two thirds
# scrambled bytes, but people send text. Sends ten minutes of lowercase prose with digit runs
# (prose_text.py) with the default timing, calibrated, through the strong room at the sender's
# clock -0.5, 0 and +0.5 % and clean, 30 and 25 dB, one noise seed per cell, decodes it with each
# FRAMING (default: robust) and prints the characters lost per cell (edit distance) and in all.
# About a minute on 2 cores.
#
#   bench/robustness/plain_text.sh [BUILD_DIR [FRAMING]]   (FRAMING: robust, exact or exact,robust)
set -euo pipefail

build=${1:-build}
framing=${2:-robust}
here=$(cd "$(dirname "$0")" && pwd)
bench="$build/bench/robustness/brindlemoor-robustness"
[[ -x $bench ]] || { echo "plain_text: no $bench (build it first)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 "$here/prose_text.py" > "$work/prose.txt"
"$bench" --out "$work" --text "$work/prose.txt" --seeds 1 --snr clean,30,25 \
  --clock -0.5,0,0.5 --reverb strong --calibration on --timing default --framing "$framing" \
  2> /dev/null > /dev/null
sent=$(wc -c < "$work/prose.txt")
awk -v sent="$sent" '!/^#/ {
    lost = $6 * sent; total[$1] += lost; count[$1] += sent
    printf "%-16s clock %5s %%  %-6s %6.0f of %d\n", $1, $4, ($5 == 99 ? "clean" : $5 " dB"), lost, sent
  }
  END { for (f in total) printf "%-16s all cells %6.0f of %d (%.1f %%)\n", f, total[f], count[f], 100 * total[f] / count[f] }' \
  "$work/robustness.dat"
