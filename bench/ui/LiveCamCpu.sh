#!/usr/bin/env bash
# The CPU time of the whole program with a camera test running on a 1080p30 camera, beside a
# bare window of the toolkit, both under one virtual X display: each process's user and system
# time (/proc/PID/stat) over the same seconds, as a share of one core. The camera is a
# simulated YUY2 one, or an emulated UVC camera (KORVANE_V4L2_EMULATION) streaming YUYV or MJPG
# through the Video4Linux2 path; an emulated camera films its test picture inside the same
# process, on a thread named "emulated camera": its time is printed apart, since a real
# camera does that work in its own hardware.
# The emulated camera streams 1920x1080 unless a size is given (3840x2160 for a 4K camera).
# Usage: LiveCamCpu.sh path/to/e2e_camera_test_process [seconds] [sim|yuyv|mjpg] [WIDTHxHEIGHT]
set -euo pipefail
shared="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/LiveCamShared.sh"
source "$shared"
program=$1
seconds=${2:-20}
camera=${3:-sim}
size=${4:-1920x1080}
width=${size%x*}
height=${size#*x}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
case "$camera" in
sim)
  printf '{"devices":[{"category":"videoInput","friendlyName":"Full HD","devicePath":"sim:fullhd",' \
    >"$work/cameras.json"
  printf '"formats":[{"width":1920,"height":1080,"avgTimePerFrame":333333}]},' >>"$work/cameras.json"
  printf '{"category":"videoInput","friendlyName":"Spare","devicePath":"sim:spare",' \
    >>"$work/cameras.json"
  printf '"formats":[{"width":640,"height":480}]}]}\n' >>"$work/cameras.json"
  choice="KORVANE_CAMERAS=$work/cameras.json"
  ;;
yuyv | mjpg)
  fourcc=$(echo "$camera" | tr a-z A-Z)
  write_bench_cameras "$work/cameras.json" "$fourcc" "$width" "$height"
  choice="KORVANE_V4L2_EMULATION=$work/cameras.json"
  ;;
*)
  echo "usage: $0 PROGRAM [SECONDS] [sim|yuyv|mjpg] [WIDTHxHEIGHT]" >&2
  exit 2
  ;;
esac

# Another name for the bare window: the program ends itself when a copy of the same name runs.
cp "$program" "$work/bare-window"

cat >"$work/run.sh" <<INNER
#!/usr/bin/env bash
set -euo pipefail
source "$shared"
unset KORVANE_CAMERAS
export HOME="$work" XDG_CONFIG_HOME="$work/.config" $choice
"$program" & test=\$!
"$work/bare-window" bare & bare=\$!
sleep 5
test0=\$(ticks \$test); camera0=\$(camera_ticks \$test); bare0=\$(ticks \$bare); start=\$(date +%s.%N)
sleep $seconds
test1=\$(ticks \$test); camera1=\$(camera_ticks \$test); bare1=\$(ticks \$bare); end=\$(date +%s.%N)
hz=\$(getconf CLK_TCK)
awk -v t=\$((test1 - test0)) -v c=\$((camera1 - camera0)) -v b=\$((bare1 - bare0)) -v hz=\$hz \
  -v s="\$start" -v e="\$end" \
  'BEGIN { d = e - s; printf "over %.1f s: camera test %.1f %% of one core (of which the emulated camera filming %.1f %%, the program without it %.1f %%), bare window %.1f %%\n", d, 100 * t / hz / d, 100 * c / hz / d, 100 * (t - c) / hz / d, 100 * b / hz / d }'
kill \$test \$bare
wait || true
INNER
chmod +x "$work/run.sh"
xvfb-run -a -s "-screen 0 ${width}x$((height + 120))x24" "$work/run.sh"
