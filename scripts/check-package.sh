#!/usr/bin/env bash
# Tries the Debian package the way a user gets it: installs build-deb/brindlemoor_*.deb with apt
# into a clean Debian 12 root that mmdebstrap makes from Debian's mirror (so the dependencies
# computed for the package must be enough), and there decodes the example recording with the
# installed brindlemoor-receive, compares the text, checks each program's --version, the man
# pages and the completion, starts the menu entry's command line on Qt's offscreen platform and
# closes it with SIGTERM, and finally purges the package, after which none of its files may be
# left. The root is thrown away; about a minute, most of it downloading.
#
#   scripts/check-package.sh [DEB]
#
# Needs root, and takes it through sudo otherwise. When the mirror cannot be reached it falls
# back to this machine, as root only: dpkg -i, the same checks, dpkg --purge.
set -euo pipefail
cd "$(dirname "$0")/.."
readonly kSuite=bookworm

case "${1:-}" in
  --help | -h)
    sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "$0"
    exit 0
    ;;
esac
deb=${1:-$(ls build-deb/brindlemoor_*_"$(dpkg --print-architecture)".deb 2>/dev/null | head -n 1)}
[ -n "$deb" ] && [ -f "$deb" ] || {
  echo "check-package: no package ${1:-in build-deb/}; build it with scripts/package.sh" >&2
  exit 2
}
deb=$(realpath "$deb")
version=$(dpkg-deb -f "$deb" Version)

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "check-package: needs root (or sudo)" >&2; exit 2; }
  echo "check-package: making the clean root with sudo mmdebstrap" >&2
  as_root=(sudo)
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/check-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp "$deb" "$work/brindlemoor.deb"

# What runs inside the clean root (or, as the fallback, on this machine).
cat >"$work/inside.sh" <<'INSIDE'
#!/bin/bash
set -euo pipefail
export LC_ALL=C.UTF-8 DEBIAN_FRONTEND=noninteractive
deb=$1 version=$2
readonly kPrograms=(brindlemoor brindlemoor-receive brindlemoor-send brindlemoor-channel)
readonly kExample=/usr/share/doc/brindlemoor/examples/hello.wav
step() { echo "check-package: $*"; }
fail() { echo "check-package: FAIL: $*" >&2; exit 1; }

step "installing $(basename "$deb") $version"
if command -v apt-get >/dev/null && [ "${CHECK_PACKAGE_DPKG:-}" != 1 ]; then
  apt-get install -y --no-install-recommends "$deb" >/tmp/brindlemoor-apt.log 2>&1 ||
    { cat /tmp/brindlemoor-apt.log; fail "apt-get could not install the package"; }
else
  dpkg -i "$deb" || fail "dpkg could not install the package"
fi
mapfile -t files < <(dpkg-query -L brindlemoor)

step "decoding $kExample"
run=$(mktemp -d)
cd "$run"
brindlemoor-receive --input "$kExample" >stdout.txt 2>stderr.txt ||
  { cat stderr.txt >&2; fail "brindlemoor-receive exited with $?"; }
printf 'Hello from Brindlemoor!\n' >expected.txt
cmp expected.txt stdout.txt || fail "standard output is '$(cat stdout.txt)'"
cmp expected.txt receive.txt || fail "receive.txt is '$(cat receive.txt)'"
[ ! -s flag.dat ] || fail "flag.dat is not empty"
step "received: $(cat stdout.txt)"

for program in "${kPrograms[@]}"; do
  printed=$("$program" --version | head -n 1)
  [ "$printed" = "$program (Brindlemoor) $version" ] || fail "$program --version says '$printed'"
  [ -s "/usr/share/man/man1/$program.1.gz" ] || fail "no man page for $program"
  [ -e "/usr/share/bash-completion/completions/$program" ] || fail "no completion for $program"
done
step "--version, man pages and completions of the four programs are in place"

desktop=/usr/share/applications/brindlemoor.desktop
command_line=$(sed -n 's/^Exec=//p' "$desktop")
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -s "/usr/share/icons/hicolor/48x48/apps/$icon.png" ] || fail "no icon $icon"
step "starting the menu entry's command line: $command_line"
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$run $command_line 2>window.txt &
window=$!
for ((tick = 0; tick < 200; tick++)); do
  grep -q 'capturing from\|nothing will be received' window.txt && break
  kill -0 "$window" 2>/dev/null || { cat window.txt >&2; fail "the window ended early"; }
  sleep 0.1
done
grep -q 'capturing from\|nothing will be received' window.txt ||
  { kill -KILL "$window"; fail "the window did not start receiving in 20 s"; }
kill -TERM "$window"
status=0
wait "$window" || status=$?
((status == 0)) || { cat window.txt >&2; fail "the window exited with $status after SIGTERM"; }
step "the window started and closed on SIGTERM with status 0"

cd /
rm -rf "$run"
step "purging"
dpkg --purge brindlemoor >/dev/null || fail "dpkg could not remove the package"
for f in "${files[@]}"; do
  [ -d "$f" ] && [ ! -L "$f" ] && continue
  [ ! -e "$f" ] && [ ! -L "$f" ] || fail "$f is left after removal"
done
step "removed cleanly: none of the package's ${#files[@]} paths is left"
INSIDE

log=$work/mmdebstrap.log
start=$(date +%s)
status=0
"${as_root[@]}" mmdebstrap --variant=apt --mode=root --quiet \
  --customize-hook="copy-in $work/brindlemoor.deb $work/inside.sh /tmp" \
  --customize-hook="chroot \"\$1\" bash /tmp/inside.sh /tmp/brindlemoor.deb $version" \
  "$kSuite" /dev/null >"$log" 2>&1 || status=$?
grep '^check-package' "$log" || true
if ((status == 0)); then
  echo "check-package: passed in a clean $kSuite root in $(($(date +%s) - start)) s"
  exit 0
fi
if ! grep -q 'Failed to fetch\|Temporary failure resolving\|Could not resolve\|apt-get update failed' "$log"; then
  grep -v '^check-package' "$log" | tail -n 40 >&2
  echo "check-package: failed in the clean root" >&2
  exit 1
fi
echo "check-package: Debian's mirror cannot be reached; trying on this machine instead" >&2
if [ "$(id -u)" -ne 0 ]; then
  echo "check-package: skipped: installing on this machine is done as root only" >&2
  exit 77
fi
if dpkg-query -W -f='${Status}' brindlemoor 2>/dev/null | grep -q 'install ok installed'; then
  echo "check-package: brindlemoor is already installed here; not touching it" >&2
  exit 1
fi
CHECK_PACKAGE_DPKG=1 bash "$work/inside.sh" "$work/brindlemoor.deb" "$version"
