#!/usr/bin/env bash
# The window and another program on one emulated camera: v4l2-ctl, run through
# `korvane-cam emulate` on the window's camera file, sets the brightness; the window's track bar
# follows, so that one step to the right from it writes the next value after v4l2-ctl's, not
# after the value the window started with.
# Usage: WindowSeesOtherProgramTest.sh KorvaneCamSettingsTool e2e_emulated_value korvane-cam
set -euo pipefail
[[ -n "${KORVANE_E2E_DEBUG:-}" ]] && set -x
program="$1"
value_tool="$2"
tool="$3"
command -v v4l2-ctl >/dev/null || { echo "v4l2-ctl is missing (v4l-utils)"; exit 77; }

source "$(dirname "$0")/../e2e/e2e_support.sh"
e2e_under_display 1024x768 "$0" "$@"
e2e_begin

cameras="$work/cameras.json"
# Two cameras: the window selects the first of two or more at start.
cat >"$cameras" <<'JSON'
{"cameras": [
  {"id": "desk", "node": 0, "card": "E2E UVC Camera", "busInfo": "usb-0000:00:14.0-1",
   "usb": {"vendor": "1d6b", "product": "0102", "productName": "E2E UVC Camera", "serial": "E2E1"},
   "controls": [{"name": "brightness", "min": 0, "max": 255, "step": 1, "default": 128, "value": 100}],
   "formats": [{"fourcc": "YUYV", "sizes": [{"width": 640, "height": 480, "intervals": ["1/30"]}]}]},
  {"id": "spare", "node": 2, "card": "E2E Spare", "busInfo": "usb-0000:00:14.0-2",
   "usb": {"vendor": "1d6b", "product": "0103", "productName": "E2E Spare"}, "controls": [],
   "formats": [{"fourcc": "YUYV", "sizes": [{"width": 320, "height": 240, "intervals": ["1/30"]}]}]}
]}
JSON

copy="$work/korvane-e2e-$$-$RANDOM"
cp "$program" "$copy"
unset KORVANE_CAMERAS
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" KORVANE_V4L2_EMULATION="$cameras"
export QT_QPA_PLATFORM=xcb
mkdir -p "$HOME"

brightness=0x00980900
value() { "$value_tool" "$cameras" desk "$brightness"; }

"$copy" trace 2>"$e2e_log" &
first=$!
e2e_started "$first"
window_shown() { xdotool search --onlyvisible --name "^Korvane Cam Settings Tool" >/dev/null 2>&1; }
wait_for 60 window_shown || fail "the main window did not appear"
window="$(xdotool search --onlyvisible --name "^Korvane Cam Settings Tool" | head -n 1)"

rereads() { grep -c "Re-read of camera settings successful" "$e2e_log" || true; }
"$tool" emulate "$cameras" -- v4l2-ctl -d /dev/video0 --set-ctrl brightness=200 ||
  fail "v4l2-ctl could not set the brightness"
[[ "$(value)" == 200 ]] || fail "v4l2-ctl's value is not in the file: $(value)"
before=$(rereads)
# The window's next reading of the camera finds the change; its track bar then stands at 200.
reread() { (($(rereads) > before)); }
wait_for 10 reread || fail "the window did not read the camera again after v4l2-ctl's change"

moved() { [[ "$(value)" != 200 ]]; }
for attempt in 1 2 3; do
  xdotool windowfocus --sync "$window"
  xdotool key --delay 100 Tab Right
  wait_for 5 moved && break
done
moved || fail "the window did not write the brightness"
[[ "$(value)" == 201 ]] || fail "one step right wrote $(value), not 201: the window missed v4l2-ctl's 200"
echo "PASS"
