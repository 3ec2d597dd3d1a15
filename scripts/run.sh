#!/usr/bin/env bash
# Builds the tool and starts the dialog. Without a display it does the same
# job with the command-line tool: it makes a sample image, writes a small
# batch from it and says where the images and the manifest are.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh run

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_BUILD_TESTS=OFF
cmake --build build/release

bin=build/release/bin
if [[ -x $bin/Quillmark && ( -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ) ]]; then
  exec "$bin/Quillmark"
fi

sample=build/release/sample
rm -rf "$sample"
mkdir -p "$sample"
"$bin/quillmark-sample-image" "$sample/sample.img" 4
echo "No display is available to show the Quillmark window; writing a sample batch with quillmark-cli instead."
"$bin/quillmark-cli" --image "$sample/sample.img" --out "$sample/out" \
  --start-mac 04:57:55:00:00:00 --count 8 --macs-per-device 2 --manifest "$sample/manifest.csv"
echo
echo "Sample image:  $PWD/$sample/sample.img"
echo "Device images: $PWD/$sample/out ($(ls "$sample/out" | wc -l) files)"
echo "Manifest:      $PWD/$sample/manifest.csv"
echo "Read the batch back with: $bin/quillmark-cli verify --help"
