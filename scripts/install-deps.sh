#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running Brindlemoor need.
# Idempotent; run as root (or through sudo).
#   install-deps.sh             the Linux build, its tests and benchmarks
#   install-deps.sh --windows   cross-building for Windows and testing under wine (scripts/windows.sh)
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang clang-format libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libfftw3-dev minimodem sox time  # for the benchmarks and bench/compare-peers
  libsndfile1-dev libsamplerate0-dev gnuplot-nox
  qt6-base-dev qt6-qpa-plugins fonts-noto-cjk fonts-symbola
  xvfb xauth imagemagick openbox
  portaudio19-dev pulseaudio pulseaudio-utils libasound2-plugins alsa-utils
)

# mingw-w64 and wine; dpkg-dev unpacks the sources of the libraries cross-built for Windows;
# PulseAudio, Xvfb and xdotool for the tests of wave-in and of the window under wine.
windows_packages=(
  cmake make pkg-config dpkg-dev xz-utils g++-mingw-w64-x86-64 wine64 wine fonts-wine
  pulseaudio pulseaudio-utils xvfb xauth xdotool imagemagick fonts-noto-cjk locales
)
case "${1:-}" in
  "") ;;
  --windows) packages=("${windows_packages[@]}") ;;
  *)
    echo "usage: $0 [--windows]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
