#!/usr/bin/env bash
# Checks the formatting, then builds everything and runs every test: the
# normal build (warnings as errors), then the Windows build with its tests
# under Wine, then each fuzz target for a short while, then the batch
# writer's tests under ThreadSanitizer (its files are
# written on two threads), then the core, the command-line tool and their
# tests under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test

# The code follows .clang-format; a file that does not fails the run.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
fi

cmake --preset dev
cmake --build --preset dev
ctest --preset dev --parallel 2

# The core and quillmark-cli for Windows, cross-built with mingw-w64; their
# tests run under Wine.
cmake --preset windows
cmake --build --preset windows
ctest --preset windows --parallel 2

if [[ -x scripts/fuzz-smoke.sh ]]; then
  bash scripts/fuzz-smoke.sh
fi

# Skips the longest batch and the XFS mounts: the threads meet the same way
# in the shorter cases, at a tenth of the time.
cmake --preset tsan
cmake --build --preset tsan
ctest --preset tsan --parallel 2

cmake --preset asan
cmake --build --preset asan
ctest --preset asan --parallel 2

