#!/usr/bin/env bash
# What `korvane-cam restore --watch` costs as a user feels it:
#  1. idle: the wake-ups (voluntary context switches, from /proc/PID/status) and CPU time of
#     the watcher over a quiet period with nothing plugged in, on the emulated kernel and on the
#     machine's own /dev, beside `sleep` doing the same nothing;
#  2. the time from a camera's appearance (its emulated kernel's file renamed into place with
#     the camera plugged in again) to the watcher's line that its settings are applied, median
#     over a number of plug-ins. Each line is stamped by the reader as it arrives ($EPOCHREALTIME).
# Usage: WatchCost.sh path/to/korvane-cam [idle-seconds=60] [plug-ins=20]
set -euo pipefail
export LC_ALL=C  # $EPOCHREALTIME and awk with a full stop
tool=$1
idle=${2:-60}
plugins=${3:-20}
source "$(dirname "$0")/WatcherBench.sh"
plug() {
  camera_file "$1" "$2" >"$work/next.json"
  mv "$work/next.json" "$work/cameras.json"
}

unset KORVANE_CAMERAS
export XDG_CONFIG_HOME=$work/config KORVANE_V4L2_EMULATION=$work/cameras.json
plug true 0
"$tool" set 0 Brightness=40 Contrast=60 WhiteBalance=manual WhiteBalance=3500 \
  Exposure=manual Exposure=400 PowerFrequency=60 >/dev/null
"$tool" remember 0 >/dev/null
plug false 0

# Starts a watcher whose standard error lines are stamped as they arrive; waits for its start.
start_watcher() {
  local log=$1
  shift
  env "$@" "$tool" restore --watch 2> >(while IFS= read -r line; do
    printf '%s %s\n' "$EPOCHREALTIME" "$line"
  done >"$log") &
  pids+=($!)
  until grep -q "korvane-cam: watching" "$log" 2>/dev/null; do sleep 0.05; done
}
switches() { awk '/^voluntary_ctxt_switches/ { print $2 }' "/proc/$1/status"; }
cpu_ms() { awk -v hz="$(getconf CLK_TCK)" '{ print ($14 + $15) * 1000 / hz }' "/proc/$1/stat"; }

echo "Idle for $idle s, nothing plugged in:"
start_watcher "$work/emulated.log"
emulated=${pids[-1]}
start_watcher "$work/machine.log" -u KORVANE_V4L2_EMULATION
machine=${pids[-1]}
sleep $((idle + 10)) &
baseline=$!
pids+=("$baseline")
declare -A before cpu
for pid in "$emulated" "$machine" "$baseline"; do
  before[$pid]=$(switches "$pid")
  cpu[$pid]=$(cpu_ms "$pid")
done
sleep "$idle"
for entry in "$emulated:watcher, emulated kernel" "$machine:watcher, the machine's /dev" \
  "$baseline:sleep"; do
  pid=${entry%%:*}
  printf '  %-32s %4d wake-ups  %6.1f ms CPU\n' "${entry#*:}" \
    $(($(switches "$pid") - before[$pid])) "$(awk -v a="$(cpu_ms "$pid")" -v b="${cpu[$pid]}" \
      'BEGIN { print a - b }')"
done
kill "$machine" "$baseline"

echo "From a camera's appearance to its settings applied, $plugins plug-ins (emulated kernel):"
log=$work/emulated.log
for ((n = 1; n <= plugins; n++)); do
  camera_file true "$n" >"$work/next.json"
  start=$EPOCHREALTIME
  mv "$work/next.json" "$work/cameras.json"
  until (($(grep -c "korvane-cam: restored" "$log") >= n)); do sleep 0.02; done
  stamp=$(grep "korvane-cam: restored" "$log" | sed -n "${n}p" | cut -d' ' -f1)
  awk -v a="$stamp" -v b="$start" 'BEGIN { print a - b }' >>"$work/latencies"
done
latency_summary <"$work/latencies"
grep "korvane-cam: restored" "$log" | tail -1 | cut -d' ' -f2-
