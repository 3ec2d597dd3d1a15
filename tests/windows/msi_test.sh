#!/usr/bin/env bash
# The Windows installer on a machine of its own: a Wine prefix made fresh
# for this run, the MSI installed silently, the programs run from where it
# put them (a station's batch with its ledger), a newer MSI installed over
# it, then removed; the station's ledger and configuration stay.
#   msi_test.sh WORK FIXTURE_WRITER MSI NEWER_MSI VERSION NEWER_VERSION RUN-UNDER-WINE...
# RUN-UNDER-WINE is cmake/run-under-wine.sh with its wine and wineserver;
# the prefix is WORK/prefix, with a wineserver of its own.
set -euo pipefail
work=$1 fixture=$2 msi=$3 newer_msi=$4 version=$5 newer_version=$6
shift 6
runner=$1
shift 1
wine=("$runner" "$work/prefix" "$@")

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
# Waits for a condition, checked again every half second, up to a deadline
# far beyond what it needs: what Windows Installer leaves is checked after
# msiexec returns, and nothing here rests on a sleep alone.
wait_for() {  # seconds description command...
  local deadline=$((SECONDS + $1)) description=$2
  shift 2
  until "$@"; do
    ((SECONDS < deadline)) || fail "$description"
    sleep 0.5
  done
}

rm -rf "$work"
mkdir -p "$work"
# A fresh machine: the prefix is made here, once, with its server kept
# running for the whole test and stopped whatever the outcome.
trap '"${wine[@]}" --stop' EXIT
"${wine[@]}" --start
drive_c=$work/prefix/drive_c
program_folder="$drive_c/Program Files/Quillmark"
# The Start menu of every user; Wine's Windows Installer puts a per-machine
# product's shortcuts into the installing user's.
menus=("$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quillmark"
  "$drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Quillmark")
station_folder=$drive_c/ProgramData/Quillmark
cli='C:\Program Files\Quillmark\quillmark-cli.exe'
# The station's own settings only: nothing from the build machine's.
unset QUILLMARK_LEDGER

msiexec() {  # log-name argument...
  local log=$work/$1.log
  shift
  "${wine[@]}" msiexec "$@" /qn /l*v "$(windows_path "$log")" ||
    { tail -n 40 "$log" >&2 || true; fail "msiexec $* (the log: $log)"; }
}
machine_path() {
  "${wine[@]}" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' \
    /v PATH 2>/dev/null | tr -d '\r' | grep -i '^ *PATH ' || true
}
path_entries() { machine_path | tr ';' '\n' | grep -ic 'C:\\Program Files\\Quillmark' || true; }
products() {
  "${wine[@]}" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
    tr -d '\r' | grep -E '^ *DisplayName +REG_SZ +Quillmark' || true
}
menu() { for folder in "${menus[@]}"; do [[ -d $folder ]] && echo "$folder"; done; }
installed() { [[ -f "$program_folder/quillmark-cli.exe" && -n $(menu) ]]; }
removed() { [[ ! -e "$program_folder" && -z $(menu) ]]; }
product_is() { [[ $(products) =~ Quillmark\ $1$ && $(products | wc -l) -eq 1 ]]; }

# Installed silently, as a site's deployment would.
msiexec install /i "$(windows_path "$msi")"
wait_for 120 "the program folder or the Start menu is missing after the install" installed
for file in quillmark-cli.exe Quillmark.html Quillmark_en.html examples/quillmark.toml \
  examples/stamp-profile.toml; do
  [[ -f "$program_folder/$file" ]] || fail "the install lacks $file: $(ls -R "$program_folder")"
done
for shortcut in 'Quillmark 使用说明.lnk' 'Quillmark User Guide.lnk'; do
  [[ -f "$(menu)/$shortcut" ]] || fail "no Start menu shortcut $shortcut: $(ls "$(menu)")"
done
wait_for 60 "not one Quillmark $version in the installed products: $(products)" product_is "$version"
[[ $(path_entries) -eq 1 ]] || fail "the program folder is not once on the machine's PATH: $(machine_path)"

# From its installed place, and by name through the PATH.
[[ $("${wine[@]}" "$cli" --version | tr -d '\r') == "quillmark-cli $version" ]] ||
  fail "the installed quillmark-cli.exe does not give its version"
[[ $("${wine[@]}" cmd /c 'quillmark-cli --version' | tr -d '\r') == "quillmark-cli $version" ]] ||
  fail "cmd does not find quillmark-cli on the PATH"

# A station: its ledger and configuration in %ProgramData%\Quillmark, a
# batch written with them, the same range refused the second time.
"${wine[@]}" "$cli" ledger init station >/dev/null || fail "ledger init station"
"${wine[@]}" "$cli" ledger pool add line3 04:57:55:00:00:00 04:57:55:00:0f:ff --ledger station \
  >/dev/null || fail "ledger pool add"
printf 'ledger = "station"\nstation = "line3"\npool = "line3"\n' >"$station_folder/quillmark.toml"
"${wine[@]}" "$fixture" "$(windows_path "$work/image.img")" 4194304
batch() {  # out-folder start-mac
  "${wine[@]}" "$cli" --image "$(windows_path "$work/image.img")" \
    --out "$(windows_path "$work/$1")" --start-mac "$2" --count 3 --quiet
}
batch first next >/dev/null 2>&1 || fail "the batch with the station's ledger"
[[ $(ls "$work/first") == $'fw_045755_000000.img\nfw_045755_000001.img\nfw_045755_000002.img' ]] ||
  fail "the batch is not the pool's first three: $(ls "$work/first")"
"${wine[@]}" "$cli" verify --image "$(windows_path "$work/image.img")" \
  --out "$(windows_path "$work/first")" --start-mac 04:57:55:00:00:00 --count 3 >/dev/null ||
  fail "the batch does not verify"
batch again 04:57:55:00:00:01 >/dev/null 2>&1 && fail "a range the ledger holds was written again"
[[ -z $(ls -A "$work/again" 2>/dev/null) ]] || fail "a refused batch left files: $(ls "$work/again")"

# A newer installer replaces this one in place.
msiexec upgrade /i "$(windows_path "$newer_msi")"
wait_for 60 "not one Quillmark $newer_version after the upgrade: $(products)" product_is "$newer_version"
wait_for 120 "the upgrade left the program folder or the Start menu incomplete" installed
[[ $(path_entries) -eq 1 ]] || fail "after the upgrade the PATH has not one entry: $(machine_path)"
# Found by its full path: Wine's Windows Installer takes the old entry out
# of PATH but leaves its separator, and Wine's cmd finds nothing on a PATH
# past an empty entry (Windows does neither).
"${wine[@]}" "$cli" ledger list --ledger station | grep -q '^1  04:57:55:00:00:00 ' ||
  fail "after the upgrade the station's ledger lost its batch"

# Removed: the program, its menu and its PATH entry go; the station's
# ledger and configuration stay, as a Debian remove keeps /etc.
msiexec uninstall /x "$(windows_path "$newer_msi")"
wait_for 120 "the program folder or the Start menu is left after the uninstall" removed
wait_for 60 "a product is left after the uninstall: $(products)" test -z "$(products)"
[[ $(path_entries) -eq 0 ]] || fail "the PATH keeps the program folder: $(machine_path)"
[[ -f $station_folder/quillmark.toml ]] || fail "the uninstall removed the station's configuration"
head -c 16 "$station_folder/ledger.sqlite3" | grep -q '^SQLite format 3' ||
  fail "the uninstall removed or damaged the station's ledger"
echo "What the uninstall left:"
(cd "$drive_c" && find ProgramData/Quillmark 'Program Files' -path '*Quillmark*' | sort)
echo "the MSI installs, upgrades and uninstalls a station"
