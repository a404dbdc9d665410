# What the end-to-end scripts share; sourced by each. A script calls e2e_under_display first
# (it runs the script again under a virtual X display), then e2e_begin, which gives it $work, a
# temporary folder removed at the end with every program the script started (e2e_started PID).
# fail prints why, and the program output in $e2e_log; wait_for waits for a condition.

e2e_under_display() {
  local screen="$1"
  shift
  if [[ -z "${KORVANE_E2E_INNER:-}" ]]; then
    export KORVANE_E2E_INNER=1
    local attempt status
    for attempt in 1 2 3; do
      if e2e_start_display "$screen"; then
        "$@"
        status=$?
        kill "$e2e_display_server" 2>/dev/null || true
        wait "$e2e_display_server" 2>/dev/null || true
        exit "$status"
      fi
      echo "e2e: the virtual display did not answer (attempt $attempt)" >&2
    done
    echo "FAIL: no virtual display could be started" >&2
    exit 1
  fi
}

# Starts Xvfb on a display number it chooses itself (-displayfd: it takes the first free one
# and writes it once it accepts connections, so two servers never race for one number), and
# waits until a client really connects. Sets DISPLAY and e2e_display_server.
e2e_start_display() {
  local ready
  ready="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp 3>"$ready" >/dev/null 2>&1 &
  e2e_display_server=$!
  local deadline=$((SECONDS + 60))
  until [[ -s "$ready" ]] && xdpyinfo -display ":$(head -n1 "$ready")" >/dev/null 2>&1; do
    if ! kill -0 "$e2e_display_server" 2>/dev/null || ((SECONDS >= deadline)); then
      kill "$e2e_display_server" 2>/dev/null || true
      wait "$e2e_display_server" 2>/dev/null || true
      rm -f "$ready"
      return 1
    fi
    sleep 0.1
  done
  export DISPLAY=":$(head -n1 "$ready")"
  rm -f "$ready"
}

e2e_begin() {
  work="$(mktemp -d)"
  e2e_log="$work/program.err"
  e2e_programs=()
  trap e2e_cleanup EXIT
  # Sanitizer builds: leaks of the system's font library are not ours.
  export LSAN_OPTIONS="suppressions=$e2e_folder/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
}

e2e_cleanup() {
  local status=$?
  local running
  for running in "${e2e_programs[@]}"; do
    kill "$running" 2>/dev/null || true
    wait "$running" 2>/dev/null || true
  done
  rm -rf "$work"
  exit "$status"
}

e2e_started() { e2e_programs+=("$1"); }

fail() {
  echo "FAIL: $*" >&2
  echo "--- program output:" >&2
  cat "$e2e_log" >&2 || true
  exit 1
}

# Waits up to $1 seconds for the command in the remaining arguments to succeed.
wait_for() {
  local seconds="$1"
  shift
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

e2e_folder="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
