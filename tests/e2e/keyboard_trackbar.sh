#!/usr/bin/env bash
# End to end: the real program under a virtual X display with a simulated camera file.
# The user tabs to the brightness track bar, moves it with the arrow keys, and the new value
# is in the camera's file. A second copy of the program quits without showing a window.
# Usage: keyboard_trackbar.sh <KorvaneCamSettingsTool> <e2e_camera_file>
set -euo pipefail
[[ -n "${KORVANE_E2E_DEBUG:-}" ]] && set -x
program="$1"
camera_file_tool="$2"

if [[ -z "${KORVANE_E2E_INNER:-}" ]]; then
  export KORVANE_E2E_INNER=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

work="$(mktemp -d)"
first=""
cleanup() {
  local status=$?
  if [[ -n "$first" ]]; then
    kill "$first" 2>/dev/null || true
    wait "$first" 2>/dev/null || true
  fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; echo "--- program output:" >&2; cat "$work/first.err" >&2 || true; exit 1; }

# Waits up to $1 seconds for the command in the remaining arguments to succeed.
wait_for() {
  local seconds="$1"; shift
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

# Sanitizer builds: leaks of the system's font library are not ours.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

cameras="$work/cameras.json"
"$camera_file_tool" write "$cameras"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" KORVANE_CAMERAS="$cameras"
mkdir -p "$HOME"

"$program" trace 2>"$work/first.err" &
first=$!
window_shown() { xdotool search --onlyvisible --name "^Korvane Cam Settings Tool" >/dev/null 2>&1; }
wait_for 60 window_shown || fail "the main window did not appear"
window="$(xdotool search --onlyvisible --name "^Korvane Cam Settings Tool" | head -n 1)"
grep -q "^SetTrackBars entered$" "$work/first.err" || fail "no trace lines on standard error"

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
"$program" trace 2>"$work/second.err" &
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
