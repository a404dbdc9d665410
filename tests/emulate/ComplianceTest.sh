#!/usr/bin/env bash
# v4l2-compliance on every camera file through `korvane-cam emulate`: without streaming, and
# streaming MJPG and YUYV where the camera offers them, on the file's kernel line (6.1) and on
# the later line. The tests that fail must be exactly those of compliance-expected.txt: the
# real UVC driver fails them too.
# Usage: ComplianceTest.sh KORVANE-CAM SOURCE-DIR
here=$(cd "$(dirname "$0")" && pwd)
source "$here/EmulateSupport.sh"
command -v v4l2-compliance >/dev/null || { echo "v4l2-compliance is missing (v4l-utils)"; exit 77; }
expected_file=$here/compliance-expected.txt

# The failed tests of a run, sorted, comma-separated; "-" for none.
failed_tests() {
  sed -n 's/^\t*test \(.*\): FAIL$/\1/p' "$1" | sort | paste -sd, | sed 's/^$/-/'
}

expected_from_table() {  # FILE LINE RUN
  local file line run tests
  while read -r file line run tests; do
    [[ $file == "$1" && $line == "$2" && $run == "$3" ]] || continue
    tr ',' '\n' <<<"$tests" | sort | paste -sd,
    return 0
  done < <(grep -v '^#' "$expected_file" | grep -v '^rule')
  return 1
}

# For a camera file the table does not list: the rules, from what the camera shows.
expected_from_rules() {  # COPY NODE LINE RUN
  local controls conditions=() condition test
  controls=$(emulate "$1" v4l2-ctl -d "$2" --list-ctrls 2>/dev/null || true)
  [[ -n $controls ]] && conditions+=(any-control)
  grep -q 'flags=.*inactive' <<<"$controls" && conditions+=(inactive-control)
  # An id at or above V4L2_CID_PRIVATE_BASE (0x08000000).
  grep -Eq ' 0x(0[89a-f]|[1-9a-f][0-9a-f])[0-9a-f]{6} ' <<<"$controls" && conditions+=(private-id)
  [[ $3 == 6.1 && $4 == stream-* ]] && conditions+=(line-6.1-stream)
  while read -r _ condition test; do
    for c in "${conditions[@]}"; do
      if [[ $c == "$condition" ]]; then echo "$test"; fi
    done
  done < <(grep '^rule' "$expected_file") | sort -u | paste -sd, | sed 's/^$/-/'
}

for camera in $(camera_files); do
  name=$(basename "$camera")
  for line in 6.1 current; do
    for run in plain stream-MJPG stream-YUYV; do
      # Without streaming the two lines answer alike.
      [[ $line == current && $run == plain ]] && continue
      copy=$(fresh_copy "$camera" "$line")
      node=$(capture_node "$copy")
      [[ -n $node ]] || { fail "$name: no capture node"; continue; }
      arguments=(-d "$node")
      if [[ $run == stream-* ]]; then
        format=${run#stream-}
        emulate "$copy" v4l2-ctl -d "$node" --list-formats | grep -q "'$format'" || continue
        emulate "$copy" v4l2-ctl -d "$node" -v "pixelformat=$format"
        arguments+=(-s 10)
      fi
      emulate "$copy" v4l2-compliance "${arguments[@]}" >"$scratch/out.txt" 2>&1 || true
      grep -q '^Total for uvcvideo device' "$scratch/out.txt" ||
        { fail "$name $line $run: v4l2-compliance did not finish"; tail -5 "$scratch/out.txt" >&2; continue; }
      got=$(failed_tests "$scratch/out.txt")
      expected=$(expected_from_table "$name" "$line" "$run" ||
                 expected_from_rules "$copy" "$node" "$line" "$run")
      if [[ $got != "$expected" ]]; then
        fail "$name $line $run: failed tests [$got], expected [$expected]"
        grep -E 'fail:|FAIL' "$scratch/out.txt" >&2 || true
      else
        echo "ok: $name $line $run: [$got]"
      fi
    done
  done
done
echo "$failures failed"
((failures == 0))
