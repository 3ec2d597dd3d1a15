#!/usr/bin/env bash
# The ledger's benchmark on both back ends: an SQLite file, and PostgreSQL
# over a Unix socket on a server of its own (durable settings, as in
# production), made in a temporary folder and removed after.
#   ledger_bench.sh BIN_FOLDER
set -euo pipefail
bin="$1"
work=$(mktemp -d /tmp/quillmark-ledger-bench-XXXXXX)
pg_bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
as_postgres=()
if [[ $(id -u) -eq 0 ]]; then
  chown postgres "$work"
  as_postgres=(runuser -u postgres --)
fi
stop() {
  "${as_postgres[@]}" "$pg_bin/pg_ctl" stop -D "$work/data" -m fast >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap stop EXIT

"${as_postgres[@]}" "$pg_bin/initdb" -D "$work/data" -U bench --auth=trust -E UTF8 --no-locale >/dev/null
printf "listen_addresses = ''\nunix_socket_directories = '%s'\n" "$work" >> "$work/data/postgresql.conf"
"${as_postgres[@]}" "$pg_bin/pg_ctl" start -D "$work/data" -w -l "$work/server.log" >/dev/null
"${as_postgres[@]}" "$pg_bin/createdb" -h "$work" -U bench ledger

echo "#### Ledger"
echo
echo "SQLite ($work/ledger.sqlite3):"
"$bin/quillmark-ledger-bench" "$work/ledger.sqlite3"
echo
echo "PostgreSQL $("$pg_bin/postgres" --version | awk '{print $3}') over a Unix socket:"
"$bin/quillmark-ledger-bench" "host=$work user=bench dbname=ledger"
echo
echo "- goals: recording a batch ≤ 10 ms (median of 200); the next free range with 100,000 allocations ≤ 50 ms"
