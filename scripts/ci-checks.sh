#!/usr/bin/env bash
# The checks that follow the plain test suite in scripts/test.sh (and so in CI):
#   1. every test under AddressSanitizer and UndefinedBehaviorSanitizer, then the benchmarks'
#      own result checks and a two-chunk soak (37 minutes of virtual traffic) in that build;
#   2. the threaded tests (capture ring, receiver dialog, live capture) under ThreadSanitizer;
#   3. a few seconds of each fuzz target from its seed corpus (clang);
#   4. the Debian package: built, checked by lintian, installed into a clean root where it must
#      decode the example recording, and removed (scripts/package.sh, scripts/check-package.sh).
# Each build has its own directory (build-asan, build-tsan, build-fuzz). The window is left out
# of the sanitizer builds: Qt is not instrumented.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --test --bench --package
jobs=$(nproc)
readonly kSanitizerOptions=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRINDLEMOOR_BUILD_WINDOW=OFF)
readonly kThreadedLabels='capture|files|display|dialog|live'
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

step() { printf '\n=== %s\n' "$*"; }

step "AddressSanitizer + UndefinedBehaviorSanitizer: the whole suite"
cmake -S . -B build-asan "${kSanitizerOptions[@]}" -DBRINDLEMOOR_SANITIZE=address,undefined \
  -DBRINDLEMOOR_BUILD_BENCH=ON -Wno-dev >/dev/null
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"

step "AddressSanitizer + UndefinedBehaviorSanitizer: benchmark checks and a short soak"
build-asan/bench/bench_spectrum --benchmark_min_time=0.01 >/dev/null
build-asan/bench/soak --chunks 2

step "ThreadSanitizer: the threaded tests"
cmake -S . -B build-tsan "${kSanitizerOptions[@]}" -DBRINDLEMOOR_SANITIZE=thread -Wno-dev \
  >/dev/null
# The live tests run the receiver and the synthesiser tool as well, where they exist.
available=$(cmake --build build-tsan --target help)
targets=(test_capture test_files test_display test_dialog)
for target in test_live brindlemoor-receive live-synth; do
  grep -qw -- "$target" <<<"$available" && targets+=("$target")
done
cmake --build build-tsan -j"$jobs" --target "${targets[@]}"
ctest --test-dir build-tsan --output-on-failure -j"$jobs" -L "$kThreadedLabels"

step "Fuzzing: a few seconds of each target"
scripts/fuzz.sh 5

step "Debian package: build, lintian, install into a clean root"
scripts/package.sh
scripts/check-package.sh
