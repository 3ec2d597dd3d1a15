#!/usr/bin/env bash
# Checks the formatting, then builds everything and runs every test: the
# normal build (warnings as errors), then the Debian package (built,
# installed, checked and purged), then the Windows build with its tests
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

# The Debian package: built by the packaging script, checked with lintian,
# installed into this machine with apt, checked there and purged (root or
# sudo; CI runs on a throwaway machine).
mapfile -t debs < <(bash scripts/package.sh)
bash tests/package/install_test.sh build/dev/lib/quillmark_help_probe.so "${debs[@]}"

# The core and quillmark-cli for Windows, cross-built with mingw-w64; their
# tests run under Wine.
cmake --preset windows
cmake --build --preset windows
ctest --preset windows --parallel 2

if [[ -x scripts/fuzz-smoke.sh ]]; then
  bash scripts/fuzz-smoke.sh
fi

# The threaded parts: the writer, the verifier's lanes and the label codes
# encoded ahead. Skips the longest batch, the XFS mounts and the verifier's
# other cases: the threads meet the same way in the shorter ones.
cmake --preset tsan
cmake --build --preset tsan
ctest --preset tsan --parallel 2

cmake --preset asan
cmake --build --preset asan
ctest --preset asan --parallel 2

