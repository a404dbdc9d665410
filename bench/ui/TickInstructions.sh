#!/usr/bin/env bash
# The instructions of one refresh tick of the shown window on a file-backed simulated camera,
# with the repaints and layouts it leaves to the event loop: callgrind counts only inside the
# benchmark's tick function, over twenty ticks, once with the camera as it was and once with one
# value changed by another program before each tick (the change itself is not counted).
# Usage: TickInstructions.sh path/to/bench_idle_tick
set -euo pipefail
export LC_ALL=C
bench=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ticks=20
for case in BM_UnchangedTick BM_TickWithOneChangedValue; do
  valgrind --tool=callgrind --toggle-collect='RefreshTickAndWhatItLeaves*' \
    --callgrind-out-file="$work/$case.out" \
    "$bench" --benchmark_filter="^$case/iterations:$ticks\$" >"$work/$case.log" 2>&1
  total=$(callgrind_annotate "$work/$case.out" | awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }')
  printf '%-28s %12.0f instructions per tick\n' "$case" "$((total / ticks))"
done
