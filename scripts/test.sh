#!/usr/bin/env bash
# Installs what is needed, builds and runs every test, then the sanitizer builds, a short fuzzing
# run and a short soak (scripts/ci-checks.sh). `scripts/test.sh --quick` stops after the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"
[ "${1:-}" = "--quick" ] || scripts/ci-checks.sh
