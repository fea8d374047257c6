#!/usr/bin/env bash
# Installs the Debian 12 packages that one job needs, and only those. Idempotent: nothing is
# downloaded when everything is there. Runs apt-get through sudo when not run as root.
#
#   scripts/install-deps.sh [--run] [--test] [--bench] [--package] [--windows] [--all] [--list]
#
#   --run       build the programs and run them (compiler, CMake, libsndfile, libsoxr,
#               PortAudio, Qt 6)
#   --test      the test suite and its sanitizer and fuzzing builds: GoogleTest, clang with its
#               sanitizer runtimes, a private PulseAudio, a virtual display, the window's fonts,
#               help2man (the man pages are built and checked with the tests)
#   --bench     the benchmarks and bench/compare-peers: Google Benchmark, FFTW, minimodem, sox,
#               espeak-ng (speech for the made-up characters bench),
#               gnuplot
#   --package   the Debian package and its checks: debhelper, help2man, lintian, mmdebstrap
#   --windows   the Windows build, its release files and its tests under wine: mingw-w64 for
#               both architectures, wine with its 32-bit loader (wine32 from the i386
#               architecture, added to dpkg when missing), NSIS, zip, a virtual display
#   --all       all of the above
#   --list      print the packages instead of installing them
#
# Without a job it installs --run and --test: what building by hand and running ctest need.
set -euo pipefail

readonly kRun=(
  build-essential cmake pkg-config
  libsndfile1-dev libsoxr-dev portaudio19-dev
  qt6-base-dev
)
readonly kTest=(
  googletest libgtest-dev libgmock-dev
  clang libclang-rt-14-dev clang-format
  help2man man-db bash-completion
  pulseaudio pulseaudio-utils libasound2-plugins alsa-utils
  xvfb xauth imagemagick openbox fonts-noto-cjk fonts-symbola
)
readonly kBench=(libbenchmark-dev libfftw3-dev minimodem sox espeak-ng time gnuplot-nox)
readonly kPackage=(debhelper dpkg-dev help2man lintian mmdebstrap bash-completion man-db)
# mingw-w64 and wine for both architectures; dpkg-dev unpacks the sources of the libraries
# cross-built for Windows; NSIS and zip make the release files; PulseAudio, Xvfb and xdotool for
# the tests of wave-in and of the window under wine. wine32:i386 (the 32-bit loader) needs the
# i386 architecture in dpkg; only this job adds it, and a failure there only warns (the 32-bit
# tests are then skipped): the rest of the machine's packages stay installable.
readonly kWine32=wine32:i386
readonly kWindows=(
  cmake make pkg-config dpkg-dev xz-utils g++-mingw-w64-x86-64 g++-mingw-w64-i686
  wine64 wine fonts-wine nsis zip binutils
  pulseaudio pulseaudio-utils xvfb xauth xdotool imagemagick fonts-noto-cjk locales
)

usage() { sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "$0"; }

packages=()
list=false
wine32=false  # the 32-bit wine loader is wanted
for job in "$@"; do
  case "$job" in
    --run) packages+=("${kRun[@]}") ;;
    --test) packages+=("${kRun[@]}" "${kTest[@]}") ;;
    --bench) packages+=("${kRun[@]}" "${kBench[@]}") ;;
    --package) packages+=("${kRun[@]}" "${kPackage[@]}") ;;
    --windows)
      packages+=("${kWindows[@]}")
      wine32=true
      ;;
    --all)
      packages+=("${kRun[@]}" "${kTest[@]}" "${kBench[@]}" "${kPackage[@]}" "${kWindows[@]}")
      wine32=true
      ;;
    --list) list=true ;;
    --help | -h)
      usage
      exit 0
      ;;
    *)
      echo "install-deps: unknown job '$job' (see --help)" >&2
      exit 2
      ;;
  esac
done
((${#packages[@]})) || packages=("${kRun[@]}" "${kTest[@]}")  # no job: --run --test
mapfile -t packages < <(printf '%s\n' "${packages[@]}" | sort -u)

if $list; then
  printf '%s\n' "${packages[@]}"
  ! $wine32 || echo "$kWine32"
  exit 0
fi

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
if ! $wine32 || installed "$kWine32"; then wine32=false; fi
((${#missing[@]})) || $wine32 || exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "install-deps: ${#missing[@]} packages are missing and sudo is not installed; as root run:" >&2
    echo "  apt-get install ${missing[*]}" >&2
    exit 1
  fi
  echo "install-deps: installing ${#missing[@]} Debian packages with sudo apt-get" >&2
  as_root=(sudo)
fi
apt_install() {
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$@"
}
if ((${#missing[@]})); then
  "${as_root[@]}" apt-get update
  apt_install "${missing[@]}"
fi
if $wine32; then
  # The i386 architecture is added for wine32 only; when its packages cannot be installed
  # (an i386 index the mirror does not serve, versions that do not match the amd64 ones), it is
  # removed again so that apt-get update keeps working for every other job.
  added=false
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${as_root[@]}" dpkg --add-architecture i386
    added=true
  fi
  if ! { "${as_root[@]}" apt-get update && apt_install "$kWine32"; }; then
    echo "install-deps: cannot install $kWine32: the 32-bit Windows tests will be skipped" >&2
    ! $added || "${as_root[@]}" dpkg --remove-architecture i386 ||
      echo "install-deps: dpkg keeps the i386 architecture" >&2
    "${as_root[@]}" apt-get update >/dev/null 2>&1 || true
  fi
fi
