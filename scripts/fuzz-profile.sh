#!/usr/bin/env bash
# Fuzzes the profile-file reader and editor with libFuzzer for a number of seconds
# (default 180). Usage: scripts/fuzz-profile.sh [seconds]
# Crashes are written to build-fuzz/profile-findings/; the seed corpus grows in
# build-fuzz/profile-corpus/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-180}
build="$root/build-fuzz"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKORVANE_SANITIZE=ON -DKORVANE_BENCHMARKS=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" >/dev/null
cmake --build "$build" --target profile_fuzzer -j"$(nproc)"

mkdir -p "$build/profile-corpus" "$build/profile-findings"
cp -n "$root"/tests/fuzz/corpus/profile/* "$build/profile-corpus/"
# The input file is rewritten for every run: keep it in memory where possible.
if [[ -d /dev/shm && -w /dev/shm ]]; then export TMPDIR=${TMPDIR:-/dev/shm}; fi
"$build/tests/fuzz/profile_fuzzer" "$build/profile-corpus" \
  -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$build/profile-findings/" -print_final_stats=1
