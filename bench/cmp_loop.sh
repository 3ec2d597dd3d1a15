#!/usr/bin/env bash
# A batch checked as a user would script it in the shell: per device, cmp
# the image part before the records and the part after them against the
# input image (the records themselves are left to the eye).
#   cmp_loop.sh IMAGE OUTDIR MACS_PER_DEVICE
set -euo pipefail
image=$1 out=$2 per_device=$3
size=$(stat -c %s "$image")
records=$((size - 0x10000))
for file in "$out"/fw_*.img; do
  cmp -n "$records" "$image" "$file"
  cmp -i $((records + 6 * per_device)) "$image" "$file"
done
