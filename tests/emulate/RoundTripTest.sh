#!/usr/bin/env bash
# The camera files against the public dumps they were made from: v4l2-ctl prints the controls
# and menus (--list-ctrls-menus) and the formats, sizes and intervals (--list-formats-ext) of
# the emulated camera exactly as the dump shows them, and every line of --all that the file
# carries, in the same order.
# Usage: RoundTripTest.sh KORVANE-CAM SOURCE-DIR
here=$(cd "$(dirname "$0")" && pwd)
source "$here/EmulateSupport.sh"
command -v v4l2-ctl >/dev/null || { echo "v4l2-ctl is missing (v4l-utils)"; exit 77; }
dumps=$here/dumps

# Blanks at the ends of a line and runs of blanks inside it do not count; empty lines neither.
normal() {
  sed -e 's/[[:space:]]\+/ /g' -e 's/^ //' -e 's/ $//' | grep -v '^$' || true
}

checked=0
for dump in "$dumps"/*.txt; do
  name=$(basename "$dump" .txt)  # CAMERA.PART
  camera=${name%.*}
  part=${name##*.}
  [[ -f $cameras_dir/$camera.json ]] || continue
  copy=$(fresh_copy "$cameras_dir/$camera.json")
  node=$(capture_node "$copy")
  case $part in
    controls) option=--list-ctrls-menus ;;
    formats) option=--list-formats-ext ;;
    all) option=--all ;;
  esac
  emulate "$copy" v4l2-ctl -d "$node" "$option" 2>&1 | normal >"$scratch/got.txt" || true
  normal <"$dump" >"$scratch/want.txt"
  if [[ $part == all ]]; then
    # Every line of the dump, in order, among the lines v4l2-ctl prints.
    missing=$(awk 'NR == FNR { want[++n] = $0; next }
                   i < n && $0 == want[i + 1] { ++i }
                   END { if (i < n) print want[i + 1] }' "$scratch/want.txt" "$scratch/got.txt")
    [[ -z $missing ]] || fail "$camera $option: no line '$missing' where the dump has it"
  elif ! diff -u "$scratch/want.txt" "$scratch/got.txt" >"$scratch/diff.txt"; then
    fail "$camera $option differs from the dump (- dump, + emulated):"
    head -40 "$scratch/diff.txt" >&2
  fi
  echo "checked: $camera $option"
  checked=$((checked + 1))
done
((checked > 0)) || fail "no camera file has a dump"
echo "$failures failed"
((failures == 0))
