#!/usr/bin/env bash
# Fuzzes one reader with libFuzzer (clang, AddressSanitizer, UndefinedBehaviorSanitizer) for a
# number of seconds (default 180).
# Usage: scripts/fuzz.sh profile|camera-file [seconds]
#   profile      the profile-file reader and editor (settings and geometry files)
#   camera-file  the simulated-camera file reader
# Crashes are written to build-fuzz/<name>-findings/; the corpus grows in
# build-fuzz/<name>-corpus/, seeded from tests/fuzz/corpus/<name>/ (and guided by
# tests/fuzz/<name>.dict where there is one).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
name=${1:?"usage: $0 profile|camera-file [seconds]"}
seconds=${2:-180}
build="$root/build-fuzz"

case "$name" in
  profile) target=profile_fuzzer ;;
  camera-file) target=camera_file_fuzzer ;;
  *) echo "unknown fuzz target: $name" >&2; exit 2 ;;
esac

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKORVANE_SANITIZE=ON -DKORVANE_BENCHMARKS=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" >/dev/null
cmake --build "$build" --target "$target" -j"$(nproc)"

corpus="$build/$name-corpus"
findings="$build/$name-findings"
mkdir -p "$corpus" "$findings"
cp -n "$root/tests/fuzz/corpus/$name"/* "$corpus/"
# The profile fuzzer rewrites its input file for every run: keep it in memory where possible.
if [[ -d /dev/shm && -w /dev/shm ]]; then export TMPDIR=${TMPDIR:-/dev/shm}; fi
dictionary=()
if [[ -f "$root/tests/fuzz/$name.dict" ]]; then dictionary=(-dict="$root/tests/fuzz/$name.dict"); fi
"$build/tests/fuzz/$target" "$corpus" "${dictionary[@]}" \
  -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$findings/" -print_final_stats=1
