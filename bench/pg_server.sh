# Sourced by the ledger benchmarks: a PostgreSQL server of their own in a
# temporary folder, durable as a production one (fsync, synchronous_commit
# and full_page_writes on), listening on a Unix socket in that folder and
# on no TCP port; stopped and removed when the script exits. Sets work,
# pg_bin, as_postgres and pg_conn (the ledger database's connection string).
work=$(mktemp -d /tmp/quillmark-pg-bench-XXXXXX)
pg_bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
as_postgres=()
if [[ $(id -u) -eq 0 ]]; then
  chown postgres "$work"
  as_postgres=(runuser -u postgres --)
fi
stop_pg_server() {
  "${as_postgres[@]}" "$pg_bin/pg_ctl" stop -D "$work/data" -m fast >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap stop_pg_server EXIT
"${as_postgres[@]}" "$pg_bin/initdb" -D "$work/data" -U bench --auth=trust -E UTF8 --no-locale >/dev/null
{
  printf "listen_addresses = ''\nunix_socket_directories = '%s'\nmax_connections = 200\n" "$work"
  printf "fsync = on\nsynchronous_commit = on\nfull_page_writes = on\n"
} >> "$work/data/postgresql.conf"
"${as_postgres[@]}" "$pg_bin/pg_ctl" start -D "$work/data" -w -l "$work/server.log" >/dev/null
"${as_postgres[@]}" "$pg_bin/createdb" -h "$work" -U bench ledger
pg_conn="host=$work user=bench dbname=ledger"
psql_ledger() {
  "${as_postgres[@]}" "$pg_bin/psql" -h "$work" -U bench -d ledger -X -q -v ON_ERROR_STOP=1 "$@"
}
