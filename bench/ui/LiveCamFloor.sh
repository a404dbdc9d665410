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

cat >"$work/run.sh" <<INNER
#!/usr/bin/env bash
set -euo pipefail
export HOME="$work" XDG_CONFIG_HOME="$work/.config" QT_QPA_PLATFORM=xcb
unset KORVANE_CAMERAS KORVANE_V4L2_EMULATION
for round in \$(seq $rounds); do
  for stream in "${streams[@]}"; do
    read -r fourcc size mode _ <<<"\$stream"
    echo "\$fourcc \$size camera \$("$program" camera "\$fourcc" "\$size" $seconds)"
    echo "\$fourcc \$size \$mode \$("$program" "\$mode" "$frames_dir/\$fourcc-\$size.frames" $seconds)"
  done
done
echo "MJPG 3840x2160 lateness \$("$program" camera MJPG 3840x2160 $late_seconds)"
INNER
chmod +x "$work/run.sh"
xvfb-run -a -s "-screen 0 3840x2280x24" "$work/run.sh" | tee "$work/results"

echo
echo "medians over $rounds rounds of $seconds s (cpu = % of one core):"
awk '
  $3 != "lateness" { split($4, kv, "="); key = $1 " " $2; kind = ($3 == "camera") ? "camera" : "floor"
    values[key, kind] = values[key, kind] " " kv[2]; keys[key] = 1 }
  function median(list,   n, a, i, j, t) {
    n = split(list, a, " ")
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
  }
  END { for (key in keys) { c = median(values[key, "camera"]); f = median(values[key, "floor"])
    printf "%s: camera test %.2f %%, floor %.2f %%, ratio %.2f\n", key, c, f, c / f } }
' "$work/results"
