#!/usr/bin/env bash
# Builds everything and runs every test: the normal build (warnings as
# errors), then the core and the command-line tool under AddressSanitizer
# and UndefinedBehaviorSanitizer, then each fuzz target for a short while.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test

cmake --preset dev
cmake --build --preset dev
ctest --preset dev --parallel 2

cmake --preset asan
cmake --build --preset asan
ctest --preset asan --parallel 2

if [[ -x scripts/fuzz-smoke.sh ]]; then
  bash scripts/fuzz-smoke.sh
fi
