#!/usr/bin/env bash
# The benchmark in one command: installs what it needs, builds a release
# build of its own, makes fixture images and runs every job, printing the
# tables (also kept in build/bench/results.md). Extra arguments go to
# bench.py, e.g. --jobs small,medium or --rounds-small 21; the verify jobs
# (bench/verify_bench.py) run after them.
# The XFS jobs need root (they loop-mount a file system); without root
# they are skipped, and the script says so first. Run it on a quiet machine.
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ $(id -u) -ne 0 ]]; then
  echo "bench/run.sh: not root, so the XFS jobs (a loop-mounted XFS with reflinks) are skipped;" \
    "run it as root for them" >&2
fi

bash scripts/install-deps.sh bench

build=build/bench
app=OFF
targets=(quillmark-cli quillmark-reference-writer quillmark-limit-writer quillmark-core-batch
         quillmark-read-limit quillmark-ledger-bench quillmark-ledger-report-bench
         quillmark-reflink-limit-writer quillmark-ledger-stations-bench
         quillmark-ledger-history-bench)
if [[ -f bench/dialog/CMakeLists.txt ]]; then
  app=ON
  targets+=(quillmark-dialog-bench)
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_BUILD_TESTS=OFF \
  -DQUILLMARK_BUILD_APP="$app" -DQUILLMARK_BUILD_BENCHMARKS=ON >/dev/null
ninja -C "$build" -j2 "${targets[@]}"

# The start-up: shared objects, --version's peak memory, paired runs
# against a program that links only the core.
python3 bench/startup_bench.py --bin "$build/bin" | tee -a "$build/results.md"
python3 bench/bench.py --bin "$build/bin" --work "$build/work" --markdown "$build/results.md" "$@"
# quillmark-cli verify against the read limit and a cmp loop; its tables
# are added to the same results.
python3 bench/verify_bench.py --bin "$build/bin" --work "$build/work" --markdown "$build/results.md"
# Stamp profiles: 255 × 16 MiB with a profile beside without, and the
# 65535-device reflink job with one.
python3 bench/profile_bench.py --bin "$build/bin" --work "$build/work" --markdown "$build/results.md"

# The MAC ledger: recording a batch and the next free range, on SQLite and
# on a PostgreSQL server of its own.
bash bench/ledger_bench.sh "$build/bin" | tee -a "$build/results.md"

# The ledger's HTML report with 100,000 batches in one pool.
work=$(mktemp -d /tmp/quillmark-report-bench-XXXXXX)
"$build/bin/quillmark-ledger-report-bench" "$work" "$build/bin/quillmark-cli" | tee -a "$build/results.md"
rm -rf "$work"

# Many stations reserving from one PostgreSQL ledger at once, beside
# pgbench -N on the same server; then years of history (1,000,000 batches
# here: 10,000,000 with `bash bench/ledger_history.sh BIN 10000000`).
bash bench/ledger_stations_bench.sh "$build/bin" | tee -a "$build/results.md"
bash bench/ledger_history.sh "$build/bin" 1000000 | tee -a "$build/results.md"
