#!/bin/sh
# Runs PROGRAM with OPTION (--help or --version) for help2man, which reads what it prints; the
# help's "Exit status:" heading becomes a section of its own in the man page.
#
#   help-for-man.sh PROGRAM OPTION
"$1" "$2" | sed 's/^Exit status:$/*Exit status*/'
