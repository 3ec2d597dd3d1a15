#!/usr/bin/env bash
# Renders a manual page as man shows it on an 80-column UTF-8 terminal (and
# an English page on an ASCII one too) and fails on any warning of man or
# groff, on a NAME line that the whatis
# index cannot read, or on a missing section of the page's language.
#   check_man_page.sh PAGE en|zh_CN
set -euo pipefail
page="$1"
language="$2"

case "$language" in
  en) sections=(NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES EXAMPLES "SEE ALSO") ;;
  zh_CN) sections=(名称 概述 描述 选项 退出状态 文件 示例 参见) ;;
  *) echo "check_man_page.sh: no sections known for language $language" >&2; exit 2 ;;
esac

errors="$(mktemp)"
trap 'rm -f "$errors"' EXIT
# The English page is also what a terminal without a locale shows, in ASCII:
# a character groff cannot set there is a warning too.
locales=(C.UTF-8)
[[ "$language" != en ]] || locales+=(C)
for locale in "${locales[@]}"; do
  text="$(LC_ALL=$locale MANWIDTH=80 man --warnings=all -l "$page" 2>"$errors")"
  if [[ -s "$errors" ]]; then
    echo "$page: man or groff warned in the $locale locale:" >&2
    cat "$errors" >&2
    exit 1
  fi
done
text="$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page")"
lexgrog "$page" >/dev/null || { echo "$page: the NAME section cannot be indexed" >&2; exit 1; }
for section in "${sections[@]}"; do
  if ! grep -qx "$section" <<<"$text"; then
    echo "$page: no section $section" >&2
    exit 1
  fi
done
# An English page holds no CJK text beyond what it quotes as data (a title
# may be Chinese): none at all here.
if [[ "$language" == en ]] && LC_ALL=C.UTF-8 grep -nP '[\p{Han}\x{3000}-\x{303F}\x{FF00}-\x{FFEF}]' <<<"$text" >&2; then
  echo "$page: the English page holds Chinese text (above)" >&2
  exit 1
fi
echo "$page: renders cleanly"
