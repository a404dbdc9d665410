#!/usr/bin/env bash
# End to end on Wayland: a headless Weston compositor of its own, the toolkit on its Wayland
# plugin. The real program shows its window there over the demo cameras; then the program's
# windows, driven in-process (no input can be injected into Weston from outside), run the
# camera test with frames arriving, save and load a settings file and close. A compositor
# places windows itself and tells no program where they are, so the geometry file must keep
# the position stored in it, with the width written anew.
# Usage: wayland_session.sh <KorvaneCamSettingsTool> <e2e_wayland_session>
set -euo pipefail
[[ -n "${KORVANE_E2E_DEBUG:-}" ]] && set -x
program="$1"
session_driver="$2"

source "$(dirname "$0")/e2e_support.sh"
e2e_begin

command -v weston >/dev/null || fail "weston is not installed (scripts/install-deps.sh)"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
export WAYLAND_DISPLAY="korvane-e2e-$$"
weston --backend=headless-backend.so --socket="$WAYLAND_DISPLAY" --idle-time=0 \
  >"$work/weston.log" 2>&1 &
e2e_started $!
compositor_ready() { [[ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ]]; }
wait_for 30 compositor_ready || { cat "$work/weston.log" >&2; fail "weston did not start"; }

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" KORVANE_CAMERAS=demo
export QT_QPA_PLATFORM=wayland
unset DISPLAY
folder="$HOME/Documents/KorvaneCamSettingsTool"
mkdir -p "$folder"
geometry="$folder/KorvaneCamSettingsTool.ini"
printf '[KorvaneCamSettingsTool-Settings]\r\nHeight=740\r\nTop=123\r\nLeft=45\r\nwidth=700\r\n' \
  >"$geometry"

# The real program, under a name of its own (one copy per name may run). The client's side
# of the protocol shows the window's title and its first picture handed to the compositor.
under_test="$work/korvane-e2e-$$-$RANDOM"
cp "$program" "$under_test"
WAYLAND_DEBUG=client "$under_test" trace 2>"$e2e_log" &
real=$!
e2e_started "$real"
window_drawn() {
  grep -q 'xdg_toplevel@[0-9]*\.set_title("Korvane Cam Settings Tool V1.7")' "$e2e_log" &&
    grep -q 'wl_surface@[0-9]*\.attach(wl_buffer@' "$e2e_log"
}
wait_for 60 window_drawn || fail "the program drew no window on the compositor"
grep -q "^SetTrackBars entered$" "$e2e_log" || fail "the program read no camera"
kill -0 "$real" || fail "the program ended"
kill "$real"
wait "$real" 2>/dev/null || true

e2e_log="$work/session.err"
"$session_driver" "$work/settings.kcs" 2>"$e2e_log" || fail "the driven session failed"

key() { tr -d '\r' <"$geometry" | sed -n "s/^$1=//p"; }
[[ "$(key Top)" == 123 && "$(key Left)" == 45 ]] ||
  fail "the stored position was overwritten: $(tr -d '\r' <"$geometry" | tr '\n' ' ')"
[[ "$(key width)" == 700 && "$(key Height)" == 740 ]] ||
  fail "the size was not kept: $(tr -d '\r' <"$geometry" | tr '\n' ' ')"
echo "PASS"
