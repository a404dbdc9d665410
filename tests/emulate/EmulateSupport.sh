# Shared by the tests of `korvane-cam emulate`: the tool, a scratch folder, and the camera files
# the tests run on (the real cameras' folder and the documentation's example).
set -euo pipefail

tool=$1
source_dir=$2
cameras_dir=${KORVANE_REAL_CAMERAS:-$source_dir/tests/cameras}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

camera_files() {
  ls "$cameras_dir"/*.json
  echo "$source_dir/docs/examples/emulated-uvc-cameras.json"
}

# A fresh copy of a camera file, as the emulation writes back to its file; $2 "current" moves
# its cameras to the later kernel line.
fresh_copy() {
  local copy=$scratch/$(basename "$1")
  if [[ ${2:-6.1} == current ]]; then
    jq '.cameras[].firmware.kernel = "current"' "$1" >"$copy"
  else
    cp "$1" "$copy"
  fi
  echo "$copy"
}

emulate() {
  local file=$1
  shift
  timeout 300 "$tool" emulate "$file" -- "$@"
}

# The first camera's capture node, as v4l2-ctl lists it.
capture_node() {
  { emulate "$1" v4l2-ctl --list-devices 2>/dev/null || true; } | awk '/^\t\/dev\/video/ {print $1; exit}'
}

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
failures=0
