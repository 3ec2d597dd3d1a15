#!/usr/bin/env bash
# Installs the Debian packages a purpose needs, only those that are missing.
#   install-deps.sh run|test|bench|package
set -euo pipefail

purpose="${1:-test}"
# fonts-wqy-microhei: the label font, which quillmark-labels depends on.
packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-translations-l10n
          fonts-wqy-microhei libgl-dev libsqlite3-dev libpq-dev
          libzint-dev libcairo2-dev libfontconfig-dev libtomlplusplus-dev)
# The dialog's translations are compiled by lrelease at build time.
packages+=(qt6-l10n-tools qt6-tools-dev)
case "$purpose" in
  run) ;;
  test) packages+=(libgtest-dev clang clang-format libclang-rt-14-dev e2fsprogs xfsprogs mount
                   desktop-file-utils postgresql
                   poppler-utils zbar-tools dmtx-utils chromium tidy nodejs
                   g++-mingw-w64-x86-64-posix googletest wine wine64 wixl msitools
                   dpkg-dev file lintian appstream man-db groff-base locales
                   u-boot-tools libubootenv-tool zlib1g-dev python3 python3-stdnum
                   xvfb xdotool x11-apps imagemagick
                   hostapd openssl) ;;
  bench) packages+=(time python3 xfsprogs poppler-utils zbar-tools dmtx-utils postgresql) ;;
  package) packages+=(dpkg-dev file) ;;
  *) echo "usage: $0 run|test|bench|package" >&2; exit 2 ;;
esac

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
fi

# The label tests render ZPL with an npm package, pinned by its lock file.
if [[ "$purpose" == test ]]; then
  render="$(cd "$(dirname "$0")/.." && pwd)/tests/labels/zpl_render"
  if ! command -v npm >/dev/null; then  # Debian's nodejs comes without it
    sudo_cmd=()
    if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends npm
  fi
  if [[ ! -d "$render/node_modules/zpl-renderer-js" ]]; then
    (cd "$render" && npm ci --no-audit --no-fund)
  fi
fi

# SQLite for the Windows build: Debian builds none for mingw. The
# amalgamation of the release Debian 12's libsqlite3 is (3.40.1) comes from
# a pinned npm package that ships it (better-sqlite3 8.1.0, deps/sqlite3/),
# its checksum checked, into the build folder; CMake's
# QUILLMARK_SQLITE_SOURCE_DIR finds it there.
if [[ "$purpose" == test ]]; then
  root="$(cd "$(dirname "$0")/.." && pwd)"
  sqlite_dir="$root/build/deps/sqlite-3.40.1"
  sqlite_package=better-sqlite3-8.1.0.tgz
  sqlite_sha256=9006504eac0c86e8d5f42d6b7a8282866bf041bc856ff4438fec83cb98e4c05f
  if [[ ! -f "$sqlite_dir/sqlite3.c" || ! -f "$sqlite_dir/sqlite3.h" ]]; then
    fetch="$(mktemp -d)"
    trap 'rm -rf "$fetch"' EXIT
    (cd "$fetch" && npm pack --silent --no-audit --no-fund better-sqlite3@8.1.0 >/dev/null)
    echo "$sqlite_sha256  $fetch/$sqlite_package" | sha256sum --check --quiet -
    tar -xzf "$fetch/$sqlite_package" -C "$fetch" \
      package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h
    grep -q '^#define SQLITE_VERSION  *"3\.40\.1"' "$fetch/package/deps/sqlite3/sqlite3.h"
    # Put in place whole: a stopped fetch leaves no half a source behind.
    mkdir -p "$(dirname "$sqlite_dir")"
    rm -rf "$sqlite_dir.partial"
    mv "$fetch/package/deps/sqlite3" "$sqlite_dir.partial"
    mv "$sqlite_dir.partial" "$sqlite_dir"
  fi
fi
