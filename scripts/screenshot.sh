#!/usr/bin/env bash
# Takes docs/screenshot.png: the real program under a virtual X display with the demo
# cameras, the first camera selected.
# Usage: scripts/screenshot.sh [build-dir] [output.png]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
output="${2:-$root/docs/screenshot.png}"
program="$build/app/KorvaneCamSettingsTool"
[[ -x "$program" ]] || { echo "not built: $program" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home"

cat > "$work/run.sh" <<INNER
#!/usr/bin/env bash
set -euo pipefail
HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" KORVANE_CAMERAS=demo \
  "$program" &
pid=\$!
window=\$(xdotool search --sync --onlyvisible --name "Korvane Cam Settings Tool" | head -n 1)
xdotool windowmove "\$window" 0 0
sleep 1
# The first camera of the list: 5 margin + 80 logo + 10 + 75 buttons + 10, half an item down.
xdotool mousemove --window "\$window" 60 202 click 1
sleep 1
xdotool mousemove 900 700
sleep 0.5
import -window root -crop 670x740+0+0 "$output"
kill \$pid
wait \$pid || true
INNER
chmod +x "$work/run.sh"
xvfb-run -a -s "-screen 0 1024x768x24" "$work/run.sh"
echo "wrote $output"
