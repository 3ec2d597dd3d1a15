#!/usr/bin/env bash
# Ctrl+C under Wine: a SIGINT sent to the Wine process reaches the
# program's console handler as Ctrl+C. The run must stop before its next
# device with status 130, leave no temporary file and no partial image,
# and list in its manifest exactly the devices written, each of them whole.
#   stop_test.sh WORK FIXTURE_WRITER CLI RUN-UNDER-WINE...
set -euo pipefail
work=$1 fixture=$2 cli=$3
shift 3
wine=("$@")

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }

rm -rf "$work"
mkdir -p "$work/out"
"${wine[@]}" "$fixture" "$(windows_path "$work/image.img")" 16777216
image=$(windows_path "$work/image.img")
out=$(windows_path "$work/out")
manifest=$(windows_path "$work/list.csv")
count=60

# Job control: the run is not started with SIGINT ignored, as a
# background command of a script otherwise is.
set -m
"${wine[@]}" "$cli" --image "$image" --out "$out" --count "$count" --quiet \
  --manifest "$manifest" >"$work/stdout" 2>"$work/stderr" &
run=$!
set +m

# Stopped once its first image stands under its name, well before its last.
for ((tries = 0; ; ++tries)); do
  compgen -G "$work/out/fw_*.img" >/dev/null && break
  kill -0 "$run" 2>/dev/null || break
  ((tries < 3000)) || { kill -KILL "$run"; fail "no image after a minute"; }
  sleep 0.02
done
kill -INT "$run" || true
status=0
wait "$run" || status=$?

[[ $status -eq 130 ]] || fail "exit status $status, not 130: $(cat "$work/stderr")"
leftovers=$(find "$work/out" -mindepth 1 ! -name 'fw_*.img')
[[ -z $leftovers ]] || fail "left behind: $leftovers"
written=$(find "$work/out" -name 'fw_*.img' | wc -l)
((written > 0 && written < count)) || fail "$written of $count devices written"
while IFS= read -r file; do
  [[ $(stat -c %s "$file") -eq 16777216 ]] || fail "partial image $file"
done < <(find "$work/out" -name 'fw_*.img')
rows=$(($(wc -l <"$work/list.csv") - 1))
[[ $rows -eq $written ]] || fail "manifest lists $rows devices, $written written"
grep -q "运行已停止：已写入${written}个设备文件（共${count}个）" "$work/stderr" ||
  fail "no stop line: $(cat "$work/stderr")"

# Each written device's file, byte for byte, as the verifier reads it back.
"${wine[@]}" "$cli" verify --image "$image" --out "$out" --manifest "$manifest" --quiet ||
  fail "the written devices do not verify"
rm -rf "$work"
echo "stopped after $written of $count devices with status 130"
