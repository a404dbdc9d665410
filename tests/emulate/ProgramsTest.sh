#!/usr/bin/env bash
# Other programs on the emulated cameras through `korvane-cam emulate`: ffmpeg records what the
# camera films in MJPG at 1920x1080 and in YUYV; a second program that wants the stream while
# one streams gets EBUSY; a control v4l2-ctl sets is what korvane-cam reads from the same file,
# and the other way round.
# Usage: ProgramsTest.sh KORVANE-CAM SOURCE-DIR
here=$(cd "$(dirname "$0")" && pwd)
source "$here/EmulateSupport.sh"
command -v ffmpeg >/dev/null && command -v v4l2-ctl >/dev/null ||
  { echo "ffmpeg or v4l2-ctl is missing"; exit 77; }

# 60 frames of each format, as ffmpeg decodes them.
for format in "mjpeg 1920x1080" "yuyv422 640x480"; do
  set -- $format
  camera=$(fresh_copy "$source_dir/tests/cameras/c920.json")
  if emulate "$camera" ffmpeg -hide_banner -nostdin -f v4l2 -input_format "$1" -video_size "$2" \
      -i /dev/video0 -frames:v 60 -y -f framemd5 "$scratch/frames.txt" 2>"$scratch/ffmpeg.txt"; then
    frames=$(grep -vc '^#' "$scratch/frames.txt")
    distinct=$(grep -v '^#' "$scratch/frames.txt" | awk -F, '{print $6}' | sort -u | wc -l)
    size=$(sed -n 's/^#dimensions 0: //p' "$scratch/frames.txt")
    [[ $frames == 60 ]] || fail "$1: $frames frames recorded, not 60"
    [[ $size == "${2/x/x}" ]] || fail "$1: frames of $size, not $2"
    # The test picture moves: a camera that sent one frame over and over would show one.
    ((distinct > 30)) || fail "$1: only $distinct different frames of 60"
    echo "ok: $1 $2: $frames frames, $distinct different"
  else
    fail "$1: ffmpeg failed"
    tail -5 "$scratch/ffmpeg.txt" >&2
  fi
done

# Two programs at once: while v4l2-ctl streams, ffmpeg's request for the stream is refused with
# EBUSY, as the driver refuses a second handle; once the first program is gone, it streams.
grab_one() {
  emulate "$camera" ffmpeg -hide_banner -nostdin -loglevel error -f v4l2 -input_format yuyv422 \
    -video_size 640x480 -i /dev/video0 -frames:v 1 -f null - 2>"$scratch/second.txt"
}
camera=$(fresh_copy "$source_dir/tests/cameras/c920.json")
# timeout passes the signal that ends it on to the program.
timeout 300 "$tool" emulate "$camera" -- v4l2-ctl -d /dev/video0 --stream-mmap \
  --stream-count=1800 >"$scratch/first.txt" 2>&1 &
first=$!
# v4l2-ctl prints a mark for every frame it takes: it streams once the first is there.
for _ in $(seq 600); do
  [[ -s $scratch/first.txt ]] && break
  sleep 0.05
done
[[ -s $scratch/first.txt ]] || fail "the first program did not stream"
if grab_one; then
  fail "a second program streamed while the first did"
elif grep -q 'Device or resource busy' "$scratch/second.txt"; then
  echo "ok: the second program got EBUSY"
else
  fail "the second program failed otherwise: $(cat "$scratch/second.txt")"
fi
kill "$first" 2>/dev/null || true
wait "$first" 2>/dev/null || true
grab_one && echo "ok: the stream is free once the first program is gone" ||
  fail "the stream stayed taken after the first program ended: $(cat "$scratch/second.txt")"

# v4l2-ctl's change through the library is what korvane-cam and the window read.
camera=$(fresh_copy "$source_dir/tests/cameras/c920.json")
emulate "$camera" v4l2-ctl -d /dev/video0 --set-ctrl brightness=200 ||
  fail "v4l2-ctl --set-ctrl failed"
shown=$(KORVANE_CAMERAS= KORVANE_V4L2_EMULATION=$camera "$tool" show 0 --json |
        jq '.properties.Brightness.value')
[[ $shown == 200 ]] && echo "ok: korvane-cam reads brightness 200" ||
  fail "korvane-cam reads brightness $shown after v4l2-ctl set 200"
# And the other way round.
KORVANE_CAMERAS= KORVANE_V4L2_EMULATION=$camera "$tool" set 0 Brightness=90 >/dev/null
value=$(emulate "$camera" v4l2-ctl -d /dev/video0 --get-ctrl brightness)
[[ $value == "brightness: 90" ]] && echo "ok: v4l2-ctl reads $value" ||
  fail "v4l2-ctl reads '$value' after korvane-cam set 90"

# The listings as ls shows them: udev's links, the node, the class folder.
camera=$(fresh_copy "$source_dir/docs/examples/emulated-uvc-cameras.json")
if emulate "$camera" ls -l /dev/v4l/by-id /dev/video0 /sys/class/video4linux >"$scratch/ls.txt" \
    2>"$scratch/ls-errors.txt"; then
  grep -q '^crw-rw---- .* 81, 0 .* /dev/video0$' "$scratch/ls.txt" || fail "ls shows no node video0"
  grep -q 'video-index0 -> ../../video0$' "$scratch/ls.txt" || fail "ls shows no by-id link"
  grep -q ' video3$' "$scratch/ls.txt" || fail "ls shows no video3 in the class folder"
  echo "ok: ls lists the emulated nodes and links"
else
  fail "ls failed: $(cat "$scratch/ls-errors.txt")"
fi

# The command itself: its program's exit status, and one line for what it cannot do.
camera=$(fresh_copy "$source_dir/tests/cameras/c920.json")
expect_exit() {  # STATUS ARGUMENTS...
  local status=$1 got=0
  shift
  "$tool" "$@" >"$scratch/out.txt" 2>"$scratch/err.txt" || got=$?
  [[ $got == "$status" ]] || fail "korvane-cam $* ended with $got, not $status"
  if ((status != 0 && status != 7)); then
    [[ $(wc -l <"$scratch/err.txt") == 1 ]] || fail "korvane-cam $*: not one error line: $(cat "$scratch/err.txt")"
  fi
}
expect_exit 7 emulate "$camera" -- sh -c 'exit 7'
expect_exit 127 emulate "$camera" -- no-such-program-anywhere
expect_exit 5 emulate "$scratch/missing.json" -- true
grep -q '^korvane-cam: emulate: .*missing.json' "$scratch/err.txt" ||
  fail "a missing camera file is told as: $(cat "$scratch/err.txt")"
expect_exit 2 emulate "$camera"
expect_exit 2 emulate "$camera" v4l2-ctl --all
# The program's own arguments go to it untouched, options and a further "--" among them.
"$tool" emulate "$camera" -- printf '%s|' --help -- --json >"$scratch/out.txt"
[[ $(cat "$scratch/out.txt") == "--help|--|--json|" ]] ||
  fail "the program got '$(cat "$scratch/out.txt")' for --help -- --json"
echo "ok: the command's exit statuses and arguments"

echo "$failures failed"
((failures == 0))
