#!/usr/bin/env bash
# What the program costs while it sits idle beside a video call: the CPU time of the whole
# process over a quiet period with a file-backed simulated camera (a refresh tick every 5 s),
# beside a bare window of the toolkit over the same seconds, both under one virtual X display.
# Each process's user and system time comes from /proc/PID/stat (clock ticks, usually 10 ms)
# and, finer, from the run time of its threads in /proc/PID/task/*/schedstat (nanoseconds; a
# thread that ended before the second reading is missing there, not in /proc/PID/stat).
# Then, when strace is there, the looks at the camera file per tick: the stat calls on it,
# grouped into ticks by the pauses between them.
# Usage: IdleCpu.sh path/to/KorvaneCamSettingsTool path/to/e2e_camera_test_process [seconds]
set -euo pipefail
export LC_ALL=C
tool=$1
bare=$2
seconds=${3:-30}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The bench camera: the seventeen controls adjustable (0..255, manual and automatic), the power
# frequency, three formats; and a spare camera, so that the first one is selected at start.
camera_file() {
  local controls="" camera="" i
  for i in 0 1 2 3 4 5 6 7 8 9; do
    controls+="\"$i\":{\"min\":0,\"max\":255,\"step\":1,\"default\":128,\"caps\":3,\"value\":128,\"flags\":2},"
  done
  controls+='"13":{"min":0,"max":2,"step":1,"default":1,"caps":2,"value":1,"flags":2}'
  for i in 0 1 2 3 4 5 6; do
    camera+="\"$i\":{\"min\":0,\"max\":255,\"step\":1,\"default\":128,\"caps\":3,\"value\":128,\"flags\":2},"
  done
  local formats='[{"width":640,"height":480,"avgTimePerFrame":333333},'
  formats+='{"width":1280,"height":720,"avgTimePerFrame":333333},'
  formats+='{"width":1920,"height":1080,"avgTimePerFrame":666666}]'
  printf '{"devices":[{"friendlyName":"Bench camera","devicePath":"sim:bench",'
  printf '"videoProcAmp":{%s},"cameraControl":{%s},"formats":%s},' "$controls" "${camera%,}" "$formats"
  printf '{"friendlyName":"Spare","devicePath":"sim:spare","formats":[{"width":640,"height":480}]}]}\n'
}
camera_file >"$work/cameras.json"

# Names of their own: one copy runs per executable name, and the user's own copy may be open.
cp "$tool" "$work/korvane-idle"
cp "$bare" "$work/bare-window"

cat >"$work/run.sh" <<INNER
#!/usr/bin/env bash
set -euo pipefail
export LC_ALL=C
ticks() { awk '{ print \$14 + \$15 }' /proc/\$1/stat; }
runtime() { cat /proc/\$1/task/*/schedstat 2>/dev/null | awk '{ ns += \$1 } END { print ns + 0 }'; }
export HOME="$work" XDG_CONFIG_HOME="$work/.config" KORVANE_CAMERAS="$work/cameras.json"
"$work/korvane-idle" & program=\$!
"$work/bare-window" bare & bare=\$!
sleep 5  # start-up and the first paint are over
p0=\$(ticks \$program); b0=\$(ticks \$bare); pr0=\$(runtime \$program); br0=\$(runtime \$bare)
start=\$(date +%s.%N)
sleep $seconds
p1=\$(ticks \$program); b1=\$(ticks \$bare); pr1=\$(runtime \$program); br1=\$(runtime \$bare)
end=\$(date +%s.%N)
hz=\$(getconf CLK_TCK)
awk -v p=\$((p1 - p0)) -v b=\$((b1 - b0)) -v pr=\$((pr1 - pr0)) -v br=\$((br1 - br0)) \
    -v hz=\$hz -v s="\$start" -v e="\$end" 'BEGIN {
  d = e - s; n = int(d / 5)
  printf "idle over %.1f s (%d refresh ticks):\n", d, n
  printf "  program      %6.0f ms (/proc/PID/stat, steps of %.0f ms)  %8.2f ms (schedstat)\n", 1000 * p / hz, 1000 / hz, pr / 1e6
  printf "  bare window  %6.0f ms (/proc/PID/stat)                 %8.2f ms (schedstat)\n", 1000 * b / hz, br / 1e6
  printf "  program beyond the bare window, per tick: %.2f ms (schedstat)\n", (pr - br) / 1e6 / n
}'
if command -v strace >/dev/null; then
  # Two or three ticks; each tick is a burst of calls, a pause of about 5 s lies between two.
  timeout 12 strace -f -qq -ttt -e trace=/stat -o "$work/stats.txt" -p \$program || true
  grep -F "$work/cameras.json" "$work/stats.txt" | awk '
    { t = \$2 + 0; if (n == 0 || t - last > 1) counts[++n] = 0; counts[n]++; last = t }
    END { printf "looks at the camera file (stat) per tick:"; for (i = 1; i <= n; i++) printf " %d", counts[i]; print "" }'
fi
kill \$program \$bare
wait || true
INNER
chmod +x "$work/run.sh"
xvfb-run -a -s "-screen 0 1280x1024x24" "$work/run.sh"
