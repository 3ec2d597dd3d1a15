#!/usr/bin/env bash
# One ledger file between the Linux and the Windows build: what one writes
# the other reads alike, takes the next free range after, and checks. Both
# record into the same file, each in turn, as a ledger carried from one
# station to another would be.
#   ledger_exchange_test.sh WORK FIXTURE_WRITER LINUX_CLI WINDOWS_CLI RUN-UNDER-WINE...
set -euo pipefail
work=$1 fixture=$2 linux=$3 windows=$4
shift 4
wine=("$@")

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
[[ -x "$linux" ]] || fail "no Linux build of quillmark-cli at $linux (cmake --preset dev && cmake --build --preset dev, or set QUILLMARK_LINUX_CLI)"
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
on_linux() { env -u QUILLMARK_LEDGER QUILLMARK_SYSTEM_CONFIG=/nonexistent "$linux" "$@"; }
on_windows() { env -u QUILLMARK_LEDGER QUILLMARK_SYSTEM_CONFIG='Z:\nonexistent' "${wine[@]}" "$windows" "$@"; }

rm -rf "$work"
mkdir -p "$work"
"${wine[@]}" "$fixture" "$(windows_path "$work/image.img")" 4194304
ledger=$work/ledger.sqlite3
wledger=$(windows_path "$ledger")

write() {  # side out-folder count
  local side=$1 out=$2 count=$3
  if [[ $side == linux ]]; then
    on_linux --image "$work/image.img" --out "$work/$out" --ledger "$ledger" --start-mac next \
      --pool line3 --station linux --count "$count" --quiet
  else
    on_windows --image "$(windows_path "$work/image.img")" --out "$(windows_path "$work/$out")" \
      --ledger "$wledger" --start-mac next --pool line3 --station windows --count "$count" --quiet
  fi
}

# Made on Linux, written on by both in turn.
on_linux ledger init "$ledger" >/dev/null
on_linux ledger pool add line3 04:57:55:00:00:00 04:57:55:00:0f:ff --ledger "$ledger" >/dev/null
write linux a 3 || fail "the Linux write"
write windows b 2 || fail "the Windows write on the Linux ledger"
write linux c 1 || fail "the Linux write after the Windows one"
[[ -f $work/b/fw_045755_000003.img && -f $work/c/fw_045755_000005.img ]] ||
  fail "the ranges do not follow one another: $(ls "$work"/?)"

# Both read the same history, byte for byte.
on_linux ledger export --ledger "$ledger" >"$work/linux.csv"
on_windows ledger export --ledger "$wledger" >"$work/windows.csv"
cmp "$work/linux.csv" "$work/windows.csv" || fail "the exports differ"
[[ $(wc -l <"$work/linux.csv") -eq 4 ]] || fail "not three batches: $(cat "$work/linux.csv")"
on_windows ledger check --start-mac 04:57:55:00:00:04 --count 1 --ledger "$wledger" >/dev/null &&
  fail "Windows took a range Linux and Windows recorded as free"
on_linux ledger check --start-mac 04:57:55:00:00:04 --count 1 --ledger "$ledger" >/dev/null &&
  fail "Linux took a range Windows recorded as free"

# The same history makes the same file: a new ledger, byte for byte.
on_linux ledger init "$work/new-linux.sqlite3" >/dev/null
on_windows ledger init "$(windows_path "$work/new-windows.sqlite3")" >/dev/null
cmp "$work/new-linux.sqlite3" "$work/new-windows.sqlite3" || fail "a new ledger differs"

# Made on Windows, opened on Linux; a backup from one opens on the other.
on_windows ledger init "$(windows_path "$work/made-on-windows.sqlite3")" >/dev/null
on_windows ledger pool add line3 04:57:55:00:00:00 04:57:55:00:0f:ff \
  --ledger "$(windows_path "$work/made-on-windows.sqlite3")" >/dev/null
on_linux ledger pool list --ledger "$work/made-on-windows.sqlite3" | grep -q '^line3 ' ||
  fail "Linux cannot read the ledger Windows made"
on_windows ledger backup "$(windows_path "$work/backup.sqlite3")" --ledger "$wledger" >/dev/null
on_linux ledger export --ledger "$work/backup.sqlite3" | cmp - "$work/linux.csv" ||
  fail "the Windows backup differs"
echo "the ledger passes between Linux and Windows"
