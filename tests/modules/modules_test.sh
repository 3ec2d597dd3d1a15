#!/bin/bash
# quillmark-cli without its modules, with modules of another build, cut
# short, or where another user can have put them, without /proc, and what
# it links by itself. THIS and OTHER are a stand-in module of this build and
# of another; each leaves a marker file when any of its code runs.
# usage: modules_test.sh QUILLMARK_CLI SAMPLE_IMAGE_TOOL THIS.so OTHER.so INSTALLED_MODULE_DIR
set -u
cli=$1 sample=$2 this=$3 other=$4 installed=$5 proc_case=${6:-with-proc-less-run}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
said() { if [ -n "${QUILLMARK_TEST_ENGLISH:-}" ]; then echo "$2"; else echo "$1"; fi; }
export QUILLMARK_TEST_MODULE_MARKER=$work/marker
stranger=4242 # a user id nobody on the machine has

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
# Whether the stand-in module's code ran since the last call.
ran() {
  local ran=1
  [ -e "$QUILLMARK_TEST_MODULE_MARKER" ] && ran=0
  rm -f "$QUILLMARK_TEST_MODULE_MARKER"
  return $ran
}

"$sample" "$work/fw.img" 4 >/dev/null || fail "sample image"
pg="postgresql://nobody@/quillmark?host=$work/no-server"

check_station() { # FOLDER TEXT LABEL: a copy of the program in FOLDER
  local folder=$1 text=$2 label=$3
  cp "$cli" "$folder/quillmark-cli"
  expect 2 "$text" "$label labels" "$folder/quillmark-cli" labels --help
  expect 2 "quillmark-labels" "$label labels (package)" \
    "$folder/quillmark-cli" labels --manifest m.csv --pdf m.pdf
  expect 1 "quillmark-postgresql" "$label ledger list" "$folder/quillmark-cli" ledger list --ledger "$pg"
  expect 1 "$text" "$label write" "$folder/quillmark-cli" --image "$work/fw.img" \
    --out "$folder/out" --count 3 --ledger "$pg" --quiet
  [ ! -e "$folder/out" ] || [ -z "$(ls -A "$folder/out")" ] || fail "$label write left files"
  ! ran || fail "$label: the module's code ran"
  # An SQLite ledger never needs the PostgreSQL module.
  "$folder/quillmark-cli" ledger init "$folder/ledger.sqlite3" >/dev/null 2>"$work/err" ||
    fail "$label: SQLite ledger init: $(cat "$work/err")"
  "$folder/quillmark-cli" --image "$work/fw.img" --out "$folder/out" --count 3 \
    --ledger "$folder/ledger.sqlite3" --quiet >/dev/null 2>"$work/err" ||
    fail "$label: write with an SQLite ledger: $(cat "$work/err")"
  [ "$(ls "$folder/out" | wc -l)" -eq 3 ] || fail "$label: SQLite write did not write 3 images"
}
# FOLDER/quillmark-labels.so and FOLDER/quillmark-postgresql.so from MODULE.
plant() {
  cp "$2" "$1/quillmark-labels.so"
  cp "$2" "$1/quillmark-postgresql.so"
}

if [ -d /usr/lib/x86_64-linux-gnu/quillmark ] || [ -d /usr/lib/quillmark ]; then
  echo "note: modules are installed on this machine; the missing-module case may find them"
fi
mkdir "$work/bare" "$work/other" "$work/old"
check_station "$work/bare" "$(said 未安装 "is not installed")" "no modules"
plant "$work/other" "$other"
check_station "$work/other" "$(said 属于另一个构建 "belongs to another build")" "other build"
# A module built before builds carried their id has none.
objcopy --remove-section .quillmark_build "$this" "$work/old.so" || fail "objcopy"
plant "$work/old" "$work/old.so"
check_station "$work/old" "$(said 属于另一个构建 "belongs to another build")" "no build id"

# A module cut short anywhere, its section headers at the end included, is
# refused before it is mapped.
size=$(stat -c %s "$this")
for cut in 0 40 1000 $((size / 2)) $((size - 1)); do
  mkdir "$work/short$cut"
  head -c "$cut" "$this" >"$work/short.so"
  plant "$work/short$cut" "$work/short.so"
  check_station "$work/short$cut" "$(said 已损坏或不完整 "is damaged or incomplete")" "cut to $cut bytes"
done

# Where only root can have put the module, it is used, through a link too.
station() { # FOLDER: a fresh copy of the program and of THIS beside it
  rm -rf "$1"
  mkdir -p "$1"
  cp "$cli" "$1/quillmark-cli"
  cp "$this" "$1/quillmark-labels.so"
}
accepted() { # LABEL PROGRAM
  "$2" labels --help >"$work/out" 2>"$work/err" || fail "$1: $(cat "$work/err")"
  ran || fail "$1: the module did not run"
}
refused() { # LABEL PROGRAM TEXT
  expect 2 "$3" "$1" "$2" labels --help
  ! ran || fail "$1: the module's code ran"
}
writable=$(said 可被其他用户写入 "can be written by other users")
foreign=$(said "属于另一个用户（uid $stranger）" "belongs to another user (uid $stranger)")
station "$work/s"
accepted "own folder" "$work/s/quillmark-cli"
chmod 1777 "$work" # like /tmp
accepted "under a sticky folder" "$work/s/quillmark-cli"
chmod 0777 "$work"
refused "under a folder all can write" "$work/s/quillmark-cli" "$work $writable"
chmod 0700 "$work"
for mode in 0775 0757 1777; do
  chmod "$mode" "$work/s"
  refused "module folder $mode" "$work/s/quillmark-cli" "$work/s $writable"
done
chmod 0755 "$work/s"
chmod 0664 "$work/s/quillmark-labels.so"
refused "module 0664" "$work/s/quillmark-cli" "$work/s/quillmark-labels.so $writable"
chmod 0755 "$work/s/quillmark-labels.so"
chown "$stranger" "$work/s/quillmark-labels.so"
refused "module of another user" "$work/s/quillmark-cli" "$work/s/quillmark-labels.so $foreign"
chown 0 "$work/s/quillmark-labels.so"
# A program copied into a folder others can write, whose lib/quillmark
# another user made.
mkdir -p "$work/shared/bin" "$work/shared/lib/quillmark"
chmod 0777 "$work/shared"
cp "$cli" "$work/shared/bin/quillmark-cli"
cp "$this" "$work/shared/lib/quillmark/quillmark-labels.so"
chown "$stranger" "$work/shared/lib"
refused "lib folder of another user" "$work/shared/bin/quillmark-cli" "$work/shared/lib $foreign"
# A link is followed and its target checked, as is the folder of the link.
station "$work/l"
mkdir -m 0777 "$work/open"
mv "$work/l/quillmark-labels.so" "$work/open/"
ln -s "$work/open/quillmark-labels.so" "$work/l/quillmark-labels.so"
refused "link into a folder all can write" "$work/l/quillmark-cli" "$work/open $writable"
chmod 0755 "$work/open"
accepted "link to a module only root can change" "$work/l/quillmark-cli"
chmod 0777 "$work/l"
refused "link in a folder all can write" "$work/l/quillmark-cli" "$work/l $writable"
chmod 0755 "$work/l"
# Refused for its place before its build is looked at: none of its code runs.
cp "$other" "$work/open/quillmark-labels.so"
chmod 0777 "$work/open"
refused "other build where all can write" "$work/l/quillmark-cli" "$work/open $writable"

if [ "$proc_case" = with-proc-less-run ]; then
# Without /proc the program's folder is unknown: the installed folder is
# searched, made here in a mount namespace of its own over the real one.
station "$work/noproc"
rm "$work/noproc/quillmark-labels.so"
upper=$installed
while [ ! -d "$upper" ]; do upper=$(dirname "$upper"); done
mkdir "$work/scratch"
unshare -m bash -c '
  set -e
  mount -t tmpfs -o mode=0755 scratch "$1"
  mkdir "$1/upper" "$1/work"
  mount -t overlay overlay -o "lowerdir=$2,upperdir=$1/upper,workdir=$1/work" "$2"
  umount -l /proc
  [ ! -e /proc/self/exe ]
  if "$4" labels --help >"$1/out" 2>&1; then exit 3; fi # nothing installed yet
  mkdir -p "$3"
  cp "$5" "$3/quillmark-labels.so"
  "$4" labels --help' \
  - "$work/scratch" "$upper" "$installed" "$work/noproc/quillmark-cli" "$this" \
  >"$work/out" 2>"$work/err"
status=$?
[ "$status" -eq 0 ] || fail "without /proc: exit $status: $(cat "$work/err")"
ran || fail "without /proc: the installed module did not run"
[ "$upper" != "$installed" ] && [ -e "$installed" ] && fail "$installed was made outside the namespace"
fi

[ "$failures" -eq 0 ] || exit 1
echo "ok"
