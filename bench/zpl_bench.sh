#!/usr/bin/env bash
# ZPL for a full batch: quillmark-cli labels --zpl on a 65535-row manifest,
# each code kind, at 203, 300 and 600 dpi; wall time and peak memory from
# /usr/bin/time, the file's size. Goals: under 10 s and 200 MiB; at 600 dpi
# the file at most a fifth of what a build that repeats the title's dots in
# hexadecimal on every label writes, and smaller at 203 and 300 dpi. Given such a build as BEFORE (a quillmark-cli of
# an earlier commit), each row is measured with both and the sizes compared.
#   bench/zpl_bench.sh [path/to/quillmark-cli] [work folder] [BEFORE quillmark-cli]
set -euo pipefail
cli="${1:-build/dev/bin/quillmark-cli}"
work="${2:-$(mktemp -d)}"
before="${3:-}"
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

# One run: "wall_s peak_MiB bytes" of the file it wrote.
measure() {
  local tool=$1 code=$2 dpi=$3
  rm -f "$work/lot.zpl"  # an earlier build keeps a file that opens with a stored picture
  /usr/bin/time -f '%e %M' -o "$work/time" "$tool" labels --manifest "$work/lot.csv" \
    --zpl "$work/lot.zpl" --layout roll-50x25 --code "$code" --dpi "$dpi" \
    --title "产品A 批次0412" >/dev/null
  read -r wall kib <"$work/time"
  echo "$wall $((kib / 1024)) $(stat -c %s "$work/lot.zpl")"
}
mib() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1048576 }'; }

echo "uptime: $(uptime)"
if [[ -z "$before" ]]; then
  printf '%-11s %-4s %8s %9s %9s %11s\n' code dpi wall_s peak_MiB zpl_MiB bytes/label
else
  printf '%-11s %-4s %15s %15s %9s %9s %7s %s\n' code dpi before_wall_s now_wall_s \
    before_MiB now_MiB smaller "goal (600 dpi: >= 5x)"
fi
for code in qr datamatrix code128; do
  for dpi in 203 300 600; do
    read -r wall peak bytes < <(measure "$cli" "$code" "$dpi")
    if [[ -z "$before" ]]; then
      printf '%-11s %-4s %8s %9d %9s %11d\n' "$code" "$dpi" "$wall" "$peak" "$(mib "$bytes")" \
        $((bytes / 65535))
      continue
    fi
    read -r oldWall _ oldBytes < <(measure "$before" "$code" "$dpi")
    ratio=$(awk -v a="$oldBytes" -v b="$bytes" 'BEGIN { printf "%.1f", a / b }')
    # At least 5x at 600 dpi, where the title's dots weigh most; smaller at all.
    met=$(awk -v r="$ratio" -v dpi="$dpi" 'BEGIN {
      if (dpi == 600) print (r >= 5 ? "met" : "NOT met"); else print (r > 1 ? "smaller" : "NOT smaller") }')
    printf '%-11s %-4s %15s %15s %9s %9s %6sx %s\n' "$code" "$dpi" "$oldWall" "$wall" \
      "$(mib "$oldBytes")" "$(mib "$bytes")" "$ratio" "$met"
  done
done
echo "uptime: $(uptime)"
