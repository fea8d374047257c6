#!/usr/bin/env bash
# Builds the Debian package with debhelper (debian/) from the working tree into build-deb/ and
# checks it with lintian: any error fails, warnings are shown. The package's own test step is
# skipped (scripts/test.sh runs every test) unless --with-tests is given.
#
#   scripts/package.sh [--with-tests]
#
# Then: sudo apt install ./build-deb/brindlemoor_VERSION_ARCH.deb, and scripts/check-package.sh
# installs it into a clean Debian root and tries it there.
set -euo pipefail
cd "$(dirname "$0")/.."
readonly kOut=build-deb

build_options=nocheck
case "${1:-}" in
  "") ;;
  --with-tests) build_options= ;;
  --help | -h)
    sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "$0"
    exit 0
    ;;
  *)
    echo "package.sh: unknown option '$1' (see --help)" >&2
    exit 2
    ;;
esac

scripts/install-deps.sh --package
[ -n "$build_options" ] || scripts/install-deps.sh --test

# The package's version is the project's: debian/changelog must have an entry for it.
version=$(sed -n 's/^project(Brindlemoor VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
packaged=$(dpkg-parsechangelog -S Version)
if [ "$version" != "$packaged" ]; then
  echo "package.sh: CMakeLists.txt says $version but debian/changelog $packaged;" \
    "add an entry: dch -v $version" >&2
  exit 1
fi

# The working tree as it is, without builds or the repository: what git tracks and would track.
rm -rf "$kOut"
source_dir=$kOut/src/brindlemoor-$version
mkdir -p "$source_dir"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
    tar --null -T - -cf - | tar -xf - -C "$source_dir"
else
  tar --exclude='./build*' --exclude=./out -cf - . | tar -xf - -C "$source_dir"
fi

echo "package.sh: building brindlemoor $version in $source_dir"
(cd "$source_dir" &&
  DEB_BUILD_OPTIONS="$build_options ${DEB_BUILD_OPTIONS:-}" \
    dpkg-buildpackage --build=binary --no-sign -j"$(nproc)") >"$kOut/build.log" 2>&1 || {
  tail -n 60 "$kOut/build.log" >&2
  echo "package.sh: the package did not build; the whole log is $kOut/build.log" >&2
  exit 1
}
mv "$kOut"/src/*.deb "$kOut"/src/*.changes "$kOut"/src/*.buildinfo "$kOut"/
find "$kOut/src" -maxdepth 1 -name '*.ddeb' -exec mv {} "$kOut"/ \;
changes=$(ls "$kOut"/*.changes)

echo "package.sh: lintian"
lintian --fail-on error --display-level '>=info' "$changes" | tee "$kOut/lintian.txt"
warnings=$(grep -c '^W: ' "$kOut/lintian.txt" || true)
echo "package.sh: lintian reports no errors, $warnings warnings"
ls -l "$kOut"/*.deb
