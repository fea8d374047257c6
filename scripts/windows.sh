#!/usr/bin/env bash
# Builds Brindlemoor for Windows, 64-bit (x86_64) and 32-bit (i686), with mingw-w64, tests it
# under wine, and makes the release files.
#
#   windows.sh build     installs the packages it needs (install-deps.sh --windows), cross-builds
#                        the libraries from Debian's source packages (libsndfile with its codecs
#                        and libsoxr; once per architecture, kept in build-windows/deps), then
#                        configures and builds the 64-bit programs and tests into build-windows/
#   windows.sh release   builds both architectures and leaves in build-windows/release/ the
#                        portable brindlemoor-VERSION-win64.zip and -win32.zip, the installers
#                        brindlemoor-VERSION-win64-setup.exe and -win32-setup.exe, and the
#                        debug information of the stripped programs (-debug.zip)
#   windows.sh test      builds, then runs the Windows test suite under wine in a private prefix,
#                        with a private PulseAudio server for wave-in (both servers are started
#                        and stopped by PID); the 32-bit build's suite too when wine's 32-bit
#                        loader (wine32) is installed and the kernel runs 32-bit programs; then
#                        makes the release and installs, runs and uninstalls it in the same prefix
#
# BRINDLEMOOR_WINDOWS_BUILD sets the build folder (default build-windows); the 32-bit build lives
# in its i686/ folder.
set -euo pipefail
cd "$(dirname "$0")/.."
readonly root=$PWD
readonly build=${BRINDLEMOOR_WINDOWS_BUILD:-$root/build-windows}
readonly deps=$build/deps
readonly jobs=$(nproc)
readonly wine32_loader=/usr/lib/wine/wine

# Whether wine's 32-bit loader is installed (wine32:i386) and this machine runs it: a kernel built
# without 32-bit support refuses it ("Exec format error").
wine32_runs() {
  [ -x "$wine32_loader" ] && "$wine32_loader" --version >/dev/null 2>&1
}

die() {
  echo "windows.sh: $*" >&2
  exit 1
}

# The build folder, toolchain file, mingw-w64 triplet and release name of each architecture.
build_of() { if [ "$1" = x86_64 ]; then echo "$build"; else echo "$build/$1"; fi; }
toolchain_of() {
  if [ "$1" = x86_64 ]; then echo "$root/cmake/toolchain-mingw64.cmake"; else
    echo "$root/cmake/toolchain-mingw32.cmake"
  fi
}
triplet_of() { echo "$1-w64-mingw32"; }
bits_of() { if [ "$1" = x86_64 ]; then echo win64; else echo win32; fi; }

# --- the libraries' recipe (a change between here and its end builds them again) ---
# The Debian source packages of the libraries the file backends use, built static for Windows:
# the codecs first (Ogg, Vorbis, FLAC, Opus; mpg123 and LAME for MPEG, which libsndfile enables
# only with both), then libsndfile on them, and the resampler. No programs, documents or tests.
readonly libraries=(libogg libvorbis flac opus mpg123 lame libsndfile libsoxr)

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
  # An upstream signature (.asc) the mirror lacks is not needed: dpkg-source does not check it.
  if ! (cd "$download" && private_apt source --download-only "$package" >download.log 2>&1) &&
    ! { grep -q '^E: Failed to fetch .*\.asc ' "$download/download.log" &&
      ! grep '^E: Failed to fetch http' "$download/download.log" | grep -qv '\.asc '; }; then
    cat "$download/download.log" >&2
    die "cannot download the sources of $package"
  fi
  dpkg-source --no-check -x "$download"/*.dsc "$deps/src/$package" >/dev/null
}

# Runs "$@" with its output appended to $log; shows the log's end when it fails.
logged() {
  "$@" >>"$log" 2>&1 || { tail -40 "$log" >&2; die "cross-building failed (log: $log)"; }
}

# Cross-builds package $2 (its CMake project in folder $3 of the sources) for architecture $1
# and installs it into the architecture's prefix; further arguments go to cmake.
build_cmake_library() {
  local arch=$1 package=$2 folder=$3
  shift 3
  local work=$deps/$arch/build/$package prefix=$deps/$arch/prefix
  local log=$work.log
  rm -rf "$work" "$log" && mkdir -p "$work"
  logged cmake -S "$deps/src/$package/$folder" -B "$work" --toolchain "$(toolchain_of "$arch")" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" \
    -DBRINDLEMOOR_WINDOWS_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF "$@"
  logged cmake --build "$work" -j"$jobs" ${targets[$package]:+--target ${targets[$package]}}
  logged cmake --install "$work"
}

# Cross-builds package $2 for architecture $1 with its configure script.
build_autotools_library() {
  local arch=$1 package=$2
  shift 2
  local work=$deps/$arch/build/$package prefix=$deps/$arch/prefix
  local log=$work.log
  rm -rf "$work" "$log" && mkdir -p "$work"
  (
    cd "$work"
    logged "$deps/src/$package/configure" --host="$(triplet_of "$arch")" --prefix="$prefix" \
      --disable-shared --enable-static "$@"
    logged make -j"$jobs"
    logged make install
  )
}

# The targets to build where the default builds more than the library (benchmarks, helpers).
declare -A targets=([flac]=FLAC)

build_libraries_for() {
  local arch=$1
  export PKG_CONFIG_LIBDIR=$deps/$arch/prefix/lib/pkgconfig PKG_CONFIG_PATH=
  build_cmake_library "$arch" libogg . -DINSTALL_DOCS=OFF
  build_cmake_library "$arch" libvorbis .
  build_cmake_library "$arch" flac . -DBUILD_CXXLIBS=OFF -DBUILD_PROGRAMS=OFF \
    -DBUILD_EXAMPLES=OFF -DBUILD_DOCS=OFF -DINSTALL_MANPAGES=OFF -DWITH_OGG=OFF \
    -DWITH_STACK_PROTECTOR=OFF -DWITH_FORTIFY_SOURCE=OFF
  # Opus 1.3.1's CMake files are incomplete in its release: its configure script, without the
  # fortified string calls it would add (they need libssp).
  build_autotools_library "$arch" opus --disable-doc --disable-extra-programs \
    --disable-stack-protector CPPFLAGS=-D_FORTIFY_SOURCE=0
  build_cmake_library "$arch" mpg123 ports/cmake -DBUILD_PROGRAMS=OFF -DBUILD_LIBOUT123=OFF
  build_autotools_library "$arch" lame --disable-frontend --disable-decoder \
    --disable-analyzer-hooks --disable-gtktest
  # FLAC__NO_DLL: libFLAC's header would otherwise declare its functions as imported from a DLL.
  build_cmake_library "$arch" libsndfile . -DCMAKE_C_FLAGS=-DFLAC__NO_DLL \
    -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF \
    -DENABLE_EXTERNAL_LIBS=ON -DENABLE_MPEG=ON -DENABLE_CPACK=OFF -DENABLE_PACKAGE_CONFIG=OFF \
    -DINSTALL_PKGCONFIG_MODULE=OFF -DINSTALL_MANPAGES=OFF
  build_cmake_library "$arch" libsoxr . -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF \
    -DWITH_OPENMP=OFF -DWITH_LSR_BINDINGS=OFF
}

# --- end of the recipe ---

# Fetches the sources once for both architectures, and builds the libraries for architecture
# $1 unless they were built with the same toolchain and recipe.
build_dependencies() {
  local arch=$1 stamp=$deps/$1/prefix/built-from
  local wanted
  wanted="${libraries[*]} $({
    cat "$root/cmake/toolchain-mingw.cmake" "$(toolchain_of "$arch")"
    sed -n "/^# --- the libraries' recipe/,/^# --- end of the recipe/p" "$root/scripts/windows.sh"
  } | sha256sum | cut -c1-16)"
  if [ -f "$stamp" ] && [ "$(head -1 "$stamp")" = "$wanted" ]; then return 0; fi
  if [ "$(cat "$deps/src/fetched" 2>/dev/null)" != "${libraries[*]}" ]; then
    echo "windows.sh: downloading ${libraries[*]} from Debian's sources"
    for package in "${libraries[@]}"; do fetch_source "$package"; done
    echo "${libraries[*]}" >"$deps/src/fetched"
  fi
  echo "windows.sh: cross-building ${libraries[*]} for $arch"
  local start=$SECONDS
  rm -rf "${deps:?}/$arch"
  build_libraries_for "$arch"
  { echo "$wanted"; (cd "$deps/download" && ls ./*/*.dsc); } >"$stamp"
  echo "windows.sh: the $arch libraries took $((SECONDS - start)) s"
}

# Configures and builds architecture $1 into its build folder; further arguments go to cmake.
build_architecture() {
  local arch=$1
  shift
  build_dependencies "$arch"
  cmake -S . -B "$(build_of "$arch")" --toolchain "$(toolchain_of "$arch")" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRINDLEMOOR_WINDOWS_PREFIX="$deps/$arch/prefix" \
    "$@" >/dev/null
  cmake --build "$(build_of "$arch")" -j"$jobs"
}

build_windows() {
  scripts/install-deps.sh --windows
  build_architecture x86_64
}

# The 32-bit build has its tests only where wine can run them.
build_i686() {
  local tests=OFF
  ! wine32_runs || tests=ON
  build_architecture i686 -DBRINDLEMOOR_BUILD_TESTS=$tests
}

# Installs architecture $1 into $2, with each program stripped and its debug information in
# $3/NAME.exe.debug (the program names it, for debuggers and crash reports).
stage_architecture() {
  local arch=$1 stage=$2 debug=$3 triplet
  triplet=$(triplet_of "$1")
  cmake --install "$(build_of "$arch")" --prefix "$stage" >/dev/null
  mkdir -p "$debug"
  local program name
  for program in "$stage"/*.exe; do
    name=$(basename "$program")
    "$triplet-objcopy" --only-keep-debug "$program" "$debug/$name.debug"
    "$triplet-strip" --strip-all "$program"
    (cd "$debug" && "$triplet-objcopy" --add-gnu-debuglink="$name.debug" "$program")
  done
}

release_windows() {
  local version out=$build/release
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
  [ -n "$version" ] || die "no project version in $build/CMakeCache.txt"
  rm -rf "$out" && mkdir -p "$out/stage"
  local arch bits folder
  for arch in x86_64 i686; do
    bits=$(bits_of "$arch")
    folder=brindlemoor-$version-$bits
    stage_architecture "$arch" "$out/stage/$folder" "$out/stage/brindlemoor-$version-debug/$bits"
    (cd "$out/stage" && zip -q -r -X "$out/$folder.zip" "$folder")
    # What the uninstaller removes: each installed file, then each folder, deepest first.
    (
      cd "$out/stage/$folder"
      find . -type f | sort | sed 's|^\./||; s|/|\\|g; s|.*|Delete "$INSTDIR\\&"|'
      find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|.*|RMDir "$INSTDIR\\&"|'
    ) >"$out/stage/$folder-files.nsh"
    makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DBITS="$bits" \
      -DSTAGE="$out/stage/$folder" -DFILES="$out/stage/$folder-files.nsh" \
      -DOUTFILE="$out/$folder-setup.exe" \
      "$root/data/windows/installer.nsi" >"$out/stage/$folder-makensis.log" 2>&1 ||
      { cat "$out/stage/$folder-makensis.log" >&2; die "makensis failed for $bits"; }
  done
  (cd "$out/stage" && zip -q -r -X "$out/brindlemoor-$version-debug.zip" \
    "brindlemoor-$version-debug")
  rm -rf "$out/stage"
  echo "windows.sh: release files in $out:"
  (cd "$out" && ls -l)
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

  build_i686
  if wine32_runs; then
    cmake "$(build_of i686)" -DBRINDLEMOOR_LINUX_TOOLS="$linux_tools" >/dev/null
    ctest --test-dir "$(build_of i686)" --output-on-failure -j"$jobs"
  else
    echo "windows.sh: 32-bit wine does not run here (no $wine32_loader, package wine32:i386," \
      "or a kernel without 32-bit support): the 32-bit suite and installer are not run" >&2
  fi

  release_windows
  "$root/tests/windows/installer_wine_test.sh" "$build"/release/*-win64-setup.exe \
    "$(build_of x86_64)/tools/brindlemoor-receive.exe"
  if wine32_runs; then
    "$root/tests/windows/installer_wine_test.sh" "$build"/release/*-win32-setup.exe \
      "$(build_of i686)/tools/brindlemoor-receive.exe"
  fi
}

case "${1:-}" in
  build)
    build_windows
    ;;
  release)
    build_windows
    build_i686
    release_windows
    ;;
  test)
    test_windows
    ;;
  -h | --help)
    sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'
    ;;
  *)
    echo "usage: $0 build | release | test | --help" >&2
    exit 2
    ;;
esac
