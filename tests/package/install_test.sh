#!/usr/bin/env bash
# Checks the Debian package as a user gets it: lintian, then installs it
# into this machine with apt, checks the installed programs, pages, desktop
# entry and metainfo, starts the dialog offscreen from /usr/bin and has it
# open its help page, and purges the package, checking that nothing of it
# stays. Needs root (or sudo): meant for CI and throwaway machines.
#   install_test.sh PACKAGE.deb HELP_PROBE.so
set -euo pipefail
deb="$(realpath "$1")"
probe="$(realpath "$2")"
here="$(cd "$(dirname "$0")" && pwd)"

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
apt_get() {
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get -y -qq -o DPkg::Lock::Timeout=600 "$@"
}
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
step() { echo "== $* ($(date +%T))"; }

step "lintian"
status=0
tags="$(lintian --fail-on error,warning --display-info "$deb" 2>&1)" || status=$?
grep -v 'running with root privileges' <<<"$tags" || true
((status == 0)) || fail "lintian reports errors or warnings"

# Two test runs on one machine must not install and purge at once.
exec 9>/tmp/quillmark-package-test.lock
flock 9

if dpkg-query -W -f='${Status}' quillmark 2>/dev/null | grep -q 'installed'; then
  step "removing the quillmark package installed before this test"
  apt_get remove --purge quillmark >/dev/null
fi
# Paths whose name says quillmark, outside the package's own database.
leftovers() {
  find /usr /etc /opt /var -xdev -iname '*quillmark*' -not -path '/var/log/*' 2>/dev/null | sort
}
before="$(leftovers)"
mapfile -t files < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||' | grep -v '^/*$')

step "apt-get install $deb"
apt_get install "$deb" >/dev/null
trap 'apt_get remove --purge quillmark >/dev/null 2>&1 || true' EXIT
for path in "${files[@]}"; do
  [[ -e "$path" ]] || fail "$path is not installed"
done

step "quillmark-cli --version from PATH"
[[ "$(command -v quillmark-cli)" == /usr/bin/quillmark-cli ]] || fail "quillmark-cli is not on PATH"
version="$(dpkg-query -W -f='${Version}' quillmark)"
[[ "$(quillmark-cli --version)" == "quillmark-cli $version" ]] ||
  fail "quillmark-cli --version says '$(quillmark-cli --version)', the package is $version"

step "manual pages"
for program in Quillmark quillmark-cli; do
  page="$(man -w "$program")"
  [[ "$page" == "/usr/share/man/man1/$program.1.gz" ]] || fail "man finds $program at '$page'"
  "$here/check_man_page.sh" "$page"
done

step "desktop entry and AppStream metainfo"
desktop-file-validate /usr/share/applications/quillmark.desktop
appstreamcli validate --no-net --strict /usr/share/metainfo/org.quillmark.Quillmark.metainfo.xml

step "the installed dialog, offscreen, opens its help page with F1"
runtime="$(mktemp -d)"
chmod 700 "$runtime"
probe_out="$(cd "$runtime" && HOME="$runtime" XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=offscreen \
  LD_PRELOAD="$probe" timeout 60 Quillmark)" || fail "the dialog ended with status $?: $probe_out"
rm -rf "$runtime"
echo "$probe_out"
grep -qx 'window: Quillmark' <<<"$probe_out" || fail "the dialog did not come up as Quillmark"
grep -qx 'help: file:///usr/share/doc/quillmark/Quillmark.html#topic-0x20066' <<<"$probe_out" ||
  fail "F1 did not open the help page in the documentation folder"

step "apt-get remove --purge quillmark"
trap - EXIT
apt_get remove --purge quillmark >/dev/null
# What stays must belong to other packages (/usr/share/man/man1, …).
remaining=()
for path in "${files[@]}"; do
  if [[ -e "$path" ]]; then remaining+=("$path"); fi
done
if ((${#remaining[@]})); then
  dpkg-query -S "${remaining[@]}" >/dev/null 2>&1 ||
    fail "stays after the purge: $(dpkg-query -S "${remaining[@]}" 2>&1 >/dev/null)"
fi
after="$(leftovers)"
[[ "$after" == "$before" ]] || fail "left after the purge: $(comm -13 <(echo "$before") <(echo "$after"))"
echo "package test passed"
