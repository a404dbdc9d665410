#!/usr/bin/env bash
# The medians of LiveCamFloor.sh's measurements and their ratios: the share of one core, and
# the CPU time per frame the camera test actually handled (an emulated camera that cannot film
# every frame of a large format hands over fewer frames than the floor works through).
# Usage: LiveCamFloorSummary.sh RESULTS SECONDS
set -euo pipefail
awk -v seconds="$2" '
  $3 == "lateness" { next }
  $3 ~ /^(camera|decode|convert)$/ {
    cpu = 0; frames = 0
    for (i = 4; i <= NF; i++) { split($i, kv, "="); if (kv[1] == "cpu") cpu = kv[2]; if (kv[1] == "frames") frames = kv[2] }
    if (frames == 0) next
    key = $1 " " $2; kind = ($3 == "camera") ? "camera" : "floor"
    share[key, kind] = share[key, kind] " " cpu
    perFrame[key, kind] = perFrame[key, kind] " " (cpu / 100 * seconds * 1000 / frames)
    keys[key] = 1
  }
  function median(list,   n, a, i, j, t) {
    n = split(list, a, " ")
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] + 0 < a[i] + 0) { t = a[i]; a[i] = a[j]; a[j] = t }
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
  }
  END {
    printf "medians (cpu = %% of one core over %s s; ms = CPU time per frame handled):\n", seconds
    for (key in keys) {
      c = median(share[key, "camera"]); f = median(share[key, "floor"])
      cm = median(perFrame[key, "camera"]); fm = median(perFrame[key, "floor"])
      printf "%s: camera test %.2f %% (%.2f ms/frame), floor %.2f %% (%.2f ms/frame); ratio %.2f by share, %.2f per frame\n", key, c, cm, f, fm, c / f, cm / fm
    }
  }
' "$1"
