#!/usr/bin/env bash
# ZPL for a full batch: quillmark-cli labels --zpl on a 65535-row manifest,
# each code kind, at 203, 300 and 600 dpi; wall time and peak memory from
# /usr/bin/time. Goal: under 10 s and 200 MiB.
#   bench/zpl_bench.sh [path/to/quillmark-cli] [work folder]
set -euo pipefail
cli="${1:-build/dev/bin/quillmark-cli}"
work="${2:-$(mktemp -d)}"
mkdir -p "$work"
python3 - "$work/lot.csv" <<'PY'
import sys
mac = 0x045755000000
rows = ["file,mac1,mac2"]
for _ in range(65535):
    d = "%012x" % mac
    colon = lambda v: ":".join(("%012x" % v)[i:i + 2] for i in range(0, 12, 2))
    rows.append("fw_%s_%s.img,%s,%s" % (d[:6], d[6:], colon(mac), colon(mac + 1)))
    mac += 2
open(sys.argv[1], "w", newline="\n").write("\n".join(rows) + "\n")
PY
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-11s %-4s %8s %9s %9s\n' code dpi wall_s peak_MiB zpl_MiB
for code in qr datamatrix code128; do
  for dpi in 203 300 600; do
    /usr/bin/time -f '%e %M' -o "$work/time" "$cli" labels --manifest "$work/lot.csv" \
      --zpl "$work/lot.zpl" --layout roll-50x25 --code "$code" --dpi "$dpi" \
      --title "产品A 批次0412" >/dev/null
    read -r wall kib <"$work/time"
    printf '%-11s %-4s %8s %9d %9d\n' "$code" "$dpi" "$wall" $((kib / 1024)) \
      $(($(stat -c %s "$work/lot.zpl") / 1048576))
  done
done
