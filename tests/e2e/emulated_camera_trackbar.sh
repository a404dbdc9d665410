#!/usr/bin/env bash
# End to end on the Video4Linux2 path: the real program under a virtual X display, its cameras
# those of an emulated kernel (KORVANE_V4L2_EMULATION, KORVANE_CAMERAS unset). The user tabs to
# the brightness track bar, moves it with the arrow keys, and the emulated device holds the new
# value. The program runs under a name of its own, so a copy of the tool that is open on the
# same machine does not make this one quit as a second instance.
# Usage: emulated_camera_trackbar.sh <KorvaneCamSettingsTool> <e2e_emulated_value>
set -euo pipefail
[[ -n "${KORVANE_E2E_DEBUG:-}" ]] && set -x
program="$1"
value_tool="$2"

source "$(dirname "$0")/e2e_support.sh"
e2e_under_display 1024x768 "$0" "$@"
e2e_begin

cameras="$work/cameras.json"
# Two cameras: the window selects the first of two or more at start.
cat >"$cameras" <<'JSON'
{"cameras": [
  {"id": "desk", "node": 0, "card": "E2E UVC Camera", "busInfo": "usb-0000:00:14.0-1",
   "usb": {"vendor": "1d6b", "product": "0102", "productName": "E2E UVC Camera", "serial": "E2E1"},
   "byPath": "pci-0000:00:14.0-usb-0:1:1.0",
   "controls": [{"name": "brightness", "min": 0, "max": 255, "step": 1, "default": 128, "value": 100}],
   "formats": [{"fourcc": "YUYV", "sizes": [{"width": 640, "height": 480, "intervals": ["1/30"]}]},
               {"fourcc": "MJPG", "sizes": [{"width": 640, "height": 480, "intervals": ["1/30"]}]}],
   "current": {"fourcc": "YUYV", "width": 640, "height": 480, "interval": "1/30"}},
  {"id": "spare", "node": 2, "card": "E2E Spare", "busInfo": "usb-0000:00:14.0-2",
   "usb": {"vendor": "1d6b", "product": "0103", "productName": "E2E Spare"},
   "byPath": "pci-0000:00:14.0-usb-0:2:1.0", "controls": [],
   "formats": [{"fourcc": "YUYV", "sizes": [{"width": 320, "height": 240, "intervals": ["1/30"]}]}],
   "current": {"fourcc": "YUYV", "width": 320, "height": 240, "interval": "1/30"}}
]}
JSON

# A name of its own for the program under test.
copy="$work/korvane-e2e-$$-$RANDOM"
cp "$program" "$copy"
unset KORVANE_CAMERAS
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" KORVANE_V4L2_EMULATION="$cameras"
export QT_QPA_PLATFORM=xcb
mkdir -p "$HOME"

brightness=0x00980900
value() { "$value_tool" "$cameras" desk "$brightness"; }
[[ "$(value)" == 100 ]] || fail "unexpected start value $(value)"

"$copy" trace 2>"$e2e_log" &
first=$!
e2e_started "$first"
window_shown() { xdotool search --onlyvisible --name "^Korvane Cam Settings Tool" >/dev/null 2>&1; }
wait_for 60 window_shown || fail "the main window did not appear"
window="$(xdotool search --onlyvisible --name "^Korvane Cam Settings Tool" | head -n 1)"
grep -q "^SetTrackBars entered$" "$e2e_log" || fail "no trace lines on standard error"

moved() { [[ "$(value)" != 100 ]]; }
for attempt in 1 2 3; do
  xdotool windowfocus --sync "$window"
  xdotool key --delay 100 Tab Right Right Right
  wait_for 5 moved && break
done
moved || fail "the value in the emulated device did not change"
[[ "$(value)" == 103 ]] || fail "expected 103 after three steps, found $(value)"
kill -0 "$first" || fail "the program ended"
echo "PASS"
