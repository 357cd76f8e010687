#!/usr/bin/env bash
# Makes the bash completions as the package's build does, loads them into this bash and
# completes command lines through what `complete` registered, with COMP_WORDS split as bash
# splits them (at blanks, and at "=", which is in COMP_WORDBREAKS): the commands, each
# command's options, the --restart values, file names, nothing for a number. And for every
# command, the options it completes are exactly the options its --help names.
#   check_completion.sh PYTHON HELP_DOCS QUILLSTONE_CLI QUILLSTONE_DEVSIM
set -uo pipefail
python=$1 help_docs=$2 cli=$3 devsim=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

for program in "$cli" "$devsim"; do
  name=$(basename "$program")
  "$python" "$help_docs" bash-completion "$program" --name "$name" --output "$work/$name" ||
    exit 1
  # shellcheck source=/dev/null
  source "$work/$name"
done

# The completions of the line (cursor at its end), one per line, sorted.
completions() {
  local line=$1 function
  local -a words
  read -ra words <<<"${line//=/ = }"
  [[ $line == *" " ]] && words+=("")
  function=$(complete -p "${words[0]}" | sed 's/.*-F \([^ ]*\) .*/\1/')
  COMP_LINE=$line COMP_POINT=${#line} COMP_WORDS=("${words[@]}")
  COMP_CWORD=$((${#words[@]} - 1))
  COMPREPLY=()
  "$function" "${words[0]}" "${words[COMP_CWORD]}" "${words[COMP_CWORD - 1]:-}"
  ((${#COMPREPLY[@]})) && printf '%s\n' "${COMPREPLY[@]}" | sort
}

expect() {
  local line=$1 wanted got
  wanted=$(printf '%s\n' "${@:2}" | sed '/^$/d' | sort)
  got=$(completions "$line")
  if [ "$got" != "$wanted" ]; then
    echo "FAIL: '$line<TAB>' completes to [$(tr '\n' ' ' <<<"$got")], not" \
      "[$(tr '\n' ' ' <<<"$wanted")]"
    failures=$((failures + 1))
  fi
}

mkdir -p "$work/site"
touch "$work/site/options.ini" "$work/site/site.csv" "$work/site/run1.json"

expect "quillstone-cli " read apply test
expect "quillstone-cli a" apply
expect "quillstone-cli -" -h --help --version
expect "quillstone-cli apply --re" --report --restart
expect "quillstone-cli apply --restart " always changed never
expect "quillstone-cli apply --restart c" changed
expect "quillstone-cli apply --restart=" always changed never
expect "quillstone-cli apply --restart=n" never
expect "quillstone-cli apply --check --verify-t" --verify-timeout
expect "quillstone-cli apply --jobs " ""
expect "quillstone-cli apply --options $work/site/o" "$work/site/options.ini"
expect "quillstone-cli apply --options $work/site/options.ini --only-failed $work/site/r" \
  "$work/site/run1.json"
expect "quillstone-cli apply --restart never --v" --verify --verify-timeout
expect "quillstone-cli read --devices $work/site/s" "$work/site/site.csv"
expect "quillstone-cli read --sh" --show-secrets
expect "quillstone-cli test --restart" ""
expect "quillstone-cli test tcp:127.0.0.1 --j" --jobs --json
expect "quillstone-devsim --st" --state
expect "quillstone-devsim --log $work/site/s" "$work/site/site.csv"
expect "quillstone-devsim --delay " ""
expect "quillstone-devsim --pty --" --listen --pty --serial --baud --device-number --os \
  --devices --state --log --refuse --delay --silent --close-after --corrupt-replies \
  --drop-at-restart --chaos --chaos-delay --help --version

# A bash whose COMP_WORDBREAKS lacks "=" leaves "--restart=ch" one word: the value completes
# with the option in front.
COMP_WORDS=(quillstone-cli apply --restart=ch) COMP_CWORD=2
COMPREPLY=()
_quillstone_cli quillstone-cli --restart=ch apply
if [ "${COMPREPLY[*]}" != "--restart=changed" ]; then
  echo "FAIL: an unsplit '--restart=ch' completes to [${COMPREPLY[*]}], not [--restart=changed]"
  failures=$((failures + 1))
fi

# The options that start a line of each command's --help are the options it completes.
options_of_help() {
  grep -oE '^ +-{1,2}[A-Za-z][-A-Za-z0-9]*(, ?-{1,2}[A-Za-z][-A-Za-z0-9]*)*' |
    tr ',' '\n' | tr -d ' '
}
commands=$("$cli" --help | sed -n '/^Subcommands:/,/^$/p' | awk 'NR > 1 && NF { print $1 }')
[ -n "$commands" ] || {
  echo "FAIL: quillstone-cli --help lists no commands"
  failures=$((failures + 1))
}
for command in $commands; do
  mapfile -t wanted < <("$cli" "$command" --help | options_of_help)
  expect "quillstone-cli $command -" "${wanted[@]}"
done
mapfile -t wanted < <("$devsim" --help | options_of_help)
expect "quillstone-devsim -" "${wanted[@]}"

if ((failures)); then
  echo "$failures completion(s) wrong"
  exit 1
fi
echo "completions: every case and every command's options as its --help names them"
