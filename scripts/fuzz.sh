#!/usr/bin/env bash
# Builds the fuzz targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer, and runs
# each for SECONDS, starting from the checked-in seed corpus in fuzz/corpus/<target>/. New inputs
# go to a scratch corpus, so the checked-in one only changes by hand. A crash, a broken invariant
# or a leak stops the run with the failing input saved under BUILD_DIR/fuzz-artifacts/.
#
#   scripts/fuzz.sh [SECONDS] [BUILD_DIR]     (defaults: 5, build-fuzz)
#
# CI runs a few seconds of each; a long run is e.g. `scripts/fuzz.sh 3600`.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --test
seconds=${1:-5}
build=${2:-build-fuzz}
readonly kTargets=(fuzz_receive_tick fuzz_decide_route fuzz_recording_file)
readonly kMaxLen=131072  # the largest seeds hold a whole tick of symbols

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBRINDLEMOOR_BUILD_FUZZ=ON -DBRINDLEMOOR_SANITIZE=address,undefined \
  -DBRINDLEMOOR_BUILD_TESTS=OFF -DBRINDLEMOOR_BUILD_WINDOW=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${kTargets[@]}"

artifacts=$build/fuzz-artifacts
mkdir -p "$artifacts"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/brindlemoor-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
for target in "${kTargets[@]}"; do
  mkdir -p "$scratch/$target"
  echo "== $target: $seconds s"
  "$build/fuzz/$target" -max_total_time="$seconds" -max_len="$kMaxLen" -timeout=20 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
    "$scratch/$target" "fuzz/corpus/$target" 2>"$scratch/$target.log" || {
    tail -n 40 "$scratch/$target.log" >&2
    echo "fuzz.sh: $target failed; the input is in $artifacts/" >&2
    exit 1
  }
  grep -E "^stat::number_of_executed_units|DONE" "$scratch/$target.log" | tr '\n' ' '
  echo
done
