#!/usr/bin/env bash
# Makes doc/label-sample.png, the sheet doc/usage.md shows: a manifest of 30
# devices with two addresses each, printed by quillmark-cli labels on the
# default A4 stock and rendered by poppler at 100 dpi.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh run
command -v pdftoppm >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq poppler-utils

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_BUILD_TESTS=OFF \
  -DQUILLMARK_BUILD_APP=OFF >/dev/null
cmake --build build/release --target quillmark-cli

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The manifest a run of 30 devices from 04:57:55:00:10:00 writes.
{
  echo "file,mac1,mac2"
  for ((i = 0; i < 30; i++)); do
    first=$((0x045755001000 + 2 * i))
    hex=$(printf '%012x' "$first")
    next=$(printf '%012x' $((first + 1)))
    colon() { echo "$1" | sed 's/../&:/g; s/:$//'; }
    echo "fw_${hex:0:6}_${hex:6:6}.img,$(colon "$hex"),$(colon "$next")"
  done
} >"$work/lot-0412.csv"

build/release/bin/quillmark-cli labels --manifest "$work/lot-0412.csv" --pdf "$work/lot-0412.pdf" \
  --title "产品A 批次0412"
mkdir -p docs
pdftoppm -r 100 -png -f 1 -l 1 -singlefile "$work/lot-0412.pdf" doc/label-sample
echo "doc/label-sample.png"
