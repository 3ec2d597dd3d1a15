#!/usr/bin/env bash
# Every option that quillmark-cli's help shows, for the write command and
# for each subcommand named, is described in its manual page.
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
done
exit $missing
