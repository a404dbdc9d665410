#!/usr/bin/env bash
# Builds the tool and starts it. Without a camera attached it shows the built-in demo cameras.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [[ -z "${KORVANE_CAMERAS:-}" ]] && ! compgen -G "/dev/video*" >/dev/null; then
  export KORVANE_CAMERAS=demo
fi
exec "$root/build/app/KorvaneCamSettingsTool" "$@"
