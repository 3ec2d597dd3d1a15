#!/usr/bin/env bash
# Every option that quillmark-cli's help shows, for the write command and
# for each subcommand named, is described in its manual page, and each
# command word its synopsis names (quillmark-cli ledger pool add) has its
# synopsis there and its entry.
#   check_man_page_options.sh QUILLMARK_CLI PAGE [SUBCOMMAND...]
set -euo pipefail
cli="$1"
page="$2"
shift 2

# The page as man shows it, so "\-\-out" reads "--out".
text="$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$page" 2>/dev/null)"
missing=0
check() {
  local command="$1"
  shift
  local option
  for option in $("$cli" "$@" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    if ! grep -q -- "$option\b" <<<"$text"; then
      echo "$page: $command's option $option is not described" >&2
      missing=1
    fi
  done
}
check quillmark-cli
for subcommand in "$@"; do
  grep -q "quillmark-cli $subcommand" <<<"$text" ||
    { echo "$page: no synopsis for quillmark-cli $subcommand" >&2; missing=1; }
  check "quillmark-cli $subcommand" "$subcommand"
  while read -r words; do
    grep -q "quillmark-cli $subcommand $words\b" <<<"$text" ||
      { echo "$page: no synopsis for quillmark-cli $subcommand $words" >&2; missing=1; }
    # An entry's tag starts its line in the description: "       backup FILE".
    grep -Eq "^ +${words%% *}( |$)" <<<"$text" ||
      { echo "$page: quillmark-cli $subcommand ${words%% *} is not described" >&2; missing=1; }
  done < <("$cli" "$subcommand" --help |
    sed -n "s/^\(.*: \)\{0,1\} *quillmark-cli $subcommand \([a-z][a-z]*\( [a-z][a-z]*\)*\).*/\2/p")
done
exit $missing
