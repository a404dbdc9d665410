#!/usr/bin/env bash
# The camera test's CPU against its floor, in one run: the program with its camera test on an
# emulated UVC camera, and the same camera's frames decoded (MJPG, libjpeg-turbo into 32-bit
# pixels) or converted (YUYV, the renderer's conversion) alone at the camera's 30 frames a
# second, one after the other, round after round, under one virtual X display. Prints each
# measurement, then per stream the medians and their ratio; then the camera test at 2160p30
# MJPG for LATE_SECONDS with the frames shown later than one frame time after their dequeue
# and those never shown.
# The recorded frames are filmed once into FRAMES_DIR (default ~/.cache/korvane-bench-frames):
# some hundred MB, kept out of the tree.
# Usage: LiveCamFloor.sh path/to/bench_livecam_floor [SECONDS] [ROUNDS] [LATE_SECONDS]
set -euo pipefail
program=$(realpath "$1")
seconds=${2:-15}
rounds=${3:-3}
late_seconds=${4:-60}
frames_dir=${FRAMES_DIR:-$HOME/.cache/korvane-bench-frames}
mkdir -p "$frames_dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Streams measured: fourcc, size, the floor's mode, recorded frames.
streams=("MJPG 1920x1080 decode 60" "MJPG 3840x2160 decode 60" "YUYV 1920x1080 convert 10")
for stream in "${streams[@]}"; do
  read -r fourcc size _ count <<<"$stream"
  file="$frames_dir/$fourcc-$size.frames"
  [[ -s "$file" ]] || "$program" record "$fourcc" "$size" "$count" "$file"
done

printf '%s\n' "${streams[@]}" >"$work/streams"
cat >"$work/run.sh" <<INNER
#!/usr/bin/env bash
set -euo pipefail
export HOME="$work" XDG_CONFIG_HOME="$work/.config" QT_QPA_PLATFORM=xcb
unset KORVANE_CAMERAS KORVANE_V4L2_EMULATION
for round in \$(seq $rounds); do
  while read -r fourcc size mode _; do
    echo "\$fourcc \$size camera \$("$program" camera "\$fourcc" "\$size" $seconds </dev/null)"
    echo "\$fourcc \$size \$mode \$("$program" "\$mode" "$frames_dir/\$fourcc-\$size.frames" $seconds </dev/null)"
  done <"$work/streams"
done
echo "MJPG 3840x2160 lateness \$("$program" camera MJPG 3840x2160 $late_seconds)"
INNER
chmod +x "$work/run.sh"
xvfb-run -a -s "-screen 0 3840x2280x24" "$work/run.sh" | tee "$work/results"

echo
bash "$(dirname "$0")/LiveCamFloorSummary.sh" "$work/results" "$seconds"
