#!/usr/bin/env bash
# Checks the Debian packages as a user gets them: lintian on each, then
# installs them into this machine with apt one by one, showing what each
# adds and checking it (the command-line tool alone says which package a
# missing module is in; the dialog starts offscreen from /usr/bin and opens
# its help page), removes the labels package again, and purges them all,
# checking that nothing of them stays. Needs root (or sudo): meant for CI
# and throwaway machines.
#   install_test.sh HELP_PROBE.so PACKAGE.deb…
set -euo pipefail
probe="$(realpath "$1")"
shift
here="$(cd "$(dirname "$0")" && pwd)"
declare -A debs
for deb in "$@"; do
  debs[$(dpkg-deb -f "$deb" Package)]="$(realpath "$deb")"
done
packages=(quillmark-cli quillmark-labels quillmark-postgresql quillmark)

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
for package in "${packages[@]}"; do
  [[ -n "${debs[$package]:-}" ]] || fail "no package $package among: $*"
done

for package in "${packages[@]}"; do
  step "lintian $package"
  status=0
  tags="$(lintian --fail-on error,warning --display-info "${debs[$package]}" 2>&1)" || status=$?
  grep -v 'running with root privileges' <<<"$tags" || true
  ((status == 0)) || fail "lintian reports errors or warnings for $package"
done

step "quillmark-cli depends on neither Qt nor cairo nor libpq"
depends="$(dpkg-deb -f "${debs[quillmark-cli]}" Depends)"
echo "Depends: $depends"
if grep -Eq 'libqt|libcairo|libpq|libzint|libx11' <<<"$depends"; then
  fail "quillmark-cli depends on $depends"
fi

step "quillmark-labels depends on the package of the label font"
depends="$(dpkg-deb -f "${debs[quillmark-labels]}" Depends)"
echo "Depends: $depends"
grep -Eq '(^|, )fonts-wqy-microhei(,|$)' <<<"$depends" ||
  fail "quillmark-labels does not depend on fonts-wqy-microhei: $depends"

# Two test runs on one machine must not install and purge at once.
exec 9>/tmp/quillmark-package-test.lock
flock 9

installed_packages() { dpkg-query -W -f='${Status} ${Package}\n' 2>/dev/null | grep '^install ok installed' | cut -d' ' -f4 | sort; }
purge_all() { apt_get remove --purge "${packages[@]}" >/dev/null 2>&1 || true; }
for package in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'installed'; then
    step "removing the $package package installed before this test"
    apt_get remove --purge "$package" >/dev/null
  fi
done
# Paths whose name says quillmark, outside the package's own database.
leftovers() {
  find /usr /etc /opt /var -xdev -iname '*quillmark*' -not -path '/var/log/*' 2>/dev/null | sort
}
before="$(leftovers)"
files=()
trap purge_all EXIT
# Installs one package and shows what it brings: its files and the other
# packages it pulled in.
install_one() {
  local package=$1 deb=${debs[$1]} before_packages
  before_packages="$(installed_packages)"
  step "apt-get install $package"
  apt_get install "$deb" >/dev/null
  local own=()
  mapfile -t own < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||' | grep -v '^/*$')
  for path in "${own[@]}"; do
    [[ -e "$path" ]] || fail "$path is not installed"
    [[ -d "$path" ]] || echo "  adds $path"
  done
  files+=("${own[@]}")
  comm -13 <(echo "$before_packages") <(installed_packages) | grep -vx "$package" |
    sed 's/^/  pulls in /' || true
}
# Expects exit STATUS and a line on standard error holding TEXT.
expect_line() {
  local status=$1 text=$2 got=0 err
  shift 2
  err="$("$@" 2>&1 >/dev/null)" || got=$?
  echo "  $* -> $got: $err"
  ((got == status)) || fail "$* ended with $got, expected $status"
  grep -qF -- "$text" <<<"$err" || fail "$* did not say '$text'"
}
# A program's English page is the C locale's, its Chinese page zh_CN's; man
# shows each in its language.
check_man_pages() {
  local program=$1 page
  page="$(LC_ALL=C.UTF-8 man -w "$program")"
  [[ "$page" == "/usr/share/man/man1/$program.1.gz" ]] || fail "man finds $program at '$page'"
  "$here/check_man_page.sh" "$page" en
  "$here/check_man_page.sh" "/usr/share/man/zh_CN/man1/$program.1.gz" zh_CN
  "$here/check_man_page_locale.sh" /usr/share/man "$program"
}
scratch="$(mktemp -d)"
pg="postgresql://nobody@/quillmark?host=$scratch/no-server"

install_one quillmark-cli
step "quillmark-cli --version from PATH"
[[ "$(command -v quillmark-cli)" == /usr/bin/quillmark-cli ]] || fail "quillmark-cli is not on PATH"
version="$(dpkg-query -W -f='${Version}' quillmark-cli)"
[[ "$(quillmark-cli --version)" == "quillmark-cli $version" ]] ||
  fail "quillmark-cli --version says '$(quillmark-cli --version)', the package is $version"
check_man_pages quillmark-cli
step "bash completion and the example station configuration"
completion=/usr/share/bash-completion/completions/quillmark-cli
[[ -f "$completion" ]] || fail "the bash completion is not installed"
bash -c "source '$completion' && complete -p quillmark-cli" >/dev/null ||
  fail "the installed completion does not complete quillmark-cli"
cmp -s /usr/share/doc/quillmark-cli/examples/quillmark.toml "$here/../../doc/quillmark.toml" ||
  fail "the example station configuration is not installed"
[[ -d /etc/quillmark ]] && dpkg-query -L quillmark-cli | grep -qx /etc/quillmark ||
  fail "quillmark-cli does not ship /etc/quillmark"
example=/usr/share/doc/quillmark-cli/examples/stamp-profile.toml
cmp -s "$example" "$here/../../doc/stamp-profile.toml" ||
  fail "the sample stamp profile is not installed as $example"
step "quillmark-cli alone: the modules it lacks, and the SQLite ledger"
expect_line 2 "quillmark-labels" quillmark-cli labels --help
expect_line 1 "quillmark-postgresql" quillmark-cli ledger list --ledger "$pg"
quillmark-cli ledger init "$scratch/ledger.sqlite3" >/dev/null || fail "SQLite ledger init"

install_one quillmark-labels
step "quillmark-cli labels through the installed module"
quillmark-cli labels --help >/dev/null || fail "labels --help with quillmark-labels installed"

install_one quillmark-postgresql
step "a PostgreSQL ledger location opens the installed module"
expect_line 1 "账本无法访问" quillmark-cli ledger list --ledger "$pg"
[[ -f /usr/share/quillmark/sql/postgresql/roles.sql ]] || fail "roles.sql is not installed"

install_one quillmark
step "manual pages of the dialog"
check_man_pages Quillmark

step "desktop entry and AppStream metainfo"
desktop-file-validate /usr/share/applications/quillmark.desktop
appstreamcli validate --no-net --strict /usr/share/metainfo/org.quillmark.Quillmark.metainfo.xml
"$here/check_desktop_languages.sh" /usr/share/applications/quillmark.desktop \
  /usr/share/metainfo/org.quillmark.Quillmark.metainfo.xml

step "the installed dialog, offscreen, opens its help page with F1, in the locale's language"
for guide in "zh_CN.UTF-8 Quillmark.html" "en_US.UTF-8 Quillmark_en.html"; do
  read -r locale page <<<"$guide"
  runtime="$(mktemp -d)"
  chmod 700 "$runtime"
  probe_out="$(cd "$runtime" && HOME="$runtime" XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=offscreen \
    LANGUAGE= LC_ALL= LC_MESSAGES= LANG="$locale" LD_PRELOAD="$probe" timeout 60 Quillmark)" ||
    fail "the dialog ended with status $?: $probe_out"
  rm -rf "$runtime"
  echo "$probe_out"
  grep -qx 'window: Quillmark' <<<"$probe_out" || fail "the dialog did not come up as Quillmark"
  grep -qx "help: file:///usr/share/doc/quillmark/$page#topic-0x20066" <<<"$probe_out" ||
    fail "F1 under $locale did not open $page in the documentation folder"
done

step "apt-get remove --purge quillmark-labels"
apt_get remove --purge quillmark-labels >/dev/null
expect_line 2 "quillmark-labels" quillmark-cli labels --help

# The labels package is gone already: apt cannot name a package it no
# longer knows, so only what is still installed is purged.
still=()
for package in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    still+=("$package")
  fi
done
step "apt-get remove --purge ${still[*]}"
trap - EXIT
apt_get remove --purge "${still[@]}" >/dev/null
rm -rf "$scratch"
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
