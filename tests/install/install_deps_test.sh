#!/usr/bin/env bash
# scripts/install-deps.sh asks for no more than a job needs: running the programs pulls in no
# test, benchmark, display or font packages; every job holds what its scripts use; the package
# job covers debian/control's build dependencies; a mistyped job is refused.
#
#   install_deps_test.sh SOURCE_DIR
set -uo pipefail
script=$1/scripts/install-deps.sh
control=$1/debian/control

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
list() { "$script" --list "$@" | tr '\n' ' '; }

# Each row: the jobs; packages that must be listed; packages that must not be.
while IFS='|' read -r jobs wanted unwanted; do
  listed=" $(list $jobs) "
  for p in $wanted; do
    [[ $listed == *" $p "* ]] || fail "'$jobs' does not install $p"
  done
  for p in $unwanted; do
    [[ $listed != *" $p "* ]] || fail "'$jobs' installs $p, which it does not need"
  done
done <<'ROWS'
--run|cmake pkg-config qt6-base-dev portaudio19-dev libsndfile1-dev libsamplerate0-dev|clang libclang-rt-14-dev googletest gnuplot-nox openbox xvfb imagemagick minimodem fonts-noto-cjk pulseaudio lintian
--test|cmake googletest libgtest-dev clang libclang-rt-14-dev pulseaudio xvfb imagemagick fonts-noto-cjk help2man|minimodem gnuplot-nox lintian mmdebstrap wine
--bench|cmake libbenchmark-dev libfftw3-dev minimodem gnuplot-nox sox time|googletest xvfb lintian
--package|cmake debhelper help2man lintian mmdebstrap|clang googletest xvfb minimodem
--windows|g++-mingw-w64-x86-64 wine64 wine xvfb|googletest minimodem lintian
|cmake qt6-base-dev googletest clang|minimodem gnuplot-nox lintian wine
ROWS

# Everything the package build asks for (but the test-only <!nocheck> ones) is in --package.
packaged=" $(list --package) "
while read -r dependency; do
  [[ $packaged == *" $dependency "* ]] || fail "--package lacks the build dependency $dependency"
done < <(sed -n '/^Build-Depends:/,/^[A-Z]/p' "$control" | sed 's/^Build-Depends://' |
  tr ',' '\n' | grep -v 'nocheck\|^[A-Z]' | sed 's/(.*)//; s/[[:space:]]//g' |
  grep -v '^$\|^debhelper-compat$')

"$script" --no-such-job >/dev/null 2>&1
status=$?
((status == 2)) || fail "an unknown job exits with $status, not 2"
"$script" --help | grep -q -- '--windows' || fail "--help does not list the jobs"

if ((failures)); then
  echo "$failures install-deps checks failed"
  exit 1
fi
echo "every job lists what it needs and nothing it does not"
