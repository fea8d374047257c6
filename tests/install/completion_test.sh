#!/usr/bin/env bash
# The bash completion, completed as bash would: each program's options (read from its --help),
# the fixed values of --rate, --bits and --reverb, sound devices for --device (inputs for the
# receivers, outputs for the sender, from a stand-in for `brindlemoor-receive --list-devices`),
# and the file arguments. Skipped (77) without bash-completion.
#
#   completion_test.sh COMPLETION_SCRIPT TOOLS_DIR
set -uo pipefail
completion=$(realpath "$1")
tools=$(realpath "$2")
[ -f /usr/share/bash-completion/bash_completion ] ||
  { echo "skipped: bash-completion is not installed"; exit 77; }
# shellcheck source=/dev/null
source /usr/share/bash-completion/bash_completion
# shellcheck source=/dev/null
source "$completion"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/files/take one" "$work/fake"
touch "$work/files/hello.wav" "$work/files/room.flac" "$work/files/notes.txt"
# The stand-in lists one input, one output and one device with both, named as PortAudio does.
cat >"$work/fake/brindlemoor-receive" <<'LIST'
#!/bin/sh
echo "ALSA lib pcm.c: noise that goes to stderr" >&2
echo "0: HDA Intel PCH: ALC892 Analog (hw:0,0) (ALSA) in 2, out 0, 44100 Hz, default input"
echo "1: Speakers (ALSA) in 0, out 2, 48000 Hz, default output"
echo "12: pulse (ALSA) in 32, out 32, 44100 Hz"
LIST
chmod +x "$work/fake/brindlemoor-receive"

# Prints, sorted on one line, what completing the last word of LINE offers; a LINE that ends in
# a space completes a new, empty word.
complete_line() {
  local line=$1
  COMP_LINE=$line
  COMP_POINT=${#line}
  read -ra COMP_WORDS <<<"$line"
  [[ $line == *' ' ]] && COMP_WORDS+=('')
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _brindlemoor "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}

failures=0
check() {
  local line=$1 expected=$2 got
  got=$(cd "$work/files" && complete_line "$line")
  if [ "$got" != "$expected" ]; then
    echo "FAIL: '$line'"
    echo "  expected: $expected"
    echo "  got:      $got"
    failures=$((failures + 1))
  fi
}

r=$tools/brindlemoor-receive s=$tools/brindlemoor-send c=$tools/brindlemoor-channel
# Options, from --help.
check "$r --" "--channel --device --dump --help --input --list-devices --output-dir --raw-stdout --robust --terminal-code-page --trace --version"
check "$s --ra" "--rate --raw"
check "$c --s" "--seed --snr"
check "$r -" "--channel --device --dump --help --input --list-devices --output-dir --raw-stdout --robust --terminal-code-page --trace --version"
if [ -x "$tools/brindlemoor" ]; then
  check "$tools/brindlemoor --" "--device --help --input --list-devices --robust --version"
fi
# Fixed values; numbers are left to the user.
check "$s --rate " "11025 22050 44100 48000"
check "$s --bits=" "16 8"
check "$c --reverb m" "mild"
check "$c --snr " ""
# Files: recordings and directories for recordings, directories for --output-dir, anything for
# the sender's --file (bash itself escapes file names when it shows them).
check "$r --input " "hello.wav room.flac take one"
check "$r -i h" "hello.wav"
check "$r " "hello.wav room.flac take one"
check "$c hello.wav " "hello.wav room.flac take one"
check "$r --output-dir " "take one"
check "$s --file " "hello.wav notes.txt room.flac take one"
check "$s -o " "hello.wav take one"
check "$s " ""
# Devices: names (escaped for the shell) or, after a digit, indexes.
f=$work/fake
check "$f/brindlemoor --device " "HDA\\ Intel\\ PCH:\\ ALC892\\ Analog\\ \\(hw:0\\,0\\) pulse"
check "$f/brindlemoor-receive --device p" "pulse"
check "$f/brindlemoor-send --device " "Speakers pulse"
check "$f/brindlemoor-receive --device 1" "12"
check "$f/brindlemoor-send --device 1" "1 12"

if ((failures)); then
  echo "$failures completion cases failed"
  exit 1
fi
echo "all completion cases passed"
