#!/usr/bin/env bash
# Installs what is needed (through sudo only when not root), builds and runs every test, then
# the Windows build's tests under wine (scripts/windows.sh test), then the sanitizer builds, a
# short fuzzing run, a short soak and the Debian package's checks
# (scripts/ci-checks.sh). `scripts/test.sh --quick` stops after the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = "--quick" ]; then
  scripts/install-deps.sh --test
else
  scripts/install-deps.sh --test --bench --package
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRINDLEMOOR_BUILD_TESTS=ON
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure --no-tests=error -j"$(nproc)"
# The Windows build under wine, compared with the Linux programs just built (scripts/windows.sh).
[ "${1:-}" = "--quick" ] || scripts/windows.sh test
[ "${1:-}" = "--quick" ] || scripts/ci-checks.sh
