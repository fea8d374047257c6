#!/usr/bin/env bash
# Builds Brindlemoor for 64-bit Windows with mingw-w64 and tests it under wine.
#
#   windows.sh build   installs the packages it needs (install-deps.sh --windows), cross-builds
#                      libsndfile and libsoxr from Debian's source packages (once, into
#                      build-windows/deps), then configures and builds into build-windows/
#   windows.sh test    builds, then runs the Windows test suite under wine in a private prefix,
#                      with a private PulseAudio server for wave-in; both servers are started
#                      and stopped by PID
#
# BRINDLEMOOR_WINDOWS_BUILD sets the build folder (default build-windows).
set -euo pipefail
cd "$(dirname "$0")/.."
readonly root=$PWD
readonly build=${BRINDLEMOOR_WINDOWS_BUILD:-$root/build-windows}
readonly deps=$build/deps
readonly jobs=$(nproc)

die() {
  echo "windows.sh: $*" >&2
  exit 1
}

# --- the libraries' recipe (a change between here and its end builds them again) ---
# The Debian source packages of the libraries the file backends use, built static for Windows
# with only what builds without further libraries (no FLAC, Ogg, Opus or MPEG codecs).
readonly libraries=(libsndfile libsoxr)

# apt-get with only the private sources list below $deps/apt: the system's apt configuration
# is not touched.
private_apt() {
  local apt_dir=$deps/apt
  apt-get -q -o Dir::Etc::SourceList="$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null \
    -o Dir::State::Lists="$apt_dir/lists" -o APT::Get::List-Cleanup=0 "$@"
}

# Downloads and unpacks the sources of $1 into $deps/src/$1.
fetch_source() {
  local package=$1 apt_dir=$deps/apt
  if [ ! -f "$apt_dir/updated" ]; then
    mkdir -p "$apt_dir/lists/partial"
    local suite keyring=/usr/share/keyrings/debian-archive-keyring.gpg
    suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
    cat >"$apt_dir/sources.list" <<EOF
deb-src [signed-by=$keyring] http://deb.debian.org/debian $suite main
deb-src [signed-by=$keyring] http://deb.debian.org/debian-security $suite-security main
EOF
    private_apt update >"$apt_dir/update.log" 2>&1 ||
      { cat "$apt_dir/update.log" >&2; die "cannot read the source package lists"; }
    touch "$apt_dir/updated"
  fi
  local download=$deps/download/$package
  rm -rf "$deps/src/$package" "$download"
  mkdir -p "$download" "$deps/src"
  (cd "$download" && private_apt source --download-only "$package" >download.log 2>&1) ||
    { cat "$download/download.log" >&2; die "cannot download the sources of $package"; }
  dpkg-source --no-check -x "$download"/*.dsc "$deps/src/$package" >/dev/null
}

# Cross-builds $1 with CMake and installs it into $deps/prefix.
build_library() {
  local package=$1
  shift
  local work=$deps/build/$package
  rm -rf "$work" && mkdir -p "$work"
  cmake -S "$deps/src/$package" -B "$work" --toolchain "$root/cmake/toolchain-mingw64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps/prefix" -DBUILD_SHARED_LIBS=OFF \
    -DBUILD_TESTING=OFF "$@" >"$work.log" 2>&1 &&
    cmake --build "$work" -j"$jobs" >>"$work.log" 2>&1 &&
    cmake --install "$work" >>"$work.log" 2>&1 ||
    { tail -40 "$work.log" >&2; die "cross-building $package failed (log: $work.log)"; }
}

build_dependencies() {
  local stamp=$deps/prefix/built-from
  # Built again when the toolchain or the recipe changes.
  local wanted
  wanted="${libraries[*]} $({
    cat "$root/cmake/toolchain-mingw64.cmake"
    sed -n "/^# --- the libraries' recipe/,/^# --- end of the recipe/p" "$root/scripts/windows.sh"
  } | sha256sum | cut -c1-16)"
  if [ -f "$stamp" ] && [ "$(head -1 "$stamp")" = "$wanted" ]; then return 0; fi
  echo "windows.sh: cross-building ${libraries[*]} from Debian's sources"
  rm -rf "$deps/prefix"
  for package in "${libraries[@]}"; do fetch_source "$package"; done
  build_library libsndfile -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DENABLE_EXTERNAL_LIBS=OFF \
    -DENABLE_MPEG=OFF -DENABLE_CPACK=OFF -DENABLE_PACKAGE_CONFIG=OFF \
    -DINSTALL_PKGCONFIG_MODULE=OFF -DINSTALL_MANPAGES=OFF
  build_library libsoxr -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF -DWITH_OPENMP=OFF \
    -DWITH_LSR_BINDINGS=OFF
  { echo "$wanted"; (cd "$deps/download" && ls ./*/*.dsc); } >"$stamp"
}

# --- end of the recipe ---

build_windows() {
  scripts/install-deps.sh --windows
  build_dependencies
  cmake -S . -B "$build" --toolchain "$root/cmake/toolchain-mingw64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRINDLEMOOR_WINDOWS_PREFIX="$deps/prefix" >/dev/null
  cmake --build "$build" -j"$jobs"
}

wine_dir=
wineserver_pid=
stop_wine() {
  [ -n "$wine_dir" ] || return 0
  if [ -n "$wineserver_pid" ]; then
    wineserver -k 2>/dev/null || true  # acts on this prefix only
    local tick
    for ((tick = 0; tick < 100; tick++)); do
      kill -0 "$wineserver_pid" 2>/dev/null || break
      sleep 0.05
    done
    kill -9 "$wineserver_pid" 2>/dev/null || true
    wait "$wineserver_pid" 2>/dev/null || true
  fi
  rm -rf "$wine_dir"
}

# A private wine prefix with its server kept up for the whole run (each test program then
# starts in a fraction of a second); no Mono or Gecko prompts, no debug noise.
start_wine() {
  wine_dir=$(mktemp -d "${TMPDIR:-/tmp}/brindlemoor-wine.XXXXXX")
  export WINEPREFIX=$wine_dir/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  trap stop_wine EXIT
  mkdir -p "$WINEPREFIX"
  wineserver -f -p </dev/null >/dev/null 2>&1 &
  wineserver_pid=$!
  echo "windows.sh: making the wine prefix"
  timeout 120 /usr/lib/wine/wine64 wineboot --init </dev/null >"$wine_dir/wineboot.log" 2>&1 ||
    { cat "$wine_dir/wineboot.log" >&2; die "wine could not make its prefix"; }
}

test_windows() {
  build_windows
  start_wine
  # The end-to-end tests compare with the Linux receiver and use the Linux sender.
  local linux_tools=$root/build/tools
  [ -x "$linux_tools/brindlemoor-send" ] ||
    echo "windows.sh: no Linux build in build/: the end-to-end tests will be skipped" >&2
  cmake "$build" -DBRINDLEMOOR_LINUX_TOOLS="$linux_tools" >/dev/null
  # The window's end-to-end test runs wine in Japanese (ANSI code page 932).
  # Generating it needs root: through sudo when not run as root, as install-deps.sh does.
  local as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8' ||
    "${as_root[@]}" localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 ||
    echo "windows.sh: cannot generate the ja_JP.UTF-8 locale: the window's test will fail" >&2
  ctest --test-dir "$build" --output-on-failure -j"$jobs"
}

case "${1:-}" in
  build)
    build_windows
    ;;
  test)
    test_windows
    ;;
  -h | --help)
    sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'
    ;;
  *)
    echo "usage: $0 build | test | --help" >&2
    exit 2
    ;;
esac
