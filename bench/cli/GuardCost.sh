#!/usr/bin/env bash
# What guarding a remembered camera costs as a user feels it, on the emulated kernel:
#  1. from another program's reset of every control (korvane-other-program, as a browser
#     starting a video call) to the watcher's line that the remembered settings are back,
#     median over a number of calls; each call opens the camera, resets, streams briefly and
#     closes, so that every round includes the watcher's open of its own descriptor;
#  2. the watcher's wake-ups (voluntary context switches) and CPU time over a quiet period with
#     the guarded camera attached and nobody using it;
#  3. the same while the other program streams from the camera with nothing changing (measured
#     after its reset has been put back).
# Usage: GuardCost.sh path/to/korvane-cam path/to/korvane-other-program [seconds=60] [rounds=20]
set -euo pipefail
export LC_ALL=C
tool=$1
other=$2
seconds=${3:-60}
rounds=${4:-20}
source "$(dirname "$0")/WatcherBench.sh"
camera_file true 0 >"$work/cameras.json"
unset KORVANE_CAMERAS
export XDG_CONFIG_HOME=$work/config KORVANE_V4L2_EMULATION=$work/cameras.json
"$tool" set 0 Brightness=40 Contrast=60 WhiteBalance=manual WhiteBalance=3500 \
  Exposure=manual Exposure=400 PowerFrequency=60 >/dev/null
"$tool" remember 0 >/dev/null

log=$work/watch.log
"$tool" restore --watch 2> >(while IFS= read -r line; do
  printf '%s %s\n' "$EPOCHREALTIME" "$line"
done >"$log") &
pids+=($!)
until grep -q "korvane-cam: watching" "$log" 2>/dev/null; do sleep 0.05; done
watcher=$(pgrep -n -f "$tool restore --watch")
switches() { awk '/^voluntary_ctxt_switches/ { print $2 }' "/proc/$1/status"; }
cpu_ms() { awk -v hz="$(getconf CLK_TCK)" '{ print ($14 + $15) * 1000 / hz }' "/proc/$1/stat"; }
put_backs() { grep -c "korvane-cam: put back" "$log" || true; }
measure() {
  local before_switches before_cpu
  before_switches=$(switches "$watcher")
  before_cpu=$(cpu_ms "$watcher")
  sleep "$seconds"
  printf '  %4d wake-ups  %6.1f ms CPU\n' $(($(switches "$watcher") - before_switches)) \
    "$(awk -v a="$(cpu_ms "$watcher")" -v b="$before_cpu" 'BEGIN { print a - b }')"
}

echo "From the other program's reset to the remembered settings back, $rounds calls:"
for ((n = 1; n <= rounds; n++)); do
  reset=$("$other" /dev/video0 --seconds 0.3 | awk '/^reset done/ { print $3 }')
  until (($(put_backs) >= n)); do sleep 0.02; done
  stamp=$(grep "korvane-cam: put back" "$log" | sed -n "${n}p" | cut -d' ' -f1)
  awk -v a="$stamp" -v b="$reset" 'BEGIN { print a - b }' >>"$work/latencies"
done
latency_summary <"$work/latencies"

echo "Watcher idle for $seconds s, the guarded camera attached and unused:"
measure

echo "Watcher for $seconds s while the other program streams, nothing changing:"
"$other" /dev/video0 --seconds $((seconds + 30)) >"$work/other.out" &
pids+=($!)
until (($(put_backs) > rounds)); do sleep 0.05; done
sleep 1  # the put-back's own echo settles
measure
