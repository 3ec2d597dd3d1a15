#!/usr/bin/env bash
# The desktop entry and the AppStream metainfo speak English by default and
# Chinese to a zh_CN desktop: every text an English reader sees has its
# Chinese beside it, the English holds no Chinese and the Chinese is Chinese.
#   check_desktop_languages.sh quillmark.desktop METAINFO.xml
set -euo pipefail
# grep -P knows a character's script only in a UTF-8 locale.
export LC_ALL=C.UTF-8
entry="$1"
metainfo="$2"
han='[\p{Han}]'
status=0
fail() {
  echo "$*" >&2
  status=1
}

for key in GenericName Comment Keywords; do
  english="$(grep -m1 "^$key=" "$entry" | cut -d= -f2-)" || true
  chinese="$(grep -m1 "^$key\[zh_CN\]=" "$entry" | cut -d= -f2-)" || true
  [[ -n "$english" ]] || fail "$entry: no $key"
  [[ -n "$chinese" ]] || fail "$entry: no ${key}[zh_CN]"
  if grep -qP "$han" <<<"$english"; then fail "$entry: $key is not English: $english"; fi
  if [[ -n "$chinese" ]] && ! grep -qP "$han" <<<"$chinese"; then
    fail "$entry: ${key}[zh_CN] is not Chinese: $chinese"
  fi
done

# Each English element of the metainfo's texts is followed by its Chinese
# twin (AppStream's order), the paragraphs one by one. The elements are
# read as they stand in the file, one opening tag a line.
awk -v file="$metainfo" '
  function report(text) { print file ": " text > "/dev/stderr"; bad = 1 }
  match($0, /<(summary|p)( xml:lang="[^"]*")?>/) {
    tag = substr($0, RSTART, RLENGTH)
    name = tag; sub(/^</, "", name); sub(/[ >].*/, "", name)
    if (tag ~ /xml:lang="zh-CN"/) {
      if (name != waiting) report("<" name " xml:lang=\"zh-CN\"> at line " NR " follows no English <" name ">")
      waiting = ""
    } else if (tag ~ /xml:lang/) {
      report("a language other than zh-CN at line " NR)
    } else {
      if (waiting != "") report("<" waiting "> before line " NR " has no Chinese twin")
      waiting = name
    }
  }
  END {
    if (waiting != "") report("<" waiting "> at the end has no Chinese twin")
    exit bad
  }
' "$metainfo" || status=1
exit $status
