#!/bin/sh
# The Windows tests' own volumes, in memory (needs root):
#   test_volumes.sh mount DIR     DIR/small (10 MiB) and DIR/roomy (1 GiB)
#   test_volumes.sh unmount DIR
set -eu
action=$1 dir=$2
for volume in small:10m roomy:1g; do
  name=${volume%:*} size=${volume#*:}
  case "$action" in
    mount)
      mkdir -p "$dir/$name"
      mountpoint -q "$dir/$name" || mount -t tmpfs -o "size=$size" "quillmark-$name" "$dir/$name"
      ;;
    unmount)
      ! mountpoint -q "$dir/$name" || umount "$dir/$name"
      ;;
  esac
done
