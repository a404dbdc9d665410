#!/usr/bin/env bash
# The CPU time of the whole program with a camera test running on a simulated 1080p30 YUY2
# camera, beside a bare window of the toolkit, both under one virtual X display: each
# process's user and system time (/proc/PID/stat) over the same seconds, as a share of one core.
# Usage: LiveCamCpu.sh path/to/e2e_camera_test_process [seconds]
set -euo pipefail
program=$1
seconds=${2:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '{"devices":[{"category":"videoInput","friendlyName":"Full HD","devicePath":"sim:fullhd",' \
  >"$work/cameras.json"
printf '"formats":[{"width":1920,"height":1080,"avgTimePerFrame":333333}]},' >>"$work/cameras.json"
printf '{"category":"videoInput","friendlyName":"Spare","devicePath":"sim:spare",' \
  >>"$work/cameras.json"
printf '"formats":[{"width":640,"height":480}]}]}\n' >>"$work/cameras.json"

# Another name for the bare window: the program ends itself when a copy of the same name runs.
cp "$program" "$work/bare-window"

cat >"$work/run.sh" <<INNER
#!/usr/bin/env bash
set -euo pipefail
ticks() { awk '{ print \$14 + \$15 }' /proc/\$1/stat; }
export HOME="$work" XDG_CONFIG_HOME="$work/.config" KORVANE_CAMERAS="$work/cameras.json"
"$program" & test=\$!
"$work/bare-window" bare & bare=\$!
sleep 5
test0=\$(ticks \$test); bare0=\$(ticks \$bare); start=\$(date +%s.%N)
sleep $seconds
test1=\$(ticks \$test); bare1=\$(ticks \$bare); end=\$(date +%s.%N)
hz=\$(getconf CLK_TCK)
awk -v t=\$((test1 - test0)) -v b=\$((bare1 - bare0)) -v hz=\$hz -v s="\$start" -v e="\$end" \
  'BEGIN { d = e - s; printf "over %.1f s: camera test %.1f %% of one core, bare window %.1f %%\n", d, 100 * t / hz / d, 100 * b / hz / d }'
kill \$test \$bare
wait || true
INNER
chmod +x "$work/run.sh"
xvfb-run -a -s "-screen 0 1920x1200x24" "$work/run.sh"
