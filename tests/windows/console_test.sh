#!/usr/bin/env bash
# quillmark-cli.exe on a real console: Wine makes one of a terminal, here
# the pseudo-terminal of script(1). On it the saving texts share one
# progress line, updated in place with the count, and Ctrl+C typed at the
# console stops the run before its next device with status 130.
#   console_test.sh WORK FIXTURE_WRITER CLI RUN-UNDER-WINE...
set -euo pipefail
work=$1 fixture=$2 cli=$3
shift 3
wine=("$@")
export LC_ALL=C.UTF-8

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
# The command line script(1) runs, each word quoted for its shell.
on_console() {
  local words=() word
  for word in "${wine[@]}" "$cli" "$@"; do words+=("$(printf '%q' "$word")"); done
  script -qec "${words[*]}" /dev/null
}

rm -rf "$work"
mkdir -p "$work/out" "$work/stopped"
"${wine[@]}" "$fixture" "$(windows_path "$work/image.img")" 16777216
image=$(windows_path "$work/image.img")

status=0
on_console --image "$image" --out "$(windows_path "$work/out")" --count 5 \
  </dev/null >"$work/console" || status=$?
[[ $status -eq 0 ]] || fail "exit status $status: $(cat "$work/console")"
grep -q $'\r保存MAC固件: 04:57:55:00:00:04  [45]/5' "$work/console" ||
  fail "no progress line: $(od -c "$work/console" | head -20)"
grep -q '  5/5  ' "$work/console" || fail "the count never reached 5/5"
grep -q '运行结束' "$work/console" || fail "no final text"
[[ $(find "$work/out" -name 'fw_*.img' | wc -l) -eq 5 ]] || fail "not 5 images"

# Ctrl+C typed once the first image stands under its name.
count=60
type_ctrl_c() {
  for ((tries = 0; tries < 3000; ++tries)); do
    compgen -G "$work/stopped/fw_*.img" >/dev/null && break
    sleep 0.02
  done
  printf '\003'
  # Input stays open until the run has said it stopped.
  for ((tries = 0; tries < 300; ++tries)); do
    grep -q '运行已停止' "$work/console" && break
    sleep 0.1
  done
}
status=0
type_ctrl_c | on_console --image "$image" --out "$(windows_path "$work/stopped")" \
  --count "$count" >"$work/console" || status=$?
[[ $status -eq 130 ]] || fail "exit status $status, not 130: $(tail -c 400 "$work/console")"
written=$(find "$work/stopped" -name 'fw_*.img' | wc -l)
((written > 0 && written < count)) || fail "$written of $count devices written"
grep -q "运行已停止：已写入${written}个设备文件（共${count}个）" "$work/console" ||
  fail "no stop line: $(tail -c 400 "$work/console")"
leftovers=$(find "$work/stopped" -mindepth 1 ! -name 'fw_*.img')
[[ -z $leftovers ]] || fail "left behind: $leftovers"
rm -rf "$work"
echo "progress line shown; Ctrl+C stopped the run after $written of $count devices"
