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
                   g++-mingw-w64-x86-64-posix googletest wine wine64
                   dpkg-dev file lintian appstream man-db groff-base locales
                   u-boot-tools libubootenv-tool zlib1g-dev python3 python3-stdnum) ;;
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
