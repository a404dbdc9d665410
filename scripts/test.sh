#!/usr/bin/env bash
# Builds and runs every test three times: as a normal build, under AddressSanitizer and
# UndefinedBehaviorSanitizer, and as an optimised Clang build, so that a warning or an error
# that only one compiler or one optimisation level sees is caught. Warnings are errors here
# (a plain build leaves them warnings).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"

jobs=$(nproc)
run_suite() {
  local dir=$1
  shift
  bash "$root/scripts/build.sh" "$dir" -DKORVANE_WERROR=ON "$@"
  (cd "$dir" && ctest --output-on-failure --parallel "$jobs" --timeout 600)
}

echo "== tests =="
run_suite "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer =="
# No strict_string_checks: the X keyboard library hands strndup strings without a terminator
# inside their bounds, which that check reports as an overflow in the system library.
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DKORVANE_SANITIZE=ON -DKORVANE_BENCHMARKS=OFF
echo "== tests of a Clang release build =="
CC=clang CXX=clang++ \
  run_suite "$root/build-clang" -DCMAKE_BUILD_TYPE=Release -DKORVANE_BENCHMARKS=OFF
