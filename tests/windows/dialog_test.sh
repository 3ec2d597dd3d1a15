#!/bin/bash
# Quillmark.exe under Wine in an X server of its own (Xvfb), driven by
# real keys (xdotool) and checked by dialog_probe.exe, which reads and
# sets the dialog's controls by id:
#   dialog_test.sh CASE WORK QUILLMARK PROBE FIXTURE CLI WINE-RUN...
# The language comes from the environment (LANG), as the tool reads it.
# Every wait polls with a generous deadline.
set -euo pipefail
case_name=$1 work=$2 quillmark=$3 probe=$4 fixture=$5 cli=$6
shift 6
wine=("$@")
wineserver=${wine[3]}
export WINEPREFIX=${wine[1]}

fail() {
  echo "FAIL ($case_name): $*" >&2
  exit 1
}
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
english() { [[ -n "${QUILLMARK_TEST_ENGLISH:-}" ]]; }
# said CHINESE ENGLISH: the text in the run's language.
said() { if english; then printf '%s' "$2"; else printf '%s' "$1"; fi; }
probe() { "${wine[@]}" "$probe" "$@"; }
expect_control() {
  local shown
  shown=$(probe get "$1" | tr -d '\r')
  [[ "$shown" == "$2" ]] || fail "control $1 shows '$shown', not '$2'"
}
# window_named TITLE: the id of the visible window with that title. A
# search meets windows that vanish while it looks (a picker closing), and
# xdotool then stops with an X error: such a search is simply made again.
window_named() {
  local deadline=$((SECONDS + 120)) found
  while ((SECONDS < deadline)); do
    found=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1) || true
    if [[ -n "$found" ]]; then
      echo "$found"
      return 0
    fi
    sleep 0.1
  done
  return 1
}
poll() {  # poll SECONDS COMMAND...: until the command succeeds
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

rm -rf "$work"
mkdir -p "$work"
cd "$work"

# An X server of the test's own; it picks a free display.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
poll 60 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"

# The dialog's current folder is the work folder, so "out" is found there.
"${wine[@]}" "$quillmark" >"$work/quillmark.log" 2>&1 &
dialog=$!
probe wait-dialog || fail "the dialog did not appear"
window=$(window_named Quillmark) || fail "no window named Quillmark"
keys() {  # real keys typed into the dialog's window
  xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
  xdotool key --delay 50 "$@"
}
wait_closed() {
  probe wait-gone || fail "the dialog stays open"
  poll 120 bash -c "! kill -0 $dialog 2>/dev/null" || fail "Quillmark.exe goes on"
}

image_with_devices() {  # writes $work/image.img and sets the device count
  "${wine[@]}" "$fixture" "$(windows_path "$work/image.img")" 4194304
  probe set 1003 "$1"
}
choose_image() {  # through the real picker: Tab to "choose file", the path typed
  keys Tab space
  local title
  title=$(said "选择固件镜像" "Choose Firmware Image")
  local picker attempt
  # Typed once the picker has painted and put the focus on its name field;
  # a picker slower than that gets the path again.
  for attempt in 1 2 3; do
    picker=$(window_named "$title") || fail "the picker did not open"
    sleep "$attempt"
    xdotool windowfocus "$picker" 2>/dev/null || true
    xdotool type --delay 20 "$(windows_path "$work/image.img")"
    xdotool key Return
    if probe wait-text 1001 "$(windows_path "$work/image.img")"; then
      break
    fi
    ((attempt < 3)) || fail "the picker did not set the image: $(probe get 1001)"
    xdotool key ctrl+a  # the name field again, emptied by what is typed next
  done
  # The focus stays on "choose file": back to the start button.
  keys shift+Tab
}

case "$case_name" in
  defaults)
    expect_control 1001 "$(said "（请选择）" "(none chosen)")"
    expect_control 1005 out
    expect_control 1002 04:57:55:00:00:00
    expect_control 1003 255
    expect_control 1007 1
    expect_control 1004 ""
    expect_control 1 "$(said "确定" "OK")"
    expect_control 1000 "$(said "选择文件" "Choose File")"
    expect_control 1006 "$(said "选择目录" "Choose Folder")"
    [[ "$(probe focus | tr -d '\r')" == 1 ]] || fail "the focus is not on the start button"
    # The about box: its lines, the main dialog disabled under it; Enter
    # closes it.
    about=$(probe about | tr -d '\r')
    [[ "$about" == "$(said "Quillmark 1.0 版" "Quillmark version 1.0")"$'\n'"$(said \
      "固件镜像由产线固件组提供" "Firmware images come from the line's firmware group")"$'\n0' ]] ||
      fail "the about box shows: $about"
    about_box=$(window_named "$(said "关于 Quillmark" "About Quillmark")") || fail "no about box"
    xdotool windowfocus --sync "$about_box" 2>/dev/null || xdotool windowfocus "$about_box"
    xdotool key Return
    probe wait-dialog-enabled || fail "the about box stays"
    # The dialog as a person sees it, for a look at every control.
    import -display "$DISPLAY" -window root \
      "$work/../dialog-$(said zh en).png" || fail "no screenshot"
    keys Escape
    wait_closed
    ;;
  refusal)
    # Enter at once: the image is not chosen yet.
    keys Return
    text=$(probe wait-box | tr -d '\r')
    [[ "$text" == "$(said "读取文件错误！" "Cannot read the image.")" ]] ||
      fail "the message box says: $text"
    [[ $(probe boxes | wc -l) == 1 ]] || fail "more than one message box"
    probe ok-box
    [[ ! -e "$work/out" ]] || fail "the refused request made the output folder"
    [[ "$(probe enabled 1 | tr -d '\r')" == 1 ]] || fail "the start button stays disabled"
    keys Escape
    wait_closed
    ;;
  batch)
    image_with_devices 3
    choose_image
    keys Return
    probe wait-text 1004 "$(said "运行结束" "Run finished")"
    [[ "$(probe focus | tr -d '\r')" == 1 ]] || fail "the focus is not back on the start button"
    # The same batch from quillmark-cli.exe, file for file.
    "${wine[@]}" "$cli" --image "$(windows_path "$work/image.img")" \
      --out "$(windows_path "$work/cli")" --count 3 --quiet
    for file in "$work"/cli/fw_*.img; do
      cmp "$file" "$work/out/$(basename "$file")" || fail "$(basename "$file") differs"
    done
    [[ $(ls "$work/out" | wc -l) == 3 ]] || fail "the dialog wrote other files: $(ls "$work/out")"
    # Enter starts the next batch; the first batch's files are then
    # another lot's, which the end of the run says.
    probe set 1002 04:57:55:00:01:00
    probe set 1004 ""
    keys Return
    finished=$(said "运行结束" "Run finished")
    poll 120 bash -c '[[ "$("$@" get 1004 | tr -d "\r")" == "$0"* ]]' "$finished" \
      "${wine[@]}" "$probe" || fail "the next batch did not end: $(probe get 1004)"
    [[ -f "$work/out/fw_045755_000102.img" ]] || fail "Enter did not start the next batch"
    keys Escape
    wait_closed
    ;;
  failure-count)
    # Device 2's name is taken by a folder: the run stops there.
    image_with_devices 3
    mkdir -p "$work/out/fw_045755_000001.img"
    choose_image
    keys Return
    probe wait-enabled 1
    expect_control 1008 "$(said "失败 2 / 3" "Failed 2 / 3")"
    status=$(probe get 1004 | tr -d '\r')
    [[ "$status" == "$(said "创建文件出错: " "Cannot create file: ")"* ]] ||
      fail "status line: $status"
    import -display "$DISPLAY" -window root \
      "$work/../dialog-failures-$(said zh en).png" || fail "no screenshot"
    keys Escape
    wait_closed
    ;;
  close-during-run)
    image_with_devices 200
    choose_image
    keys Return
    poll 120 bash -c "ls '$work/out' 2>/dev/null | grep -q '^fw_'" || fail "the run did not start"
    keys Escape
    wait_closed
    # No partial image: every device's file is whole, no temporary file.
    count=0
    for file in "$work"/out/*; do
      [[ "$(basename "$file")" == fw_*.img ]] || fail "left behind: $(basename "$file")"
      [[ $(stat -c %s "$file") == 4194304 ]] || fail "$(basename "$file") is partial"
      count=$((count + 1))
    done
    ((count < 200)) || fail "the run was not stopped"
    ;;
  *) fail "no such case" ;;
esac
