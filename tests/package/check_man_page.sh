#!/usr/bin/env bash
# Renders a manual page as man shows it on an 80-column UTF-8 terminal and
# fails on any warning of man or groff, on a NAME line that the whatis
# index cannot read, or on a missing section.
#   check_man_page.sh PAGE
set -euo pipefail
page="$1"

errors="$(mktemp)"
trap 'rm -f "$errors"' EXIT
text="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=all -l "$page" 2>"$errors")"
if [[ -s "$errors" ]]; then
  echo "$page: man or groff warned:" >&2
  cat "$errors" >&2
  exit 1
fi
lexgrog "$page" >/dev/null || { echo "$page: the NAME section cannot be indexed" >&2; exit 1; }
for section in 名称 概述 描述 选项 退出状态 文件 示例 参见; do
  if ! grep -qx "$section" <<<"$text"; then
    echo "$page: no section $section" >&2
    exit 1
  fi
done
echo "$page: renders cleanly"
