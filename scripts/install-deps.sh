#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running Brindlemoor need.
# Idempotent; run as root (or through sudo).
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang clang-format libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libfftw3-dev minimodem sox time  # for the benchmarks and bench/compare-peers
  libsndfile1-dev libsoxr-dev gnuplot-nox
  qt6-base-dev qt6-qpa-plugins fonts-noto-cjk fonts-symbola
  xvfb xauth imagemagick openbox
  portaudio19-dev pulseaudio pulseaudio-utils libasound2-plugins alsa-utils
)

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
