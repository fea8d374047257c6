#!/usr/bin/env bash
# `cmake --install` into a fresh prefix, as for `--prefix ~/.local`: the programs, the menu
# entry and its icons, the man pages, the completion under every program's name (loaded on
# demand by bash-completion from the prefix, as it is from ~/.local/share), and the example
# recording, which the installed receiver must decode.
#
#   install_tree_test.sh BUILD_DIR MAN_PAGES(ON|OFF) WINDOW(ON|OFF)
set -uo pipefail
build=$(realpath "$1")
man_pages=$2 window=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1 ||
  { cat "$prefix.log"; rm -f "$prefix.log"; echo "FAIL: cmake --install"; exit 1; }
rm -f "$prefix.log"

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

programs=(brindlemoor-receive brindlemoor-send brindlemoor-channel)
[ "$window" = ON ] && programs+=(brindlemoor)
expected=(share/bash-completion/completions/brindlemoor
  share/doc/brindlemoor/examples/hello.wav)
for program in "${programs[@]}"; do
  expected+=("bin/$program" "share/bash-completion/completions/$program")
  [ "$man_pages" = ON ] && expected+=("share/man/man1/$program.1")
done
if [ "$window" = ON ]; then
  expected+=(share/applications/brindlemoor.desktop)
  for size in 16 32 48 256; do
    expected+=("share/icons/hicolor/${size}x$size/apps/brindlemoor.png")
  done
fi
for path in "${expected[@]}"; do
  [ -f "$prefix/$path" ] || fail "$path is not installed"
done
for program in "${programs[@]}"; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is not executable"
done

# bash-completion finds the script under each program's name in the user's data directory.
for program in "${programs[@]}"; do
  loaded=$(XDG_DATA_HOME=$prefix/share BASH_COMPLETION_USER_DIR='' bash -c '
    source /usr/share/bash-completion/bash_completion 2>/dev/null || exit 77
    _completion_loader "$1" >/dev/null 2>&1
    complete -p "$1"' _ "$program")
  status=$?
  ((status == 77)) && { echo "bash-completion is not installed: loading not checked"; break; }
  [ "$loaded" = "complete -F _brindlemoor $program" ] ||
    fail "bash-completion does not load the completion of $program: '$loaded'"
done

out=$(mktemp -d)
"$prefix/bin/brindlemoor-receive" --input "$prefix/share/doc/brindlemoor/examples/hello.wav" \
  --output-dir "$out" >"$out/stdout" 2>"$out/stderr" || fail "the installed receiver failed"
[ "$(cat "$out/stdout")" = "Hello from Brindlemoor!" ] ||
  fail "the installed example decodes to '$(cat "$out/stdout")'"
rm -rf "$out"

if ((failures)); then
  echo "$failures install checks failed"
  exit 1
fi
echo "installed ${#expected[@]} files; the example decodes from the installed tree"
