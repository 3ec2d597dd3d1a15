#!/usr/bin/env bash
# The English page and the Chinese page of a program say the same things in
# the same order: the same sections and subsections, the same tagged
# paragraphs (an option, a status, a file) with the same options in their
# tags, and each section naming the same options. A change made to one page only (a new option, a new section)
# fails here until the other follows.
#   check_man_pages_agree.sh ENGLISH.1 CHINESE.1
set -euo pipefail
english="$1"
chinese="$2"

# One line per section heading (the Chinese ones in English), per
# subsection heading and per tagged paragraph, and per section the sorted
# options it names.
outline() {
  awk '
    BEGIN {
      split("名称=NAME 概述=SYNOPSIS 描述=DESCRIPTION 选项=OPTIONS 子命令=SUBCOMMANDS " \
            "配置文件=STAMP_PROFILE 镜像的要求=IMAGE_REQUIREMENTS 退出状态=EXIT_STATUS " \
            "环境=ENVIRONMENT 文件=FILES 示例=EXAMPLES 参见=SEE_ALSO " \
            "工位配置=STATION_CONFIGURATION JSON_输出=JSON_OUTPUT", pairs, " ")
      for (i in pairs) { split(pairs[i], pair, "="); heading[pair[1]] = pair[2] }
      # Words of subsection headings (an underscore stands for a space).
      split("写入和=Writing_and", pairs, " ")
      for (i in pairs) { split(pairs[i], pair, "="); gsub(/_/, " ", pair[2]); words[pair[1]] = pair[2] }
    }
    function flush(   list, n, i, keys) {
      n = 0
      for (option in options) keys[++n] = option
      # mawk has no asort.
      for (i = 1; i <= n; i++)
        for (j = i + 1; j <= n; j++)
          if (keys[j] < keys[i]) { t = keys[i]; keys[i] = keys[j]; keys[j] = t }
      list = ""
      for (i = 1; i <= n; i++) list = list " " keys[i]
      if (n) print "  options:" list
      delete options
    }
    /^\.S[HS] / {
      flush()
      title = substr($0, 5)
      gsub(/"/, "", title)
      if ($1 == ".SH") {
        # Spaces become underscores first, so "JSON 输出" is found as JSON_输出.
        gsub(/ /, "_", title)
        if (title in heading) title = heading[title]
        if (title ~ /[^A-Z_]/) { print "no English name for the heading " title > "/dev/stderr"; bad = 1 }
        print "section " title
      } else {
        for (word in words)
          if (index(title, word) == 1) title = words[word] substr(title, length(word) + 1)
        print "subsection " title
      }
      next
    }
    /^\.TP/ { tag = 1; next }
    {
      line = $0
      if (tag) {
        # A tagged paragraph: the options its tag names, in order.
        item = "  item"
        rest = line
        while (match(rest, /\\-\\-[a-z]([a-z]|\\-)*/)) {
          option = substr(rest, RSTART, RLENGTH)
          gsub(/\\/, "", option)
          item = item " " option
          rest = substr(rest, RSTART + RLENGTH)
        }
        print item
        tag = 0
      }
      while (match(line, /\\-\\-[a-z]([a-z]|\\-)*/)) {
        option = substr(line, RSTART, RLENGTH)
        gsub(/\\/, "", option)
        options[option] = 1
        line = substr(line, RSTART + RLENGTH)
      }
    }
    END { flush(); exit bad }
  ' "$1"
}

difference="$(diff <(outline "$english") <(outline "$chinese"))" || {
  echo "$english and $chinese differ (< English, > Chinese):" >&2
  echo "$difference" >&2
  exit 1
}
echo "$english and $chinese agree"
