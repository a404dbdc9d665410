#!/usr/bin/env bash
# End to end: the real program under a virtual X display with a simulated camera file.
# The user tabs to the brightness track bar, moves it with the arrow keys, and the new value
# is in the camera's file. A second copy of the program quits without showing a window.
# The program runs under an executable name of its own, since one copy per name may run: the
# tool itself may be open on the same machine, and a copy of it runs beside the test to prove
# that it does not matter. The X platform is chosen here, whatever the caller's environment says.
# Usage: keyboard_trackbar.sh <KorvaneCamSettingsTool> <e2e_camera_file>
set -euo pipefail
[[ -n "${KORVANE_E2E_DEBUG:-}" ]] && set -x
program="$1"
camera_file_tool="$2"

source "$(dirname "$0")/e2e_support.sh"
e2e_under_display 1024x768 "$0" "$@"
e2e_begin

# The tool as a developer has it open, under its real name, off screen with the demo cameras.
mkdir -p "$work/bystander"
HOME="$work/bystander" XDG_CONFIG_HOME="$work/bystander/.config" KORVANE_CAMERAS=demo \
  QT_QPA_PLATFORM=offscreen "$program" 2>/dev/null &
bystander=$!
e2e_started "$bystander"
# Started once the process runs the program (it quits by itself when the tool is already open).
bystander_started() {
  [[ "$(readlink "/proc/$bystander/exe" 2>/dev/null)" == "$(readlink -f "$program")" ]] ||
    ! kill -0 "$bystander" 2>/dev/null
}
wait_for 10 bystander_started || fail "the copy under the real name did not start"

# The copy under test: a name no other program on the machine has (the check compares the
# file name of the executable itself, so a symbolic link would not do).
under_test="$work/korvane-e2e-$$-$RANDOM"
cp "$program" "$under_test"

cameras="$work/cameras.json"
"$camera_file_tool" write "$cameras"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" KORVANE_CAMERAS="$cameras"
export QT_QPA_PLATFORM=xcb
mkdir -p "$HOME"

"$under_test" trace 2>"$e2e_log" &
first=$!
e2e_started "$first"
window_shown() { xdotool search --onlyvisible --name "^Korvane Cam Settings Tool" >/dev/null 2>&1; }
wait_for 60 window_shown || fail "the main window did not appear"
window="$(xdotool search --onlyvisible --name "^Korvane Cam Settings Tool" | head -n 1)"
grep -q "^SetTrackBars entered$" "$e2e_log" || fail "no trace lines on standard error"

value() { "$camera_file_tool" value "$cameras" 0 0; }
[[ "$(value)" == 100 ]] || fail "unexpected start value $(value)"

# The focus chain holds the camera list and the one adjustable track bar; Tab reaches the
# bar from wherever the focus starts, and the arrow keys leave the camera list alone.
moved() { [[ "$(value)" != 100 ]]; }
for attempt in 1 2 3; do
  xdotool windowfocus --sync "$window"
  xdotool key --delay 100 Tab Right Right Right
  wait_for 5 moved && break
done
moved || fail "the value in the camera file did not change"
[[ "$(value)" == 103 ]] || fail "expected 103 after three steps, found $(value)"

# A second copy under the same executable name quits at once, showing nothing, not even
# its trace window.
"$under_test" trace 2>"$work/second.err" &
second=$!
second_done() { ! kill -0 "$second" 2>/dev/null; }
wait_for 60 second_done || { kill "$second"; fail "the second copy kept running"; }
wait "$second" || fail "the second copy ended with an error: $(cat "$work/second.err")"
windows="$(xdotool search --onlyvisible --name "^Korvane Cam Settings Tool" | wc -l)"
[[ "$windows" == 1 ]] || fail "expected one window, found $windows"
traces="$(xdotool search --onlyvisible --name "^Trace$" | wc -l)"
[[ "$traces" == 1 ]] || fail "expected the first copy's trace window only, found $traces"
kill -0 "$first" || fail "the first copy ended"
echo "PASS"
