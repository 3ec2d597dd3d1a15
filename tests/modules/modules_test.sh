#!/bin/bash
# quillmark-cli without its modules, with modules of another build, and
# what it links by itself.
# usage: modules_test.sh QUILLMARK_CLI SAMPLE_IMAGE_TOOL WRONG_BUILD_DIR
set -u
cli=$1 sample=$2 wrong=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The program alone: no cairo, X11, zint, fontconfig, libpq or what libpq
# brings, and few libraries at all.
needed=$(readelf -d "$cli" | grep -c NEEDED)
resolved=$(ldd "$cli" | wc -l)
[ "$resolved" -le 10 ] || fail "ldd lists $resolved entries"
for lib in libcairo libpq libX11 libzint libfontconfig libgnutls libkrb5; do
  if ldd "$cli" | grep -q "$lib"; then fail "quillmark-cli links $lib"; fi
done
echo "readelf NEEDED: $needed, ldd entries: $resolved"

# Expects one line on standard error holding TEXT and exit status STATUS.
expect() {
  local status=$1 text=$2 what=$3
  shift 3
  "$@" >"$work/out" 2>"$work/err"
  local got=$?
  [ "$got" -eq "$status" ] || fail "$what: exit $got, expected $status"
  [ "$(wc -l <"$work/err")" -eq 1 ] || fail "$what: not one line: $(cat "$work/err")"
  grep -qF -- "$text" "$work/err" || fail "$what: no \"$text\" in: $(cat "$work/err")"
  [ ! -s "$work/out" ] || fail "$what: standard output: $(cat "$work/out")"
}

"$sample" "$work/fw.img" 4 >/dev/null || fail "sample image"
pg="postgresql://nobody@/quillmark?host=$work/no-server"

check_station() {  # FOLDER TEXT: a copy of the program in FOLDER
  local folder=$1 text=$2 label=$3
  cp "$cli" "$folder/quillmark-cli"
  expect 2 "$text" "$label labels" "$folder/quillmark-cli" labels --help
  expect 2 "quillmark-labels" "$label labels (package)" \
    "$folder/quillmark-cli" labels --manifest m.csv --pdf m.pdf
  expect 1 "quillmark-postgresql" "$label ledger list" "$folder/quillmark-cli" ledger list --ledger "$pg"
  expect 1 "$text" "$label write" "$folder/quillmark-cli" --image "$work/fw.img" \
    --out "$folder/out" --count 3 --ledger "$pg" --quiet
  [ ! -e "$folder/out" ] || [ -z "$(ls -A "$folder/out")" ] || fail "$label write left files"
  # An SQLite ledger never needs the PostgreSQL module.
  "$folder/quillmark-cli" ledger init "$folder/ledger.sqlite3" >/dev/null 2>"$work/err" ||
    fail "$label: SQLite ledger init: $(cat "$work/err")"
  "$folder/quillmark-cli" --image "$work/fw.img" --out "$folder/out" --count 3 \
    --ledger "$folder/ledger.sqlite3" --quiet >/dev/null 2>"$work/err" ||
    fail "$label: write with an SQLite ledger: $(cat "$work/err")"
  [ "$(ls "$folder/out" | wc -l)" -eq 3 ] || fail "$label: SQLite write did not write 3 images"
}

if [ -d /usr/lib/x86_64-linux-gnu/quillmark ] || [ -d /usr/lib/quillmark ]; then
  echo "note: modules are installed on this machine; the missing-module case may find them"
fi
mkdir "$work/bare" "$work/other"
check_station "$work/bare" "未安装" "no modules"
cp "$wrong"/quillmark-*.so "$work/other/"
check_station "$work/other" "属于另一个构建" "other build"

[ "$failures" -eq 0 ] || exit 1
echo "ok"
