#!/usr/bin/env bash
# Whole-process time of `korvane-cam show` on a simulated camera file, as a script feels it:
# start, read the camera file, read every property and format, print, exit. Beside it the
# same program doing nothing (--version) and an empty process, to show what start-up alone
# costs. Needs hyperfine (Debian package hyperfine).
# Usage: ShowProcess.sh path/to/korvane-cam [runs]
set -euo pipefail
tool=$1
runs=${2:-200}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One camera with every control of the window's rows, the power-line frequency and four
# formats: the most a `show` reads.
{
  printf '{"devices":[{"category":"videoInput","friendlyName":"Bench Cam","devicePath":"sim:bench",'
  printf '"videoProcAmp":{'
  sep=
  for name in brightness contrast hue saturation sharpness gamma colorEnable whiteBalance \
    backlightCompensation gain; do
    printf '%s"%s":{"min":0,"max":255,"step":1,"default":128,"caps":3,"value":100,"flags":2}' \
      "$sep" "$name"
    sep=,
  done
  printf ',"powerLineFrequency":{"min":0,"max":2,"step":1,"default":1,"caps":2,"value":1,"flags":2}},'
  printf '"cameraControl":{'
  sep=
  for name in pan tilt roll zoom exposure iris focus; do
    printf '%s"%s":{"min":-10,"max":10,"step":1,"default":0,"caps":3,"value":1,"flags":1}' \
      "$sep" "$name"
    sep=,
  done
  printf '},"formats":[{"width":640,"height":480},{"width":1280,"height":720},'
  printf '{"width":1920,"height":1080,"subtype":"MJPG","compression":"MJPG","bitCount":24},'
  printf '{"width":320,"height":240,"avgTimePerFrame":666666}]}]}\n'
} >"$work/cameras.json"

export KORVANE_CAMERAS=$work/cameras.json
"$tool" show 0 >/dev/null
hyperfine --shell=none --warmup 20 --runs "$runs" --export-json "$work/result.json" \
  "$tool show 0" "$tool show 0 --json" "$tool --version" "/bin/true"
# The medians, in the order of the commands (hyperfine writes one field per line).
awk -F': ' '/"command"/ { gsub(/[",]/, "", $2); command = $2 }
  /"median"/ { gsub(/,/, "", $2); printf "median %6.2f ms  %s\n", $2 * 1000, command }' \
  "$work/result.json"
