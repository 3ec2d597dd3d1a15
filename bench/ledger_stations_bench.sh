#!/usr/bin/env bash
# Many stations at once on a PostgreSQL ledger of the benchmark's own
# server (durable: fsync and synchronous_commit on; a temporary folder,
# a Unix socket only), beside pgbench's simple-update script (-N) with as
# many clients on the same server.
#   ledger_stations_bench.sh BIN_FOLDER [SECONDS]
set -euo pipefail
bin="$1"
seconds="${2:-20}"
source "$(dirname "$0")/pg_server.sh"
"${as_postgres[@]}" "$pg_bin/createdb" -h "$work" -U bench pgbench
"${as_postgres[@]}" "$pg_bin/pgbench" -h "$work" -U bench -i -q -s 10 pgbench >/dev/null 2>&1

pgbench_tps() {
  local clients=$1 threads=$(( $1 < 4 ? $1 : 4 ))
  "${as_postgres[@]}" "$pg_bin/pgbench" -h "$work" -U bench -N -n -c "$clients" -j "$threads" \
    -T "$seconds" pgbench 2>/dev/null | awk '/^tps = /{print $3; exit}'
}

echo "#### Many stations at once"
echo
echo "PostgreSQL $("$pg_bin/postgres" --version | awk '{print $3}') over a Unix socket," \
  "fsync and synchronous_commit on, ${seconds} s a run; load at the start: $(uptime | sed 's/.*average: //')"
echo
echo "| stations | pools | reservations/s | p50 ms | p99 ms | pgbench -N tps | ratio | errors |"
echo "|---:|---|---:|---:|---:|---:|---:|---:|"
status=0
run() {
  local clients=$1 mode=$2 line tps
  if ! line=$("$bin/quillmark-ledger-stations-bench" "$pg_conn" \
      "$clients" "$seconds" "$mode"); then
    status=1
  fi
  echo "$line" | grep -v '^clients' >&2 || true
  tps=$(pgbench_tps "$clients")
  echo "$line" | awk -v tps="$tps" -v mode="$mode" '/^clients/ {
    printf "| %d | %s | %.0f | %.1f | %.1f | %.0f | %.2f | %d |\n",
      $2, (mode == "own" ? "one each" : "one shared"), $6, $8, $10, tps, $6 / tps, $12 }'
}
for clients in 1 4 16 64; do
  run "$clients" own
done
run 16 shared
echo
echo "- goal at 16 stations: ≥ 0.5 × pgbench -N, no error, no shared address, p99 ≤ 50 ms;" \
  "load at the end: $(uptime | sed 's/.*average: //')"
exit $status
