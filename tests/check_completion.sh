#!/usr/bin/env bash
# The bash completion against the program's own --help: every option offered, each fixed set of values
# offered whole for the option that takes it (also as "--option=value"), and no folder names for options
# that take a number or a word.
#   check_completion.sh PROGRAM COMPLETION_FILE
set -uo pipefail
program=$(realpath "$1")
completion=$(realpath "$2")
failures=0

complete_words() {  # complete_words WORD...: what the completion offers for the last word, sorted, one line
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _morvex_scan
    printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" "$@" | sort | tr '\n' ' '
}
expect() {  # expect WHAT GOT WANTED
  if [ "$2" != "$3" ]; then
    echo "completion: $1: got '$2', wanted '$3'" >&2
    failures=$((failures + 1))
  fi
}
sorted() { tr ' ,' '\n\n' | sed '/^$/d' | sort | tr '\n' ' '; }

help=$("$program" --help)
expect "options" "$(complete_words morvex-scan -)" \
  "$(grep -oE -- '(^|[ ,])-{1,2}[a-z][a-z0-9-]*' <<<"$help" | tr -d ' ,' | sort -u | tr '\n' ' ')"
# An empty folder as the current one: a folder name offered for a value would show.
cd "$(mktemp -d)" && mkdir decoy
for option in --format --sarif-results; do
  wanted=$(sed -n "s/.*$option TEXT:{\([^}]*\)}.*/\1/p" <<<"$help" | sorted)
  expect "$option values" "$(complete_words morvex-scan "$option" '')" "$wanted"
  expect "$option= values" "$(complete_words morvex-scan "$option" = '')" "$wanted"
done
expect "--jobs values" "$(complete_words morvex-scan --jobs '' | grep -c decoy)" 0
expect "-j 1" "$(complete_words morvex-scan -j 1 | cut -d' ' -f1)" 1
expect "FOLDER" "$(complete_words morvex-scan --unique '')" "decoy "
exit $((failures > 0))
