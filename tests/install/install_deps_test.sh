#!/usr/bin/env bash
# scripts/install-deps.sh asks for no more than a job needs: running the programs pulls in no
# test, benchmark, display or font packages; every job holds what its scripts use; the package
# job covers debian/control's build dependencies; a mistyped job is refused. And it takes sudo
# only where needed: root runs apt-get itself, a user runs only apt-get through sudo, a user
# without sudo is told what to run, and nothing runs when nothing is missing (with stand-ins for
# id, dpkg-query, apt-get and sudo that log what they are asked).
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
--run|cmake pkg-config qt6-base-dev portaudio19-dev libsndfile1-dev libsoxr-dev|clang libclang-rt-14-dev googletest gnuplot-nox openbox xvfb imagemagick minimodem fonts-noto-cjk pulseaudio lintian wine32:i386 nsis
--test|cmake googletest libgtest-dev clang libclang-rt-14-dev pulseaudio xvfb imagemagick fonts-noto-cjk help2man|minimodem gnuplot-nox lintian mmdebstrap wine
--bench|cmake libbenchmark-dev libfftw3-dev minimodem gnuplot-nox sox time|googletest xvfb lintian
--package|cmake debhelper help2man lintian mmdebstrap|clang googletest xvfb minimodem
--windows|g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64 wine wine32:i386 nsis zip xvfb|googletest minimodem lintian
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

# Stand-ins: a PATH of nothing but them and the few tools the script uses.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
for tool in bash grep sed sort env; do ln -s "$(command -v "$tool")" "$work/bin/$tool"; done
stub() {
  printf '#!%s\n%s\n' "$(command -v bash)" "$2" >"$work/bin/$1"
  chmod +x "$work/bin/$1"
}
stub id 'echo "$FAKE_UID"'
# Everything is installed but the package named in FAKE_MISSING.
stub dpkg-query '[ "${!#}" = "$FAKE_MISSING" ] && exit 1; printf "install ok installed"'
stub apt-get 'echo "apt-get $*" >>"$FAKE_LOG"'
with_sudo() { stub sudo 'echo "sudo $1" >>"$FAKE_LOG"; exec "$@"'; }

# Each row: user id; sudo there (yes/no); missing package; expected status; expected log.
while IFS='|' read -r uid sudo missing status expected; do
  rm -f "$work/bin/sudo" "$work/log"
  [ "$sudo" = yes ] && with_sudo
  got_status=0
  FAKE_UID=$uid FAKE_MISSING=$missing FAKE_LOG=$work/log PATH=$work/bin \
    bash "$script" --run >/dev/null 2>"$work/err" || got_status=$?
  log=$(cat "$work/log" 2>/dev/null | tr '\n' ';')
  case_name="uid $uid, sudo $sudo, missing '$missing'"
  ((got_status == status)) || fail "$case_name: status $got_status, not $status ($(cat "$work/err"))"
  [ "$log" = "$expected" ] || fail "$case_name: ran '$log', not '$expected'"
done <<'ROWS'
0|no|cmake|0|apt-get update;apt-get install -y --no-install-recommends cmake;
0|yes|cmake|0|apt-get update;apt-get install -y --no-install-recommends cmake;
1000|yes|cmake|0|sudo apt-get;apt-get update;sudo env;apt-get install -y --no-install-recommends cmake;
1000|no|cmake|1|
1000|yes||0|
ROWS
rm -f "$work/bin/sudo"
told=$(FAKE_UID=1000 FAKE_MISSING=cmake FAKE_LOG=$work/log PATH=$work/bin bash "$script" --run 2>&1)
grep -q '^  apt-get install cmake$' <<<"$told" || fail "a user without sudo is not told what to run"

if ((failures)); then
  echo "$failures install-deps checks failed"
  exit 1
fi
echo "every job lists what it needs and nothing it does not"
