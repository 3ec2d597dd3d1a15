#!/bin/sh
# Runs a Windows program under Wine in a Wine prefix of its own, made on
# first use:
#   run-under-wine.sh PREFIX WINE64 WINESERVER PROGRAM [ARGUMENT...]
#   run-under-wine.sh PREFIX WINE64 WINESERVER --start   a wineserver that stays until --stop
#   run-under-wine.sh PREFIX WINE64 WINESERVER --stop
# The program's exit status is this script's.
set -eu
prefix=$1 wine=$2 wineserver=$3
shift 3

export WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all
# No menu entries or file associations written into the user's home, and
# no offer to install .NET or a browser engine while the prefix is made.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="

make_prefix() {
  [ -f "$prefix/system.reg" ] && return 0
  mkdir -p "$(dirname "$prefix")"
  # Test programs may be started side by side: one of them makes it.
  (
    flock 9
    if [ ! -f "$prefix/system.reg" ]; then
      "$wine" wineboot --init >/dev/null 2>&1
      "$wineserver" -w
    fi
  ) 9>"$prefix.lock"
}

case "${1:-}" in
  --start)
    make_prefix
    # A server left by an interrupted run, or one a test discovery started
    # with the default short life, makes way for one that stays.
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w
    # The server and Wine's services outlive this script: they must not
    # hold the test runner's output open.
    "$wineserver" -p </dev/null >/dev/null 2>&1
    # The first program after the server's start also starts Wine's own
    # services; that cost is paid here, once.
    "$wine" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1
    ;;
  --stop)
    "$wineserver" -k 2>/dev/null || true
    ;;
  *)
    make_prefix
    exec "$wine" "$@"
    ;;
esac
