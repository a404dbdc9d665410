#!/usr/bin/env bash
# Start-up as a user feels it: the whole program, from exec to the first picture in its
# window, against a one-label Qt Widgets program, started alternately under one virtual X
# display with the demo cameras and an empty home. Prints every pair and the median of the
# paired ratios.
# Usage: StartupProcess.sh BUILD_DIR [pairs] [program]
# The program defaults to the tool; BUILD_DIR/bench/ui/bench_bare_window, a plain window with
# as many widgets, shows what a window of that size costs whatever its controls.
set -euo pipefail
build=$1
pairs=${2:-21}
program=${3:-$build/app/KorvaneCamSettingsTool}
work=$(mktemp -d)
xvfb_pid=
cleanup() {
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
display=:$((90 + RANDOM % 400))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do
  DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break
  sleep 0.1
done
mkdir -p "$work/home/.config"
export DISPLAY=$display HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" KORVANE_CAMERAS=demo
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work"
chmod 700 "$work"
"$build/bench/ui/bench_startup_process" "$pairs" "$program" \
  "$build/bench/ui/bench_one_label_window"
