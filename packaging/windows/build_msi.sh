#!/usr/bin/env bash
# Builds the Windows installer with wixl and finishes it with msibuild:
#   build_msi.sh OUTPUT WXS FULL_VERSION MSI_VERSION PRODUCT_CODE SOURCE_DIR STRIP CLI_EXE [DIALOG_EXE]
# wixl (Debian's 0.101) keeps every database in the neutral code page, which
# holds ASCII only, and has no Environment element; the Chinese names and
# the PATH entry are added to its output here. The MSI appears under its
# name only once it is whole.
set -euo pipefail
output=$1 wxs=$2 full_version=$3 msi_version=$4 product_code=$5 source_dir=$6 strip=$7 cli=$8
dialog=${9:-}

stage=$output.stage
rm -rf "$stage" "$output.partial"
mkdir -p "$stage/examples"
# wixl finds a File's Source relative to the folder it runs in: the staged
# tree is the installed one.
cp "$cli" "$stage/quillmark-cli.exe"
cp "$source_dir/resources/quillmark_help.html" "$stage/Quillmark.html"
cp "$source_dir/resources/quillmark_help_en.html" "$stage/Quillmark_en.html"
cp "$source_dir/doc/quillmark.toml" "$source_dir/doc/stamp-profile.toml" "$stage/examples/"
with_dialog=no
if [[ -n $dialog ]]; then
  cp "$dialog" "$stage/Quillmark.exe"
  with_dialog=yes
fi
# The programs without their debugging sections, as the Debian packages ship
# them.
"$strip" --strip-debug "$stage"/*.exe
(cd "$stage" && wixl --arch x64 -D "Version=$msi_version" -D "FullVersion=$full_version" \
  -D "ProductCode=$product_code" -D "Dialog=$with_dialog" -o "$output.partial" "$wxs")

# GBK (936) holds the Chinese names and every ASCII one; Windows Installer
# takes no UTF-8 database. msibuild's SQL is UTF-8 and stored as GBK.
printf '\r\n\r\n936\t_ForceCodepage\r\n' >"$stage/_ForceCodepage.idt"
msibuild "$output.partial" -i "$stage/_ForceCodepage.idt"

# wixl makes every shortcut an advertised one, which only a program may
# be; each points at its installed file instead.
shortcut() {  # id file long-name [short-name]
  local name=$3
  [[ -n ${4:-} ]] && name="$4|$3"
  msibuild "$output.partial" -q "UPDATE \`Shortcut\` SET \`Name\` = '$name', \`Target\` = '[#$2]' \
WHERE \`Shortcut\` = '$1'"
}
shortcut GuideChineseShortcut GuideChinese "Quillmark 使用说明" QMGUIDE
shortcut GuideEnglishShortcut GuideEnglish "Quillmark User Guide" QMGUIDEN
if [[ $with_dialog == yes ]]; then
  shortcut DialogShortcut QuillmarkDialog "Quillmark 固件批量生成 - Firmware Batch Preparation" QUILLMRK
fi

# quillmark-cli on the system PATH: appended (=, [~];) to the machine's
# variable (*) while the program is installed, taken out again on removal
# (-), so that an upgrade, which removes the old product first, leaves one
# entry.
msibuild "$output.partial" -q "CREATE TABLE \`Environment\` (\`Environment\` CHAR(72) NOT NULL, \
\`Name\` CHAR(255) NOT NULL LOCALIZABLE, \`Value\` CHAR(255) LOCALIZABLE, \
\`Component_\` CHAR(72) NOT NULL PRIMARY KEY \`Environment\`)"
msibuild "$output.partial" -q "INSERT INTO \`Environment\` (\`Environment\`, \`Name\`, \`Value\`, \
\`Component_\`) VALUES ('PathCli', '=-*PATH', '[~];[INSTALLDIR]', 'Cli')"
msibuild "$output.partial" -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) \
VALUES ('RemoveEnvironmentStrings', 3300)"
msibuild "$output.partial" -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) \
VALUES ('WriteEnvironmentStrings', 5200)"

rm -rf "$stage"
mv "$output.partial" "$output"
