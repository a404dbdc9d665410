#!/usr/bin/env bash
# End to end on the Video4Linux2 path with the camera test on: the real windows under a virtual
# X display, their cameras those of an emulated kernel, the camera test started as a double
# click on a format starts it. The test window appears captioned "<camera> @ <format>", its
# picture moves from one grab to the next, and when the camera is unplugged the test window
# closes while the program goes on. The program runs under a name of its own, so a copy of the
# tool open on the same machine does not make this one quit as a second instance.
# Usage: emulated_camera_test.sh <e2e_camera_test_process>
set -euo pipefail
[[ -n "${KORVANE_E2E_DEBUG:-}" ]] && set -x
program="$1"

source "$(dirname "$0")/e2e_support.sh"
e2e_under_display 1280x1024 "$0" "$@"
e2e_begin

cameras="$work/cameras.json"
# Two cameras: the window selects the first of two or more at start.
write_cameras() {
  cat >"$work/cameras.new" <<JSON
{"cameras": [
  {"id": "desk", "node": 0, "card": "E2E UVC Camera", "busInfo": "usb-0000:00:14.0-1",
   "usb": {"vendor": "1d6b", "product": "0102", "productName": "E2E UVC Camera", "serial": "E2E1"},
   "byPath": "pci-0000:00:14.0-usb-0:1:1.0", "present": $1,
   "controls": [{"name": "brightness", "min": 0, "max": 255, "step": 1, "default": 128, "value": 100}],
   "formats": [{"fourcc": "YUYV", "sizes": [{"width": 640, "height": 480, "intervals": ["1/30"]}]}],
   "current": {"fourcc": "YUYV", "width": 640, "height": 480, "interval": "1/30"}},
  {"id": "spare", "node": 2, "card": "E2E Spare", "busInfo": "usb-0000:00:14.0-2",
   "usb": {"vendor": "1d6b", "product": "0103", "productName": "E2E Spare"},
   "byPath": "pci-0000:00:14.0-usb-0:2:1.0", "controls": [],
   "formats": [{"fourcc": "YUYV", "sizes": [{"width": 320, "height": 240, "intervals": ["1/30"]}]}],
   "current": {"fourcc": "YUYV", "width": 320, "height": 240, "interval": "1/30"}}
]}
JSON
  mv "$work/cameras.new" "$cameras"
}
write_cameras true

copy="$work/korvane-e2e-$$-$RANDOM"
cp "$program" "$copy"
unset KORVANE_CAMERAS
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" KORVANE_V4L2_EMULATION="$cameras"
export QT_QPA_PLATFORM=xcb
mkdir -p "$HOME"

"$copy" 2>"$e2e_log" &
running=$!
e2e_started "$running"
test_window() { xdotool search --onlyvisible --name "^E2E UVC Camera @ " 2>/dev/null | head -n 1; }
test_shown() { [[ -n "$(test_window)" ]]; }
wait_for 60 test_shown || fail "the camera test window did not appear"
window="$(test_window)"

# Two grabs of the test window a moment apart: the test picture moves and counts its frames.
grab() { import -window "$window" "$work/$1.png" 2>/dev/null; }
changed() {
  grab first && sleep 0.3 && grab second && ! cmp -s "$work/first.png" "$work/second.png"
}
wait_for 30 changed || fail "the picture in the camera test window did not change"
# Not an empty window: the grab holds more than one colour.
colours="$(convert "$work/second.png" -format %k info:)"
((colours > 8)) || fail "the camera test window shows $colours colours"

write_cameras false
test_gone() { ! test_shown; }
wait_for 60 test_gone || fail "the camera test window stayed open after the camera was unplugged"
kill -0 "$running" || fail "the program ended"
echo "PASS"
