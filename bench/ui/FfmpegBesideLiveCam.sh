#!/usr/bin/env bash
# The CPU time of the program's camera test beside ffmpeg decoding the same emulated camera's
# stream (through `korvane-cam emulate`): a 1080p30 UVC camera streaming MJPG or YUYV, one copy
# of its file for each program (a camera streams to one program at a time). Both processes'
# user and system time (/proc/PID/stat) over the same seconds, as a share of one core; each
# films the test picture inside itself on a thread named "emulated camera", whose time is
# printed apart, since a real camera does that work in its own hardware.
# Usage: FfmpegBesideLiveCam.sh BUILD-DIR [seconds] [mjpg|yuyv] [WIDTHxHEIGHT]
set -euo pipefail
shared="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/LiveCamShared.sh"
source "$shared"
build=$1
seconds=${2:-20}
format=${3:-mjpg}
size=${4:-1920x1080}
width=${size%x*}
height=${size#*x}
program=$build/tests/e2e/e2e_camera_test_process
tool=$build/cli/korvane-cam
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
case "$format" in
mjpg) fourcc=MJPG input=mjpeg ;;
yuyv) fourcc=YUYV input=yuyv422 ;;
*)
  echo "usage: $0 BUILD-DIR [SECONDS] [mjpg|yuyv] [WIDTHxHEIGHT]" >&2
  exit 2
  ;;
esac
# The program's window starts its camera test as LiveCamCpu.sh starts it, with a second camera
# beside the one it streams.
for copy in ours theirs; do
  write_bench_cameras "$work/$copy.json" "$fourcc" "$width" "$height"
done

cat >"$work/run.sh" <<INNER
#!/usr/bin/env bash
set -euo pipefail
source "$shared"
unset KORVANE_CAMERAS
export HOME="$work" XDG_CONFIG_HOME="$work/.config"
KORVANE_V4L2_EMULATION="$work/ours.json" "$program" & test=\$!
"$tool" emulate "$work/theirs.json" -- ffmpeg -hide_banner -nostdin -loglevel error -f v4l2 \
  -input_format $input -video_size $size -framerate 30 -i /dev/video0 -f null - & ffmpeg=\$!
sleep 5
t0=\$(ticks \$test); tc0=\$(camera_ticks \$test); f0=\$(ticks \$ffmpeg); fc0=\$(camera_ticks \$ffmpeg)
start=\$(date +%s.%N)
sleep $seconds
t1=\$(ticks \$test); tc1=\$(camera_ticks \$test); f1=\$(ticks \$ffmpeg); fc1=\$(camera_ticks \$ffmpeg)
end=\$(date +%s.%N)
hz=\$(getconf CLK_TCK)
awk -v t=\$((t1 - t0)) -v tc=\$((tc1 - tc0)) -v f=\$((f1 - f0)) -v fc=\$((fc1 - fc0)) -v hz=\$hz \
  -v s="\$start" -v e="\$end" -v what="$format $size" \
  'BEGIN { d = e - s; c = 100 / hz / d;
    printf "over %.1f s, %s at 30 fps:\n", d, what;
    printf "  camera test: %.1f %% of one core without the emulated camera filming (%.1f %%)\n", (t - tc) * c, tc * c;
    printf "  ffmpeg decoding: %.1f %% of one core without the emulated camera filming (%.1f %%)\n", (f - fc) * c, fc * c }'
kill \$test \$ffmpeg
wait || true
INNER
chmod +x "$work/run.sh"
xvfb-run -a -s "-screen 0 ${width}x$((height + 120))x24" "$work/run.sh"
