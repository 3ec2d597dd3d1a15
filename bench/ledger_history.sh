#!/usr/bin/env bash
# Years of history: a ledger of BATCHES batches over 100 pools and 50
# stations, three years of them (each with one finished write), made in
# SQL in a few statements, on PostgreSQL (a server of the benchmark's own,
# durable) and on SQLite; then the costs a station and a supervisor meet,
# the plans of the queries behind them and the database's size per batch.
#   ledger_history.sh BIN_FOLDER [BATCHES] [postgresql|sqlite|both]
set -euo pipefail
bin="$1"
batches="${2:-10000000}"
which="${3:-both}"
here="$(dirname "$0")"
first_pool=4810363371520  # 04:60:00:00:00:00; pool p is the p-th 2^24 addresses from there
since=$(date -u -d yesterday +%Y-%m-%d)
cli="$bin/quillmark-cli"

seconds_of() {  # runs a command, prints its wall time in seconds
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}

measure() {  # LOCATION SIZE_BYTES
  local location=$1 size=$2 html="$work_dir/report.html"
  echo "load: $(uptime | sed 's/.*average: //')"
  "$bin/quillmark-ledger-history-bench" "$location" "$since"
  local t
  t=$(seconds_of "$cli" ledger list --ledger "$location" --since "$since")
  echo "quillmark-cli ledger list --since $since, the whole command: ${t} s"
  if t=$( { /usr/bin/time -f "%e s, %M KiB resident at most" \
        "$cli" ledger report --ledger "$location" --html "$html" >/dev/null; } 2>&1 ); then
    echo "quillmark-cli ledger report --html: $t; page $(stat -c %s "$html") bytes"
  else
    echo "quillmark-cli ledger report --html failed: $t"
  fi
  echo "size: $size bytes, $(echo "scale=1; $size / $batches" | bc) bytes per batch"
  echo "load: $(uptime | sed 's/.*average: //')"
}

work_dir=$(mktemp -d /tmp/quillmark-history-bench-XXXXXX)
trap 'rm -rf "$work_dir"' EXIT

if [[ $which != sqlite ]]; then
  source "$here/pg_server.sh"
  trap 'stop_pg_server; rm -rf "$work_dir"' EXIT
  "$cli" ledger init "$pg_conn" >/dev/null
  start=$(date +%s)
  # The triggers are off while the history is made (session_replication_role):
  # the stamps of who and when are given here, the free ranges are
  # computed once at the end. The exclusion constraint and the unique
  # index still check every row.
  psql_ledger <<SQL
SET session_replication_role = replica;
INSERT INTO quillmark.pools (name, macs, created_by, created_at)
  SELECT 'pool-' || p, int8range($first_pool + p * 16777216, $first_pool + (p + 1) * 16777216),
         'bench', now() - interval '1100 days'
  FROM generate_series(0, 99) AS p;
INSERT INTO quillmark.batches
    (first_mac, device_count, macs_per_device, pool, station, recorded_by, recorded_at)
  SELECT $first_pool + (i % 100) * 16777216 + (i / 100) * 8, 8, 1, 'pool-' || (i % 100),
         'station-' || (i % 50), 'bench', now() - ($batches - i) * (interval '1095 days' / $batches)
  FROM generate_series(0, $batches - 1) AS i;
INSERT INTO quillmark.batch_writes (batch_id, station, image_sha256, output_folder, written_by,
    started_at, ended_at, devices_written, devices_failed, ending)
  SELECT id, station, repeat('e', 64), '/srv/out', 'bench', recorded_at,
         recorded_at + interval '1 minute', 8, 0, 'finished'
  FROM quillmark.batches;
-- Each pool's batches are packed from its start: its one gap is after
-- the last of them.
INSERT INTO quillmark.free_ranges (first_mac, end_mac)
  SELECT upper(last.macs), upper(p.macs) FROM quillmark.pools p
  CROSS JOIN LATERAL (SELECT macs FROM quillmark.batches WHERE first_mac < upper(p.macs)
                      ORDER BY first_mac DESC LIMIT 1) AS last
  WHERE upper(last.macs) < upper(p.macs);
SET session_replication_role = DEFAULT;
VACUUM ANALYZE;
SQL
  echo "### PostgreSQL, $batches batches (made in $(( $(date +%s) - start )) s)"
  size=$(psql_ledger -At -c "SELECT pg_database_size('ledger')")
  psql_ledger -At -c "SELECT 'rows: ' || (SELECT count(*) FROM quillmark.batches) || ' batches, '
                       || (SELECT count(*) FROM quillmark.free_ranges) || ' free ranges'"
  measure "$pg_conn" "$size"
  # The plans of the queries behind list --since and the next free range.
  psql_ledger -c "EXPLAIN (ANALYZE, BUFFERS, COSTS OFF) SELECT b.id FROM quillmark.batches b
      LEFT JOIN quillmark.voids v ON v.batch_id = b.id
      WHERE b.recorded_at >= '$since' ORDER BY b.id"
  psql_ledger -c "EXPLAIN (ANALYZE, BUFFERS, COSTS OFF) SELECT first_mac FROM quillmark.free_ranges
      WHERE first_mac >= $first_pool + 50 * 16777216 AND first_mac < $first_pool + 51 * 16777216
      AND end_mac - first_mac >= 8 ORDER BY first_mac LIMIT 1"
fi

if [[ $which != postgresql ]]; then
  db="$work_dir/ledger.sqlite3"
  "$cli" ledger init "$db" >/dev/null
  start=$(date +%s)
  # SQLite's triggers cannot be turned off: every row is checked (no
  # overlap, inside its pool) and takes its part of the free ranges as a
  # station's would.
  sqlite3 "$db" <<SQL
PRAGMA journal_mode = WAL;
PRAGMA synchronous = OFF;
BEGIN;
WITH RECURSIVE p(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM p WHERE i < 99)
INSERT INTO pools (name, first_mac, end_mac, created_by, created_at)
  SELECT 'pool-' || i, $first_pool + i * 16777216, $first_pool + (i + 1) * 16777216, 'bench',
         strftime('%Y-%m-%dT%H:%M:%SZ', 'now', '-1100 days')
  FROM p;
WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < $batches - 1)
INSERT INTO batches (first_mac, device_count, macs_per_device, pool, station, recorded_by,
                     recorded_at)
  SELECT $first_pool + (i % 100) * 16777216 + (i / 100) * 8, 8, 1, 'pool-' || (i % 100),
         'station-' || (i % 50), 'bench',
         strftime('%Y-%m-%dT%H:%M:%SZ', 'now', '-' || (($batches - i) * 94608000 / $batches) || ' seconds')
  FROM n;
INSERT INTO batch_writes (batch_id, station, image_sha256, output_folder, written_by,
    started_at, ended_at, devices_written, devices_failed, ending)
  SELECT id, station, printf('%.64c', 'e'), '/srv/out', 'bench', recorded_at, recorded_at,
         8, 0, 'finished'
  FROM batches;
COMMIT;
ANALYZE;
SQL
  echo "### SQLite, $batches batches (made in $(( $(date +%s) - start )) s)"
  measure "$db" "$(stat -c %s "$db")"
  sqlite3 "$db" "EXPLAIN QUERY PLAN SELECT b.id FROM batches b LEFT JOIN voids v ON v.batch_id = b.id
                 WHERE likelihood(b.recorded_at >= '$since', 0.001) ORDER BY b.id"
fi
