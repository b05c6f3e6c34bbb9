#!/usr/bin/env bash
# The bash completion against the program: it offers every command, option and ID Tag Language
# name that --help-all lists, and the mount points of the cards the program names.
#   completion_test.sh DELTRIX_CREATOR COMPLETION_SCRIPT
set -euo pipefail
program=$1
script=$2
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

source /usr/share/bash-completion/bash_completion
source "$script"

# Completes the words of a command line (the last one is being typed); prints the offers sorted.
offers() {
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE="${COMP_WORDS[*]}"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _deltrix_creator
  printf '%s\n' "${COMPREPLY[@]}" | sort
}

help=$("$program" --help-all)

# Every command, and every option of every command.
commands=$(sed -n '/^\*Commands\*/,/^\*Exit status\*/p' <<<"$help" | sed -n 's/^\([a-z]\+\) .*:$/\1/p')
[[ -n $commands ]] || fail "no commands found in --help-all"
for command in $commands; do
  grep -qx "$command" <(offers "$program" "") || fail "command $command is not offered"
  # The command's sub-section runs to the next line that starts in the first column.
  options=$(awk -v c="$command" '/^[^ ]/ { on = index($0, c " ") == 1 } on' <<<"$help" | { grep -oE -- '(^|[ ,])--?[a-z][a-z-]*' || true; } |
    tr -d ' ,' | sort -u)
  for option in $options; do
    grep -qx -- "$option" <(offers "$program" "$command" "-") ||
      fail "option $option of $command is not offered"
  done
done
for option in $(sed -n '/^Options:/,/^$/p' <<<"$help" | grep -oE -- '(^|[ ,])--?[a-z][a-z-]*' |
  tr -d ' ,' | sort -u); do
  grep -qx -- "$option" <(offers "$program" "-") || fail "option $option is not offered"
done

# Every language name the --language help lists, and only those.
languages=$(grep -m1 -o 'ID Tag Language: [^(]*' <<<"$help" | sed 's/ID Tag Language: //; s/,/ /g; s/ or / /')
want=$(tr ' ' '\n' <<<"$languages" | grep . | sort)
got=$(offers "$program" create --language "")
[[ $want == "$got" ]] || fail "languages offered: $(echo $got), listed: $(echo $want)"
[[ $(offers "$program" update --language Ge) == German ]] || fail "Ge does not complete to German"

# The drive argument: the mount points the program lists for completion, spaces and all.
cards=$(mktemp)
trap 'rm -f "$cards"' EXIT
printf '#!/bin/sh\n[ "$1 $2" = "drives --mount-points" ] && printf "/media/me/MY STICK\\n/media/me/CARD\\n"\n' >"$cards"
chmod +x "$cards"
[[ $(offers "$cards" show /media/me/M) == "/media/me/MY STICK" ]] || fail "the card is not offered"
[[ $(offers "$cards" create "" | grep -c /media/me/) == 2 ]] || fail "not every card is offered"

exit $((failures > 0))
