#!/usr/bin/env bash
# The batch as a user would script it in the shell: per device, copy the
# image, then write its records over the copy with printf | dd.
#   peer_writer.sh IMAGE OUTDIR START_MAC COUNT MACS_PER_DEVICE [CP_OPTION...]
# Extra arguments go to cp (--reflink=always, say).
set -euo pipefail
image=$1 out=$2 start=$3 count=$4 per_device=$5
shift 5
size=$(stat -c %s "$image")
offset=$((size - 0x10000))
mac=$((16#${start//:/}))
for ((device = 0; device < count; device++)); do
  name=$(printf '%s/fw_%06x_%06x.img' "$out" $((mac >> 24)) $((mac & 0xffffff)))
  records=
  for ((j = 0; j < per_device; j++)); do
    for shift_by in 40 32 24 16 8 0; do
      records+=$(printf '\\x%02x' $(((mac >> shift_by) & 0xff)))
    done
    mac=$(((mac + 1) & 0xffffffffffff))
  done
  cp "$@" "$image" "$name"
  printf "$records" | dd of="$name" bs=$((6 * per_device)) seek="$offset" oflag=seek_bytes \
    conv=notrunc status=none
done
