#!/usr/bin/env bash
# man shows a program's English page in an English locale, in C and with no
# locale at all, and its Chinese page in a Chinese one, choosing by the
# messages category (LC_ALL, then LC_MESSAGES, then LANG; man-db does not
# read LANGUAGE). The locales are compiled into a scratch folder, so the
# machine's own locale settings are neither needed nor changed.
#   check_man_page_locale.sh MAN_ROOT PROGRAM…
# MAN_ROOT holds man1/ and zh_CN/man1/: a build's doc folder, or
# /usr/share/man for the installed pages (then man searches as it always does).
set -euo pipefail
root="$(realpath "$1")"
shift

locales="$(mktemp -d)"
trap 'rm -rf "$locales"' EXIT
for locale in en_US zh_CN; do
  localedef -i "$locale" -f UTF-8 "$locales/$locale.utf8" ||
    { echo "localedef cannot make $locale.UTF-8 (package locales)" >&2; exit 1; }
done
# C.UTF-8 and the others stay where glibc keeps them.
locpath="$locales:/usr/lib/locale"
search=()
[[ "$root" == /usr/share/man ]] || search=(MANPATH="$root")

status=0
# The page man finds and the first heading it renders under ENVIRONMENT.
check() {
  local expected=$1 environment=$2 program=$3 found heading folder want_heading errors
  errors="$(mktemp)"
  # shellcheck disable=SC2086  # the environment is a list of words
  found="$(env -i PATH="$PATH" LOCPATH="$locpath" "${search[@]}" $environment \
    man -w "$program" 2>"$errors")" || true
  # At a width other than 66 to 80 columns man saves no formatted copy in
  # /var/cache/man, which would outlive the package.
  # shellcheck disable=SC2086
  heading="$(env -i PATH="$PATH" LOCPATH="$locpath" "${search[@]}" $environment MANWIDTH=100 \
    man "$program" 2>>"$errors" | grep -m1 -E '^[^ ].*[^)]$')" || true
  case "$expected" in
    en) folder="$root/man1" want_heading=NAME ;;
    zh_CN) folder="$root/zh_CN/man1" want_heading=名称 ;;
  esac
  if [[ "$(dirname "$found")" != "$folder" || "$heading" != "$want_heading" || -s "$errors" ]]; then
    echo "FAIL ${environment:-no locale}: man -w $program gives '$found' and the page" \
      "starts '$heading'; expected a page in $folder starting '$want_heading'" >&2
    cat "$errors" >&2
    status=1
  else
    echo "ok ${environment:-no locale}: $found"
  fi
  rm -f "$errors"
}

for program in "$@"; do
  while IFS='|' read -r expected environment; do
    check "$expected" "$environment" "$program"
  done <<'CASES'
en|LANG=en_US.UTF-8
zh_CN|LANG=zh_CN.UTF-8
en|LANG=C
en|LANG=C.UTF-8
en|
zh_CN|LANG=en_US.UTF-8 LC_ALL=zh_CN.UTF-8
en|LANG=zh_CN.UTF-8 LC_ALL=en_US.UTF-8
zh_CN|LANG=en_US.UTF-8 LC_MESSAGES=zh_CN.UTF-8
CASES
done
exit $status
