#!/usr/bin/env bash
# Builds the tool and starts the dialog (or, without a display, shows how
# to run the same job with the command-line tool).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh run

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_BUILD_TESTS=OFF
cmake --build build/release

if [[ -x build/release/bin/Quillmark ]]; then
  if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display is available to show the Quillmark window; run the same job with the command-line tool:"
    echo "  build/release/bin/quillmark-cli --image IMAGE.img --out out --start-mac 04:57:55:00:00:00 --count 255 --macs-per-device 1"
    exit 0
  fi
  exec build/release/bin/Quillmark
fi
exec build/release/bin/quillmark-cli --help
