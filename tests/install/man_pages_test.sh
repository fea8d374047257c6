#!/usr/bin/env bash
# The generated man pages: each renders without a warning from man, and has what a reader looks
# for, taken from the program's own --help where it can be: every usage line in SYNOPSIS, every
# option in OPTIONS, an EXIT STATUS section with each status, the project's version (which
# help2man reads from --version) in the header, and the examples; the receivers' pages also
# describe both output files and the flag.dat lines.
# Skipped (77) without man-db.
#
#   man_pages_test.sh PAGES_DIR VERSION PROGRAM...
set -uo pipefail
pages=$1 version=$2
shift 2
command -v man >/dev/null || { echo "skipped: man-db is not installed"; exit 77; }
export LC_ALL=C.UTF-8 MANWIDTH=200

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

for program in "$@"; do
  name=${program##*/}
  page=$pages/$name.1
  [ -s "$page" ] || { fail "$page is missing"; continue; }
  text=$(man --warnings -l "$page" 2>"$pages/$name.warnings") || fail "$name: man -l failed"
  [ ! -s "$pages/$name.warnings" ] || fail "$name: man warns: $(cat "$pages/$name.warnings")"
  help=$("$program" --help)

  grep -q "^\.TH ${name^^} \"1\" .*\"Brindlemoor $version\"" "$page" ||
    fail "$name: the header does not carry version $version"
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" EXAMPLES "SEE ALSO"; do
    grep -q "^$section\$" <<<"$text" || fail "$name: no $section section"
  done
  usages=$(grep -c '^\(Usage\|  or\): ' <<<"$help")
  synopsis=$(sed -n '/^SYNOPSIS$/,/^[A-Z]/p' <<<"$text" | grep -c "^ *$name")
  ((usages == synopsis)) || fail "$name: $usages usage lines in --help, $synopsis in SYNOPSIS"
  options=$(sed -n '/^OPTIONS$/,/^[A-Z]/p' <<<"$text")
  while read -r option; do
    grep -q -- "$option" <<<"$options" || fail "$name: $option is not in OPTIONS"
  done < <(grep -o '^  \(-[a-z], \)\{0,1\}--[a-z0-9-]*' <<<"$help" | sed 's/.*--/--/')
  # --help ends with an "Exit status:" table, which becomes the EXIT STATUS section.
  statuses=$(sed -n '/^EXIT STATUS$/,/^[A-Z]/p' <<<"$text")
  listed=$(sed -n '/^Exit status:$/,$p' <<<"$help" | sed -n 's/^  \([0-9][0-9]*\) .*/\1/p')
  [ -n "$listed" ] || fail "$name: --help has no 'Exit status:' table"
  for status in $listed; do
    grep -q "^ *$status " <<<"$statuses" || fail "$name: exit status $status is not in EXIT STATUS"
  done
  case $name in
    brindlemoor | brindlemoor-receive)
      files=$(sed -n '/^FILES$/,/^[A-Z]/p' <<<"$text")
      for needle in receive.txt flag.dat "L0, L1, L2, L3, L4, L5, L6, L7, SUM" \
        "L0, L1, L2, L3, L4, L5, L6, L7 : STEP : BYTE"; do
        grep -qF "$needle" <<<"$files" || fail "$name: FILES does not describe '$needle'"
      done
      ;;
  esac
  case $name in
    brindlemoor | brindlemoor-receive | brindlemoor-send)
      grep -q '^SYMBOLS$' <<<"$text" || fail "$name: no SYMBOLS section"
      ;;
  esac
done

if ((failures)); then
  echo "$failures man page checks failed"
  exit 1
fi
echo "the man pages of $# programs are complete"
