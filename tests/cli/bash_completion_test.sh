#!/bin/bash
# The bash completion of quillmark-cli, called as bash calls it: the
# subcommands and ledger words, every option the help of each command
# lists, and files or folders where an option's value is a path.
# Usage: bash_completion_test.sh COMPLETION_FILE QUILLMARK_CLI
set -u
completion=$1
cli=$2
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# shellcheck source=/dev/null
source "$completion"
complete -p quillmark-cli >/dev/null || fail "quillmark-cli has no completion"

# What completing the last word offers, sorted, one a line.
offers() {
  COMP_WORDS=("$cli" "$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE="${COMP_WORDS[*]}"
  COMPREPLY=()
  _quillmark_cli
  printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort
}
expect() {
  local want=$1
  shift
  local got
  got="$(offers "$@")"
  [[ "$got" == "$want" ]] || fail "completing '$*': got [${got//$'\n'/ }], expected [${want//$'\n'/ }]"
}

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
mkdir images out-a
touch image.img images/inner.img notes.txt

expect $'labels\nledger\nverify' ""
expect $'ledger' "le"
expect $'backup\ncheck\nexport\ninit\nlist\npool\nreport\nseries\nshow\nvoid' ledger ""
expect $'backup' ledger b
expect $'add\nlist' ledger pool ""
expect "" ledger pool add ""
expect $'add\nlist' ledger series ""
expect $'--template' ledger series add sn --tem
expect $'--series' ledger check --ser
expect "" ledger show ""
expect $'image.img\nimages' ledger backup im
expect $'image.img\nimages' ledger init im
expect $'default' ledger init def
expect $'--reason' ledger void 3 --rea
expect $'--count' --co
expect $'--reason\n--rerun' --re
expect $'--allow-other-files' verify --allow
expect $'--pool' ledger list --po
expect $'--html' ledger report --ht
expect $'--layout\n--lot' labels --l
expect $'image.img\nimages' --image im
expect $'image.img\nimages' --count 3 --image = im
expect $'--image=image.img\n--image=images' --image=im
expect $'images\nout-a' --image image.img --out ""
expect $'next' --start-mac n
expect $'default' ledger list --ledger def
expect "" --count ""

# The ledger's words are the ones its help's synopsis names, no copy.
usages="$("$cli" ledger --help | sed -n 's/^\(.*: \)\{0,1\} *quillmark-cli ledger \([a-z][a-z]*\).*/\2/p' |
  LC_ALL=C sort -u)"
[[ "$(offers ledger "")" == "$usages" ]] || fail "ledger words: offered [$(offers ledger "" | tr '\n' ' ')], the help names [${usages//$'\n'/ }]"

# Every option each command's help lists is offered after "--".
for command in "" verify labels ledger "ledger report"; do
  # shellcheck disable=SC2086
  listed="$("$cli" $command --help | sed -n 's/^  \(--[a-z][a-z-]*\).*/\1/p' | LC_ALL=C sort -u)"
  [[ -n "$listed" ]] || fail "'$command --help' lists no option"
  # shellcheck disable=SC2086
  offered="$(offers $command -- | LC_ALL=C sort -u)"
  [[ "$listed" == "$offered" ]] ||
    fail "'$command --': offered [${offered//$'\n'/ }], the help lists [${listed//$'\n'/ }]"
done

((failures == 0)) || exit 1
echo "bash completion: all cases passed"
