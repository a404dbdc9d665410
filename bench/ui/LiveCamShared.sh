# What the live-picture benchmarks share; sourced by them and by the scripts they run under
# the virtual display.

# Writes an emulated camera file with a streaming camera of the given format and size, and a
# second one beside it, since the window starts its camera test by itself only when it has
# cameras to choose from.
#   write_bench_cameras FILE FOURCC WIDTH HEIGHT
write_bench_cameras() {
  local file="$1" fourcc="$2" width="$3" height="$4"
  cat >"$file" <<JSON
{"cameras": [
  {"id": "fullhd", "node": 0, "card": "Full HD", "busInfo": "usb-1", "byPath": "pci-0:1",
   "usb": {"vendor": "1d6b", "product": "0102", "productName": "Full HD", "serial": "F1"},
   "controls": [],
   "formats": [{"fourcc": "$fourcc", "sizes": [{"width": $width, "height": $height, "intervals": ["1/30"]}]}],
   "current": {"fourcc": "$fourcc", "width": $width, "height": $height, "interval": "1/30"}},
  {"id": "spare", "node": 2, "card": "Spare", "busInfo": "usb-2", "byPath": "pci-0:2",
   "usb": {"vendor": "1d6b", "product": "0103", "productName": "Spare"}, "controls": [],
   "formats": [{"fourcc": "YUYV", "sizes": [{"width": 640, "height": 480, "intervals": ["1/30"]}]}],
   "current": {"fourcc": "YUYV", "width": 640, "height": 480, "interval": "1/30"}}
]}
JSON
}

# A process's user and system time in clock ticks.
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# The time of the process's threads named "emulated camera", ended ones aside: a real camera
# films in its own hardware, so this is counted apart.
camera_ticks() {
  local total=0 task
  for task in /proc/"$1"/task/*; do
    [[ "$(cat "$task/comm" 2>/dev/null)" == "emulated camera" ]] || continue
    total=$((total + $(awk '{ print $14 + $15 }' "$task/stat" 2>/dev/null || echo 0)))
  done
  echo $total
}
