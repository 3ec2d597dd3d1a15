#!/usr/bin/env bash
# Builds the Debian package from the tree: a release build of both programs
# with the distribution's hardening flags (as dpkg-buildflags gives them),
# then CPack, one package per component. Prints the packages' paths:
#   build/package/quillmark{,-cli,-labels,-postgresql}_<version>_<architecture>.deb
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh package >&2

build=build/package
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags="$(dpkg-buildflags --get LDFLAGS)"
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

# The prefix is the package's: the program looks for its modules in
# /usr/lib/<multiarch>/quillmark.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_BUILD_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr \
  "-DCMAKE_CXX_FLAGS=$cxxflags" "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" \
  "-DCMAKE_SHARED_LINKER_FLAGS=$ldflags" "-DCMAKE_STRIP=$PWD/packaging/strip.sh" \
  "${launcher[@]}" >&2
cmake --build "$build" >&2
rm -f "$build"/quillmark*.deb
(cd "$build" && cpack -G DEB >&2)
ls "$PWD/$build"/quillmark*_*.deb
