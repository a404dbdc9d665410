# What the watcher's benchmarks share: a scratch folder ($work), the processes they start
# ($pids, ended with the script), and the camera as an emulated kernel's camera file with its
# controls as they come: camera_file PRESENT PLUGS, plugged in or not, after so many plug-ins.
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

camera_file() {
  local present=$1 plugs=$2
  printf '{"cameras":[{"id":"bench","usb":{"vendor":"c0de","product":"0a10","manufacturer":"Korvane",'
  printf '"productName":"Bench Cam","serial":"B-1"},"present":%s,"plugs":%s,"controls":[' "$present" "$plugs"
  printf '{"name":"brightness","min":0,"max":255,"default":128,"value":128},'
  printf '{"name":"contrast","min":0,"max":255,"default":32,"value":32},'
  printf '{"name":"white_balance_temperature","min":2800,"max":6500,"step":10,"default":4600,"value":4600},'
  printf '{"name":"white_balance_automatic","default":1,"value":1},'
  printf '{"name":"auto_exposure","menu":[1,3],"default":3,"value":3},'
  printf '{"name":"exposure_time_absolute","min":3,"max":2047,"default":250,"value":250},'
  printf '{"name":"power_line_frequency","menu":[0,1,2],"default":1,"value":1}],'
  printf '"formats":[{"fourcc":"YUYV","sizes":[{"width":640,"height":480,"intervals":["1/30"]}]}]}]}\n'
}

# Seconds, one a line, summed up in milliseconds: median, fastest, slowest.
latency_summary() {
  sort -n | awk '{ v[NR] = $1 * 1000 }
    END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2;
          printf "  median %.1f ms, fastest %.1f ms, slowest %.1f ms\n", m, v[1], v[NR] }'
}
