#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each on a copy of its
# seed corpus for a bounded time; any crash or broken property fails.
#   fuzz-smoke.sh [seconds per target]    (default 20; the long run: 3600)
# A crashing input is kept in build/fuzz/artifacts/ to be replayed with
#   build/fuzz/bin/<target> build/fuzz/artifacts/<file>
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-20}"
build=build/fuzz
targets=(mac_address_fuzzer decimal_count_fuzzer image_checks_fuzzer manifest_reader_fuzzer
  ledger_location_fuzzer stamp_profile_fuzzer station_config_fuzzer)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$build/artifacts"

for target in "${targets[@]}"; do
  cp -r "fuzz/corpus/$target" "$work/$target"
  log="$work/$target.log"
  echo "fuzzing $target for ${seconds}s"
  if ! "$build/bin/$target" -max_total_time="$seconds" -timeout=30 -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$target-" "$work/$target" >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "$target FAILED; the input is in $build/artifacts/" >&2
    exit 1
  fi
  grep -E '^stat::number_of_executed_units' "$log" | sed "s/^/  $target /"
done
