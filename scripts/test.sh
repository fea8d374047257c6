#!/usr/bin/env bash
# Installs what is needed, builds and runs every test, then the Windows build's tests under wine
# (scripts/windows.sh test), then the sanitizer builds, a short fuzzing run and a short soak
# (scripts/ci-checks.sh). `scripts/test.sh --quick` stops after the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"
# The Windows build under wine, compared with the Linux programs just built (scripts/windows.sh).
scripts/windows.sh test
[ "${1:-}" = "--quick" ] || scripts/ci-checks.sh
